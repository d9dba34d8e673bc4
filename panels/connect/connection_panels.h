// Set-up and tear-down of the search and connect panels' state.
#ifndef CORVIN_CONNECTION_PANELS_H
#define CORVIN_CONNECTION_PANELS_H

#include <string>

#include "koralink.h"
#include "panels/panel_set.h"
#include "support/ini.h"

// What the program lends the search and connect panels for the run. It owns
// every member and keeps them alive until StopConnectionPanels.
struct ConnectionPanelsSetup {
    PanelSet panels;
    int *uiBusy = nullptr;               // set while a long operation runs
    int *devicesChanged = nullptr;       // a converter was written in this run
    const int *skipBaudSearch = nullptr; // the menu's switch: list, don't probe
    LinkContext *sharedLink = nullptr;   // the one accepted connection
    // The history file read when the settings file did not load.
    std::string fallbackHistoryPath;
};

// Called once after the settings file was loaded (store, or null when it
// did not load), and once at shutdown before the store is written.
void StartConnectionPanels(const ConnectionPanelsSetup &setup, IniStore store);
void StopConnectionPanels(IniStore store);

// The setup the running panels were started with.
const ConnectionPanelsSetup &ConnectionPanels();

// Marks a long operation (search, accept, test, converter access) as
// running, with the wait cursor; false, and nothing changed, when one already
// runs.
bool TakeUiBusy();
void ReleaseUiBusy();

// Binds the panel workflows' callbacks by name (before the panels load).
void RegisterPanelCallbacks();

#endif
