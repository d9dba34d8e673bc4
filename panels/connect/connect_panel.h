// The connect panel: transfer mode, line parameters and the history of
// accepted connections.
#ifndef CORVIN_CONNECT_PANEL_H
#define CORVIN_CONNECT_PANEL_H

#include "panels/panel_context.h"
#include "support/ini.h"

// Binds the connect panel's callbacks (before the panels load) and offers
// the other panels ctx.ShowTransferMode() and ctx.ProbeSensor().
void RegisterConnectPanelCallbacks(PanelContext &ctx);

// After the settings file was read (store, or null when it did not load):
// the history from the store or the fallback file, its newest entry applied.
void StartConnectPanel(PanelContext &ctx, IniStore store);
// At shutdown, before the store is written: the history into the store (or,
// without one, the fallback file).
void StopConnectPanel(PanelContext &ctx, IniStore store);

// Reads the history from the store or, without one, from the file at path
// (pop-up with message 5 when that cannot be read). 0 when every announced
// entry was read, else -1.
int LoadConnectionHistory(PanelContext &ctx, IniStore store, const char *path);
// Writes the history into the store or, without one, into the file at path
// (pop-up with message 6 when that fails).
void SaveConnectionHistory(PanelContext &ctx, IniStore store, const char *path);

// Enables the controls of a transfer mode and dims the others.
void ShowTransferMode(PanelContext &ctx, int mode);
// Makes history entry n (1-based) the first one and the panel's state.
void ApplyHistoryEntry(PanelContext &ctx, int n);
// Rebuilds the history ring; an item's value is its history position.
void FillHistoryRing(PanelContext &ctx);
// Puts the panel's state at the front of the history, keeping 10 entries.
void RememberConnection(PanelContext &ctx);

#endif
