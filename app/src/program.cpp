#include "program.h"

#include <csignal>
#include <cstdio>

#include "connect_panel.h"
#include "converter_dialog.h"
#include "menu.h"
#include "panel_ids.h"
#include "search_panel.h"
#include "serial_dialog.h"
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

void RegisterProgramCallbacks(ProgramState &state) {
    RegisterSearchPanelCallbacks(state.ui);
    RegisterConnectPanelCallbacks(state.ui);
    RegisterConverterDialogCallbacks(state.ui);
    RegisterSerialDialogCallbacks(state.ui);
    RegisterMenuCommands(state);
}

int StartProgram(int argc, char **argv) {
    // Everything a second run in the same process must see fresh.
    g_program = ProgramState{};
    PanelContext &ui = g_program.ui;
    ui.sharedLink = &g_program.sharedLink;
    if (tk::InitUIRuntime(argc, argv) < 0)
        return -1;

    // Callbacks are bound by name while the panels load.
    RegisterProgramCallbacks(g_program);
    if (!LoadPanels(&ui.panels))
        return -1;
    ui.messages.Bind(ui.panels);

    ParseVersion(kProgramVersionText, &ProgramVersion);
    ParseCommandLine(argc, argv, g_program.settings.path);

    // After localisation, so the title is never translated.
    char title[250];
    std::snprintf(title, sizeof title, "%s V%d.%d (Build-date: %s)", kProgramName,
                  ProgramVersion.major, ProgramVersion.minor, kBuildDate);
    tk::SetPanelAttribute(ui.panels.search, tk::ATTR_TITLE, title);

    SettingsModel &settings = g_program.settings;
    ResolveSettingsPath(settings.path);
    bool loaded = settings.Load() == 0;

    char history[kSettingsPathSize];
    if (FallbackHistoryPath(history, sizeof history) == 0)
        ui.fallbackHistoryPath = history;
    StartSearchPanel(ui);
    StartConnectPanel(ui, loaded ? settings.store : nullptr);

    tk::DisplayPanel(ui.panels.search);
    return 0;
}

int FinishProgram() {
    PanelContext &ui = g_program.ui;
    WaitWithEvents(1000);
    KORALINK_close(&g_program.sharedLink);
    StopConnectPanel(ui, g_program.settings.store);
    StopSearchPanel(ui);
    g_program.settings.Save();

    PanelSet &panels = ui.panels;
    tk::DiscardPanel(panels.sercfg);
    tk::DiscardPanel(panels.ethcfg);
    tk::DiscardPanel(panels.con);
    tk::DiscardPanel(panels.search);
    panels = PanelSet{};
    ui.messages.Bind(panels);
    return 0;
}

int RunProgram(int argc, char **argv) {
    if (StartProgram(argc, argv) != 0)
        return -1;
    // A logout, a closed terminal or Ctrl-C would otherwise end the run
    // without storing the settings and the history.
    tk::QuitOnSignals({SIGTERM, SIGINT, SIGHUP});
    tk::RunUserInterface();
    return FinishProgram();
}
