// The panels' set-up as the program does it, on a context a test owns.
#ifndef CORVIN_PANELS_SETUP_H
#define CORVIN_PANELS_SETUP_H

#include "connect_panel.h"
#include "converter_dialog.h"
#include "panels/panel_context.h"
#include "search_panel.h"
#include "serial_dialog.h"

// Before the panels load: every panel's callbacks, bound to ctx.
inline void RegisterPanels(PanelContext &ctx) {
    RegisterSearchPanelCallbacks(ctx);
    RegisterConnectPanelCallbacks(ctx);
    RegisterConverterDialogCallbacks(ctx);
    RegisterSerialDialogCallbacks(ctx);
}

// After ctx.panels were loaded.
inline void StartPanels(PanelContext &ctx, IniStore store) {
    ctx.messages.Bind(ctx.panels);
    StartSearchPanel(ctx);
    StartConnectPanel(ctx, store);
}

inline void StopPanels(PanelContext &ctx, IniStore store) {
    StopConnectPanel(ctx, store);
    StopSearchPanel(ctx);
}

#endif
