// The search panel's menu bar: search again, configure, exit, the debug
// console and skip-baud switches, about.
#ifndef CORVIN_MENU_H
#define CORVIN_MENU_H

struct ProgramState;

// Binds the menu bar's commands, each with the program state as its data.
void RegisterMenuCommands(ProgramState &state);

#endif
