// The search panel's menu bar: search again, configure, exit, the debug
// console and skip-baud switches, about.
#ifndef CORVIN_MENU_H
#define CORVIN_MENU_H

void RegisterShellCallbacks();

#endif
