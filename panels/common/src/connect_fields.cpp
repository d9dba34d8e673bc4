#include "panels/connect_fields.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "support/textutil.h"
#include "toolkit/ui.h"

int ReadConnectPanel(const PanelSet &panels, ConnectionSettings *settings) {
    if (!settings)
        return -1;
    std::memset(settings, 0, sizeof *settings);
    int panel = panels.con;
    // Later buttons win, should more than one be on.
    for (int mode = 1; mode <= 3; ++mode) {
        int on = 0;
        tk::GetCtrlVal(panel, kTransferModeButton[mode], &on);
        if (on)
            settings->mode = mode;
    }
    if (settings->mode != TRANSFER_NONE) {
        std::string label;
        tk::GetCtrlAttribute(panel, kTransferModeButton[settings->mode], tk::ATTR_LABEL_TEXT,
                             &label);
        CopyText(settings->label, label.c_str());
    }
    int value = 0;
    if (IsSerialMode(settings->mode)) {
        tk::GetCtrlVal(panel, CON_PNL_NUMR_COM_PORTNUM, &value);
        settings->comNumber = static_cast<uint16_t>(value);
        tk::GetCtrlVal(panel, CON_PNL_RING_BAUDRATE, &value);
        settings->baudCode = static_cast<uint16_t>(value);
    } else if (settings->mode == TRANSFER_TCPIP) {
        char server[512] = "";
        tk::GetCtrlVal(panel, CON_PNL_STRG_REMOTE_SERVER, server, sizeof server);
        CopyText(settings->server, server);
        tk::GetCtrlVal(panel, CON_PNL_NUMR_REMOTE_PORT, &value);
        settings->remotePort = static_cast<uint16_t>(value);
    }
    return 0;
}

bool IsSharedLineInUse(const ConnectionSettings &s, const LinkContext &shared) {
    bool same = false;
    if (IsSerialMode(s.mode))
        same = shared.infoKind == 0 && shared.port == s.comNumber;
    else if (s.mode == TRANSFER_TCPIP)
        same = shared.infoKind == 1 && std::strcmp(shared.line.host, s.server) == 0 &&
               shared.port == s.remotePort;
    else
        same = true;
    return same && shared.isOpen == 1;
}

int ReadConnectPanelForNewLine(const PanelSet &panels, Messages &messages,
                               const LinkContext *shared, ConnectionSettings *settings, char *text,
                               size_t size) {
    ReadConnectPanel(panels, settings);
    if (shared && IsSharedLineInUse(*settings, *shared)) {
        CopyText(text, size, messages.Text(18));
        return -1;
    }
    return 0;
}

void LinkErrorText(Messages &messages, char *text, size_t size, const LinkContext &ctx) {
    std::string error = std::string(messages.Text(7)) + ": " +
                        std::string(ctx.lastError, strnlen(ctx.lastError, sizeof ctx.lastError));
    CopyText(text, size, error.c_str());
}
