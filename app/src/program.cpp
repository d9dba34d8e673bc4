#include "app/program.h"

#include <csignal>
#include <cstdio>

#include "app/menu.h"
#include "connection_panels.h"
#include "panel_ids.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "toolkit/ui.h"

namespace {

ProgramState g_program;

// Loads the four panels; a failed load ends the program (what was loaded is
// left to the exit).
bool LoadPanels(PanelSet *panels) {
    if ((panels->search = tk::LoadPanel(0, kPanelResource, SEARCH_PNL)) < 0)
        return false;
    if ((panels->con = tk::LoadPanel(0, kPanelResource, CON_PNL)) < 0)
        return false;
    if ((panels->ethcfg = tk::LoadPanel(0, kPanelResource, ETHCFG_PNL)) < 0)
        return false;
    if ((panels->sercfg = tk::LoadPanel(0, kPanelResource, SERCFG_PNL)) < 0)
        return false;
    panels->menuBar = tk::GetPanelMenuBar(panels->search);
    return true;
}

} // namespace

ProgramState &Program() {
    return g_program;
}

int StartProgram(int argc, char **argv) {
    // Everything a second run in the same process must see fresh.
    g_program = ProgramState{};
    SetDebugLogEnabled(0);
    if (tk::InitUIRuntime(argc, argv) < 0)
        return -1;

    // Callbacks are bound by name while the panels load.
    RegisterShellCallbacks();
    RegisterPanelCallbacks();
    if (!LoadPanels(&g_program.panels))
        return -1;
    BindMessagePanels(g_program.panels);

    ParseVersion(kProgramVersionText, &ProgramVersion);
    ParseCommandLine(argc, argv, g_program.settings.path);

    // After localisation, so the title is never translated.
    char title[250];
    std::snprintf(title, sizeof title, "%s V%d.%d (Build-date: %s)", kProgramName,
                  ProgramVersion.major, ProgramVersion.minor, kBuildDate);
    tk::SetPanelAttribute(g_program.panels.search, tk::ATTR_TITLE, title);

    SettingsModel &settings = g_program.settings;
    ResolveSettingsPath(settings.path);
    bool loaded = settings.Load() == 0;

    ConnectionPanelsSetup setup;
    setup.panels = g_program.panels;
    setup.uiBusy = &g_program.uiBusy;
    setup.skipBaudSearch = &g_program.skipBaudSearch;
    setup.devicesChanged = &g_program.devicesChanged;
    setup.sharedLink = &g_program.sharedLink;
    char history[kSettingsPathSize];
    if (FallbackHistoryPath(history, sizeof history) == 0)
        setup.fallbackHistoryPath = history;
    StartConnectionPanels(setup, loaded ? settings.store : nullptr);

    tk::DisplayPanel(g_program.panels.search);
    return 0;
}

int FinishProgram() {
    WaitWithEvents(1000);
    KORALINK_close(&g_program.sharedLink);
    StopConnectionPanels(g_program.settings.store);
    g_program.settings.Save();

    PanelSet &panels = g_program.panels;
    tk::DiscardPanel(panels.sercfg);
    tk::DiscardPanel(panels.ethcfg);
    tk::DiscardPanel(panels.con);
    tk::DiscardPanel(panels.search);
    panels = PanelSet{};
    BindMessagePanels(panels);
    return 0;
}

int RunProgram(int argc, char **argv) {
    if (StartProgram(argc, argv) != 0)
        return -1;
    // A logout, a closed terminal or Ctrl-C would otherwise end the run
    // without storing the settings and the history.
    tk::QuitOnSignals(tk::TerminationSignals());
    tk::RunUserInterface();
    return FinishProgram();
}
