// The search panel's workflow: search again, the selection hook, the copy
// buttons and the panel's own callbacks.
#ifndef CORVIN_SEARCH_PANEL_H
#define CORVIN_SEARCH_PANEL_H

#include "panels/panel_context.h"

// Binds the search panel's callbacks (before the panels load) and offers the
// other panels ctx.SearchAgain().
void RegisterSearchPanelCallbacks(PanelContext &ctx);

// After the panels loaded: the progress bar, the tree on the search panel
// with its groups and selection hook. Stop disposes of the tree.
void StartSearchPanel(PanelContext &ctx);
void StopSearchPanel(PanelContext &ctx);

// A fresh search from the panels; does nothing while the program is busy.
void SearchAgain(PanelContext &ctx);
// The search itself on ctx's tree: lists the candidates, probes them unless
// the menu's switch says not to, rebuilds the tree.
void RunConnectionSearch(PanelContext &ctx);

// The tree's selection hook: copies the selected connection into the
// connect panel, the search panel's copy fields and the progress bar's end
// label.
void OnConnectionSelected(PanelContext &ctx);

#endif
