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

// The tree's selection hook: copies the selected connection into the search
// panel's copy fields and the progress bar's end label.
void OnConnectionSelected();

// The group labels the program shows ("adp-b/ETH, adp-c/ETH", ...); the
// headless scan uses them too.
void ApplyStandardGroupLabels(ConnectionTree *tree);

// Search panel callbacks (bound by name).
int CC_SEARCH_PNL(int panel, int event, void *callbackData, int eventData1, int eventData2);
int CC_PICT_SEARCH_AGAIN(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
int CC_PICT_SEARCH_CONFIG(int panel, int control, int event, void *callbackData, int eventData1,
                          int eventData2);
int CC_PICT_SEARCH_EXIT(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_PICT_COPY_COM_OR_IP(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);
int CC_PICT_CPY_BAUD_OR_PORT(int panel, int control, int event, void *callbackData, int eventData1,
                             int eventData2);
int CC_PICT_COPY_2_CLIPBOARD(int panel, int control, int event, void *callbackData, int eventData1,
                             int eventData2);

#endif
