// The program: its identity, start-up and shutdown, and the state a run owns.
#ifndef CORVIN_PROGRAM_H
#define CORVIN_PROGRAM_H

#include <cstdint>

#include "app/settings_file.h"
#include "app/version.h"
#include "koralink.h"
#include "panels/panel_set.h"

// ---- what a run owns ----------------------------------------------------------

// Everything the program owns from start-up to shutdown. The panel code is
// lent the pieces it needs; only the shell and the menu see the whole.
struct ProgramState {
    PanelSet panels;
    SettingsModel settings;
    int uiBusy = 0;         // a search, accept, probe or converter access runs
    int skipBaudSearch = 0; // menu switch: searches list, but probe nothing
    int devicesChanged = 0; // a converter was written: leaving its dialog searches again
    // The one line the user accepted; it stays open until the program ends
    // and is closed at shutdown whether or not it was ever opened.
    LinkContext sharedLink = {};
};
ProgramState &Program();

// ---- start-up and shutdown -------------------------------------------------------

// The whole program: StartProgram, the event loop, FinishProgram.
int RunProgram(int argc, char **argv);
// Start-up up to the displayed search panel. 0, or -1 when the run-time or
// a panel cannot be loaded.
int StartProgram(int argc, char **argv);
// Everything after the event loop: close the shared line, store and write
// the settings, discard the panels. Returns 0.
int FinishProgram();

#endif
