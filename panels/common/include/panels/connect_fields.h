// The connect panel's fields as the connect panel and the serial dialog
// read them, and the texts of a line's state.
#ifndef CORVIN_CONNECT_FIELDS_H
#define CORVIN_CONNECT_FIELDS_H

#include <cstddef>

#include "con_pnl.h"
#include "koralink.h"
#include "panels/connection_settings.h"
#include "panels/messages.h"
#include "panels/panel_set.h"

// The radio button of each transfer mode, index = mode (0: none).
inline constexpr int kTransferModeButton[4] = {0, CON_PNL_RBTN_USB_COM, CON_PNL_RBTN_TCPIP_CLIENT,
                                               CON_PNL_RBTN_OTHER_COM};

// The connect panel's state. 0, or -1 without a record.
int ReadConnectPanel(const PanelSet &panels, ConnectionSettings *settings);

// The settings name the connection open on the shared link (a mode without
// a line names it always); such a line is never opened a second time.
bool IsSharedLineInUse(const ConnectionSettings &settings, const LinkContext &shared);
// The connect panel's state for a line to open beside the shared link: -1,
// with message 18 in text, when it names the line open there (shared may be
// null: nothing is open).
int ReadConnectPanelForNewLine(const PanelSet &panels, Messages &messages,
                               const LinkContext *shared, ConnectionSettings *settings, char *text,
                               size_t size);
// "Error: <the library's text>" of a link, cut to size.
void LinkErrorText(Messages &messages, char *text, size_t size, const LinkContext &ctx);

#endif
