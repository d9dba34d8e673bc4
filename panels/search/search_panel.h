// The search panel's workflow: search again, the selection hook, the copy
// buttons and the panel's own callbacks.
#ifndef CORVIN_SEARCH_PANEL_H
#define CORVIN_SEARCH_PANEL_H

// A fresh search from the panels; does nothing while the program is busy.
void SearchAgain();

// The tree's selection hook: copies the selected connection into the search
// panel's copy fields and the progress bar's end label.
void OnConnectionSelected();

// Search panel callbacks (bound by name).
#endif
