#include "app/program.h"

#include <csignal>
#include <cstdio>

#include "app/menu.h"
#include "app/window_geometry.h"
#include "connect_panel.h"
#include "converter_dialog.h"
#include "panel_ids.h"
#include "panels/panel_texts.h"
#include "search/search_texts.h"
#include "search_panel.h"
#include "serial_dialog.h"
#include "support/datafiles.h"
#include "support/textutil.h"
#include "toolkit/console_texts.h"
#include "toolkit/ui.h"
#include "ui/localize.h"

namespace {

ProgramState g_program;

} // namespace

bool LoadProgramPanels(PanelSet *panels) {
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

std::span<const UiText *const> ProgramUiTexts() {
    static const std::vector<const UiText *> all = [] {
        std::vector<const UiText *> texts;
        using Part = std::span<const UiText *const>;
        for (Part part : {Part(panel_texts::kAll), Part(search_texts::kAll), MenuUiTexts(),
                          Part(console_texts::kAll)})
            texts.insert(texts.end(), part.begin(), part.end());
        return texts;
    }();
    return all;
}

std::vector<LocalizeFailure> LocalizeProgram(const PanelSet &panels, const std::string &file) {
    std::vector<LocalizeFailure> failures;
    LangFile parsed;
    int r = parsed.Load(file.c_str());
    if (r != LANG_OK) {
        for (int panel : panels.All())
            failures.push_back({panel, LangErrorToResult(r)});
        return failures;
    }
    for (int panel : panels.All()) {
        // Files written before the dialogs were translatable have no entry
        // for them at all: the dialogs stay English, which is no fault of
        // the file.
        std::string name;
        bool dialog = panel == panels.ethcfg || panel == panels.sercfg;
        if (dialog && tk::GetPanelAttribute(panel, tk::ATTR_CONSTANT_NAME, &name) >= 0 &&
            !parsed.ReadText(name, "Flags") && !parsed.ReadText(name, "Title")) {
            failures.push_back({panel, 0, true});
            continue;
        }
        if ((r = LocalizePanelWith(panel, parsed)) != 0)
            failures.push_back({panel, r});
    }
    ApplyUiTexts(parsed, ProgramUiTexts());
    return failures;
}

int ExportProgram(const PanelSet &panels, LangFileWriter *writer) {
    for (int panel : panels.All()) {
        int r = ExportPanel(panel, writer);
        if (r < 0)
            return r;
    }
    ExportUiTexts(ProgramUiTexts(), writer);
    return 0;
}

namespace {

// The settings pop-ups: title message 4, text message 5 (read) or 6 (write).
void SettingsPopup(PanelContext &ui, int message) {
    const char *title = ui.messages.Text(4);
    ShowMessagePopup(title, ui.messages.Text(message));
}

void ReportSave(PanelContext &ui, const SettingsSaveOutcome &outcome) {
    if (!outcome.keptNote.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, outcome.keptNote.c_str());
        ui.debugLog.Printf("%s\n", outcome.keptNote.c_str());
    }
    if (outcome.status == SettingsSaveOutcome::Failed) {
        std::fprintf(stderr, "%s: settings not saved: %s\n", kProgramName, outcome.cause.c_str());
        ui.debugLog.Printf("Settings not saved: %s\n", outcome.cause.c_str());
    }
    // A file kept because it could not be read was rightly not written: the
    // start said so already.
    if (outcome.status == SettingsSaveOutcome::Failed)
        SettingsPopup(ui, 6);
}

// The windows open where and as large as they were left, inside the screen
// as it is now; without a record they keep their design size.
void RestoreWindows(const PanelSet &panels, IniStore store) {
    SavedWindows saved = ReadSavedWindows(store);
    WindowRect area;
    if (saved.hasMain && tk::GetScreenArea(saved.main.left, saved.main.top, &area.left, &area.top,
                                           &area.width, &area.height) == 0) {
        WindowRect fit = FitIntoArea(saved.main, area);
        tk::SetPanelAttribute(panels.search, tk::ATTR_LEFT, fit.left);
        tk::SetPanelAttribute(panels.search, tk::ATTR_TOP, fit.top);
        tk::SetPanelAttribute(panels.search, tk::ATTR_WIDTH, fit.width);
        tk::SetPanelAttribute(panels.search, tk::ATTR_HEIGHT, fit.height);
    }
    if (saved.hasConnect &&
        tk::GetScreenArea(0, 0, &area.left, &area.top, &area.width, &area.height) == 0) {
        WindowRect fit = FitIntoArea({0, 0, saved.connectWidth, saved.connectHeight}, area);
        tk::SetPanelAttribute(panels.con, tk::ATTR_WIDTH, fit.width);
        tk::SetPanelAttribute(panels.con, tk::ATTR_HEIGHT, fit.height);
    }
}

void KeepWindows(const PanelSet &panels, IniStore store) {
    SavedWindows w;
    WindowRect &m = w.main;
    w.hasMain = tk::GetPanelAttribute(panels.search, tk::ATTR_LEFT, &m.left) == 0 &&
                tk::GetPanelAttribute(panels.search, tk::ATTR_TOP, &m.top) == 0 &&
                tk::GetPanelAttribute(panels.search, tk::ATTR_WIDTH, &m.width) == 0 &&
                tk::GetPanelAttribute(panels.search, tk::ATTR_HEIGHT, &m.height) == 0;
    w.hasConnect = tk::GetPanelAttribute(panels.con, tk::ATTR_WIDTH, &w.connectWidth) == 0 &&
                   tk::GetPanelAttribute(panels.con, tk::ATTR_HEIGHT, &w.connectHeight) == 0;
    WriteSavedWindows(store, w);
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
    return StartProgram(argc, argv, ExecutableDirectory());
}

int StartProgram(int argc, char **argv, const std::string &programDir) {
    // Everything a second run in the same process must see fresh.
    g_program = ProgramState{};
    g_program.programDir = programDir;
    PanelContext &ui = g_program.ui;
    ui.sharedLink = &g_program.sharedLink;
    if (tk::InitUIRuntime(argc, argv) < 0)
        return -1;

    // Callbacks are bound by name while the panels load.
    RegisterProgramCallbacks(g_program);
    if (!LoadProgramPanels(&ui.panels))
        return -1;
    ui.messages.Bind(ui.panels);

    ParseVersion(kProgramVersionText, &ProgramVersion);
    ParsedCommandLine commandLine = ParseCommandLine(argc, argv, programDir);
    for (const std::string &why : commandLine.ignored)
        std::fprintf(stderr, "%s: ignored %s\n", kProgramName, why.c_str());
    // A file that does not fit leaves the panels (or the rest of them) as
    // they are; there is no one to tell at start-up.
    ResetUiTexts();
    for (const std::string &file : commandLine.languageFiles)
        LocalizeProgram(ui.panels, file);

    // After localisation, so the title is never translated.
    char title[250];
    std::snprintf(title, sizeof title, "%s V%d.%d (Build-date: %s)", kProgramName,
                  ProgramVersion.major, ProgramVersion.minor, kBuildDate);
    tk::SetPanelAttribute(ui.panels.search, tk::ATTR_TITLE, title);

    SettingsModel &settings = g_program.settings;
    CopyText(settings.path, sizeof settings.path, commandLine.settingsPath.c_str());
    ResolveSettingsPath(settings.path, programDir);
    SettingsLoad load = settings.Load();
    if (load == SettingsLoad::Unreadable) {
        // Which file and why, or the user cannot mend it; it is left as it is.
        std::string cause = settings.loadCause.empty() ? settings.path : settings.loadCause;
        std::fprintf(stderr, "%s: settings file not read, kept unchanged: %s\n", kProgramName,
                     cause.c_str());
        ShowMessagePopup(ui.messages.Text(4),
                         (std::string(ui.messages.Text(5)) + "\n\n" + cause).c_str());
    }
    bool loaded = load == SettingsLoad::Read;

    char history[kSettingsPathSize];
    if (FallbackHistoryPath(programDir, history, sizeof history) == 0)
        ui.fallbackHistoryPath = history;
    StartSearchPanel(ui);
    StartConnectPanel(ui, loaded ? settings.store : nullptr);
    RestoreWindows(ui.panels, loaded ? settings.store : nullptr);

    tk::DisplayPanel(ui.panels.search);
    return 0;
}

int FinishProgram() {
    PanelContext &ui = g_program.ui;
    WaitWithEvents(1000);
    KORALINK_close(&g_program.sharedLink);
    StopConnectPanel(ui, g_program.settings.store);
    StopSearchPanel(ui);
    KeepWindows(ui.panels, g_program.settings.store);
    ReportSave(ui, g_program.settings.Save());

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
    return RunProgram(argc, argv, ExecutableDirectory());
}

int RunProgram(int argc, char **argv, const std::string &programDir) {
    if (StartProgram(argc, argv, programDir) != 0)
        return -1;
    // A logout, a closed terminal or Ctrl-C would otherwise end the run
    // without storing the settings and the history.
    tk::QuitOnSignals(tk::TerminationSignals());
    tk::RunUserInterface();
    std::string accepted = g_program.ui.acceptedJson;
    int result = FinishProgram();
    // A calling script learns what the user took: one line, only after an
    // accept, and only once the history holding it has been saved.
    if (!accepted.empty()) {
        std::printf("%s\n", accepted.c_str());
        std::fflush(stdout);
    }
    return result;
}
