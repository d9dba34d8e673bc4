// Panel tests load the panels strictly: a callback the panel data names but
// no code binds fails the load, so a renamed callback cannot leave a dead
// control. The menu bar's commands belong to the program's shell, which
// panel tests do not link; they are bound to a no-op here (the shell's own
// tests hold them strictly).
#ifndef CORVIN_STRICT_CALLBACKS_H
#define CORVIN_STRICT_CALLBACKS_H

#include <string>

#include "panel_ids.h"
#include "panels/panel_set.h"
#include "toolkit/ui.h"

// After the panels' callbacks are registered and before any panel loads.
inline void StrictPanelCallbacks() {
    tk::SetStrictCallbacks(false);
    int probe = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
    for (const std::string &entry : tk::UnresolvedCallbacks()) {
        if (entry.rfind("CON_MENU.", 0) == 0)
            tk::RegisterMenuCallback(entry.substr(entry.rfind(' ') + 1).c_str(),
                                     [](int, int, void *, int) {});
    }
    tk::DiscardPanel(probe);
    tk::SetStrictCallbacks(true);
}

#endif
