// The connect panel: transfer mode, line parameters and the history of
// accepted connections.
#ifndef CORVIN_CONNECT_PANEL_H
#define CORVIN_CONNECT_PANEL_H

#include "connection_settings.h"
#include "support/ini.h"
#include "support/olist.h"

// The history of accepted connections, newest first (ConnectionSettings
// items); exists between StartConnectionPanels and StopConnectionPanels.
ListType ConnectionHistory();
void DisposeConnectionHistory();

// Reads the history from the store or, without one, from the file at path
// (pop-up with message 5 when that cannot be read). 0 when every announced
// entry was read, else -1.
int LoadConnectionHistory(IniStore store, const char *path);
// Writes the history into the store or, without one, into the file at path
// (pop-up with message 6 when that fails).
void SaveConnectionHistory(IniStore store, const char *path);

// The connect panel's state. 0, or -1 without a record.
int ReadConnectPanel(ConnectionSettings *settings);
// Enables the controls of a transfer mode and dims the others.
void ShowTransferMode(int mode);
// Makes history entry n (1-based) the first one and the panel's state.
void ApplyHistoryEntry(int n);
// Rebuilds the history ring; an item's value is its history position.
void FillHistoryRing();
// Puts the panel's state at the front of the history, keeping 10 entries.
void RememberConnection();

#endif
