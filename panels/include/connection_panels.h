// Set-up and tear-down of the search and connect panels' state.
#ifndef CORVIN_CONNECTION_PANELS_H
#define CORVIN_CONNECTION_PANELS_H

#include "ini.h"

struct ConnectionTree;
extern ConnectionTree *g_connectionTree;

// Called once after the settings file was loaded (store, or null when it
// did not load), and once at shutdown before the store is written.
void StartConnectionPanels(IniStore store);
void StopConnectionPanels(IniStore store);

// Binds the panel workflows' callbacks by name (before the panels load).
void RegisterPanelCallbacks();

// A fresh search from the panels; does nothing while UiBusy is set.
void SearchAgain();

#endif
