// The search panel's menu bar: search again, configure, exit, the debug
// console and skip-baud switches, about.
#ifndef CORVIN_MENU_H
#define CORVIN_MENU_H

void RegisterShellCallbacks();
void CC_CON_MENU_RESEARCH(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_CONFIGURE(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_EXIT(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_SHOW_DEBUG_CONSOLE(int menuBar, int menuItem, void *callbackData, int panel);
void CC_SKIP_SEARCHING_BAUD(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_ABOUT(int menuBar, int menuItem, void *callbackData, int panel);

#endif
