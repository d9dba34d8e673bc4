// The search panel's workflow: search again, the selection hook, the copy
// buttons and the panel's own callbacks.
#ifndef CORVIN_SEARCH_PANEL_H
#define CORVIN_SEARCH_PANEL_H

// A fresh search from the panels; does nothing while the program is busy.
void SearchAgain();

// The tree's selection hook: copies the selected connection into the search
// panel's copy fields and the progress bar's end label.
void OnConnectionSelected();

void RegisterSearchPanelCallbacks();

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
