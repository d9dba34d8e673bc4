#include "app/menu.h"

#include <string>

#include "app/program.h"
#include "search_pnl.h"
#include "search_pnl_callbacks.h"
#include "toolkit/ui.h"

namespace {
ProgramState &StateOf(void *data) {
    return *static_cast<ProgramState *>(data);
}

// The console's own window button ends the log as the menu item does, so
// that the check mark keeps showing the flag.
void OnConsoleClosed(void *data) {
    PanelContext &ui = StateOf(data).ui;
    if (!ui.debugLog.Enabled())
        return;
    ui.debugLog.SetEnabled(false);
    tk::SetMenuBarAttribute(ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE,
                            tk::ATTR_CHECKED, 0);
}

} // namespace

std::span<const UiText *const> MenuUiTexts() {
    static constexpr const UiText *kAll[] = {&kAboutTitle, &kAboutBuild};
    return kAll;
}

void RegisterMenuCommands(ProgramState &state) {
    RegisterConMenuCallbacks(&state);
    tk::ConsoleSetCloseCallback(OnConsoleClosed, &state);
}

// The same steps as the search button's, busy check included.
void CC_CON_MENU_RESEARCH(int, int, void *data, int) {
    StateOf(data).ui.SearchAgain();
}

void CC_CON_MENU_CONFIGURE(int, int, void *data, int) {
    const PanelSet &panels = StateOf(data).ui.panels;
    tk::HidePanel(panels.search);
    tk::DisplayPanel(panels.con);
}

void CC_CON_MENU_EXIT(int, int, void *data, int) {
    StateOf(data).ui.CancelSearch();
    tk::QuitUserInterface(0);
}

void CC_CON_MENU_SHOW_DEBUG_CONSOLE(int, int, void *data, int) {
    PanelContext &ui = StateOf(data).ui;
    bool on = !ui.debugLog.Enabled();
    ui.debugLog.SetEnabled(on);
    tk::SetMenuBarAttribute(ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE,
                            tk::ATTR_CHECKED, on ? 1 : 0);
    if (!on) {
        // Hidden, not cleared: the next switch-on clears it.
        tk::ConsoleSetVisible(0);
        return;
    }
    tk::ConsoleClear();
    tk::ConsoleSetOptions(100000, 1, 1);
    tk::ConsoleSetSize(400, 600);
    tk::ConsoleSetPosition(50, 50);
    // Beside the main window rather than over its menu bar.
    tk::ConsolePlaceBeside(ui.panels.search);
    tk::ConsoleSetVisible(1);
    tk::ConsolePrint("Starting log.\n");
}

void CC_SKIP_SEARCHING_BAUD(int, int, void *data, int) {
    PanelContext &ui = StateOf(data).ui;
    ui.skipBaudSearch = !ui.skipBaudSearch;
    tk::SetMenuBarAttribute(ui.panels.menuBar, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD,
                            tk::ATTR_CHECKED, ui.skipBaudSearch ? 1 : 0);
}

// Three more probe cycles in every search while it is on; like the skip
// switch it is not stored.
void CC_SEARCH_ALL_BAUD(int, int, void *data, int) {
    PanelContext &ui = StateOf(data).ui;
    ui.searchAllRates = !ui.searchAllRates;
    tk::SetMenuBarAttribute(ui.panels.menuBar, CON_MENU_SETTINGS_SEARCH_ALL_BAUD, tk::ATTR_CHECKED,
                            ui.searchAllRates ? 1 : 0);
}

void CC_CON_MENU_ABOUT(int, int, void *, int) {
    // Fixed text, deliberately not built from ProgramVersion.
    // The program's name and version are never translated.
    std::string text =
        std::string("Corvintracer 1.0.3.0\n\n[") + UiTextOf(kAboutBuild) + ": Apr 22 2015]";
    tk::MessagePopup(UiTextOf(kAboutTitle), text.c_str());
}
