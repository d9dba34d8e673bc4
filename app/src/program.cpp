#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "connection_panels.h"
#include "koralink.h"
#include "panel_ids.h"
#include "shell.h"
#include "toolkit/ui.h"

LinkContext g_sharedLink = {};

namespace {

// The settings file existed but could not be read: writing the run's store
// over it would replace the user's settings with an empty file.
bool g_settingsUnreadable = false;

bool SettingsExists(const char *path) {
    struct stat st;
    return path[0] != '\0' && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// Everything a second run in the same process must see fresh.
void ResetRunState() {
    g_searchPanel = g_conPanel = g_ethcfgPanel = g_sercfgPanel = g_conMenuBar = 0;
    debugLog = skipBaudSearch = UiBusy = DevicesChanged = 0;
    SettingsPath[0] = '\0';
    g_settingsUnreadable = false;
    std::memset(&g_sharedLink, 0, sizeof g_sharedLink);
}

} // namespace

int StartProgram(int argc, char **argv) {
    ResetRunState();
    if (tk::InitUIRuntime(argc, argv) < 0)
        return -1;

    // Callbacks are bound by name while the panels load.
    RegisterShellCallbacks();
    RegisterPanelCallbacks();

    // A failed load ends the program; what was loaded is left to the exit.
    if ((g_searchPanel = tk::LoadPanel(0, kPanelResource, SEARCH_PNL)) < 0)
        return -1;
    if ((g_conPanel = tk::LoadPanel(0, kPanelResource, CON_PNL)) < 0)
        return -1;
    if ((g_ethcfgPanel = tk::LoadPanel(0, kPanelResource, ETHCFG_PNL)) < 0)
        return -1;
    if ((g_sercfgPanel = tk::LoadPanel(0, kPanelResource, SERCFG_PNL)) < 0)
        return -1;
    g_conMenuBar = tk::GetPanelMenuBar(g_searchPanel);

    ParseVersion(kProgramVersionText, &ProgramVersion);
    ParseCommandLine(argc, argv);

    // After localisation, so the title is never translated.
    char title[250];
    std::snprintf(title, sizeof title, "%s V%d.%d (Build-date: %s)", kProgramName,
                  ProgramVersion.major, ProgramVersion.minor, kBuildDate);
    tk::SetPanelAttribute(g_searchPanel, tk::ATTR_TITLE, title);

    ResolveSettingsPath(SettingsPath);
    if (LoadSettingsStore(&SettingsStore, SettingsPath) == 0) {
        StartConnectionPanels(SettingsStore);
    } else {
        g_settingsUnreadable = SettingsExists(SettingsPath);
        SettingsStore = CreateIniStore(0);
        StartConnectionPanels(nullptr);
    }

    tk::DisplayPanel(g_searchPanel);
    return 0;
}

int FinishProgram() {
    WaitWithEvents(1000);
    KORALINK_close(&g_sharedLink);
    StopConnectionPanels(SettingsStore);
    if (g_settingsUnreadable) {
        const char *title = GetMessageText(4);
        ShowMessagePopup(title, GetMessageText(6));
        DisposeIniStore(SettingsStore);
    } else if (SaveSettingsStore(SettingsStore, SettingsPath) != 0) {
        DisposeIniStore(SettingsStore); // no path to write to; nothing else owns it
    }
    SettingsStore = nullptr;

    tk::DiscardPanel(g_sercfgPanel);
    tk::DiscardPanel(g_ethcfgPanel);
    tk::DiscardPanel(g_conPanel);
    tk::DiscardPanel(g_searchPanel);
    g_searchPanel = g_conPanel = g_ethcfgPanel = g_sercfgPanel = g_conMenuBar = 0;
    return 0;
}

int RunProgram(int argc, char **argv) {
    if (StartProgram(argc, argv) != 0)
        return -1;
    tk::RunUserInterface();
    return FinishProgram();
}
