#include "app/menu.h"

#include "app/program.h"
#include "panels/debug_log.h"
#include "search_panel.h"
#include "search_pnl.h"
#include "search_pnl_callbacks.h"
#include "toolkit/ui.h"

// The same steps as the search button's, busy check included.
void CC_CON_MENU_RESEARCH(int, int, void *, int) {
    SearchAgain();
}

void CC_CON_MENU_CONFIGURE(int, int, void *, int) {
    tk::HidePanel(Program().panels.search);
    tk::DisplayPanel(Program().panels.con);
}

void CC_CON_MENU_EXIT(int, int, void *, int) {
    tk::QuitUserInterface(0);
}

void CC_CON_MENU_SHOW_DEBUG_CONSOLE(int, int, void *, int) {
    int on = DebugLogEnabled() == 0 ? 1 : 0;
    SetDebugLogEnabled(on);
    tk::SetMenuBarAttribute(Program().panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE,
                            tk::ATTR_CHECKED, on);
    if (on == 0) {
        // Hidden, not cleared: the next switch-on clears it.
        tk::ConsoleSetVisible(0);
        return;
    }
    tk::ConsoleClear();
    tk::ConsoleSetOptions(100000, 1, 1);
    tk::ConsoleSetSize(400, 600);
    tk::ConsoleSetPosition(50, 50);
    tk::ConsoleSetVisible(1);
    tk::ConsolePrint("Starting log.\n");
}

void CC_SKIP_SEARCHING_BAUD(int, int, void *, int) {
    int &skip = Program().skipBaudSearch;
    skip = skip == 0 ? 1 : 0;
    tk::SetMenuBarAttribute(Program().panels.menuBar, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD,
                            tk::ATTR_CHECKED, skip);
}

void CC_CON_MENU_ABOUT(int, int, void *, int) {
    // Fixed text, deliberately not built from ProgramVersion.
    tk::MessagePopup("About", "Corvintracer 1.0.3.0\n\n[Build: Apr 22 2015]");
}

void RegisterShellCallbacks() {
    RegisterConMenuCallbacks(nullptr);
}
