// Accept and test: the connect panel's connection on the shared link or on a
// scratch one.
#include "sensor_link.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "con_pnl_callbacks.h"
#include "connect_panel.h"
#include "connection_panels.h"
#include "koralink.h"
#include "panels/messages.h"
#include "search_pnl_callbacks.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

// Opens the line the settings describe; 1 when it opened. Mode 0 opens
// nothing and gives 0 without a call.
int OpenLine(LinkContext *ctx, const ConnectionSettings &s, bool accepted) {
    if (IsSerialMode(s.mode))
        return KORALINK_init_rs232(ctx, s.comNumber, s.baudCode,
                                   accepted ? KORALINK_OPEN_SERIAL_ACCEPTED
                                            : KORALINK_OPEN_SERIAL_PROBE);
    if (s.mode == TRANSFER_TCPIP)
        return KORALINK_init_tcp(ctx, s.remotePort, s.server,
                                 accepted ? KORALINK_OPEN_TCP_ACCEPTED : KORALINK_OPEN_TCP_PROBE);
    return 0;
}

// Runs action unless the program is busy, marked busy meanwhile.
template <typename Action> void WhenIdle(Action action) {
    if (!TakeUiBusy())
        return;
    action();
    ReleaseUiBusy();
}

} // namespace

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

void LinkErrorText(char *text, size_t size, const LinkContext &ctx) {
    std::string error = std::string(GetMessageText(7)) + ": " +
                        std::string(ctx.lastError, strnlen(ctx.lastError, sizeof ctx.lastError));
    CopyText(text, size, error.c_str());
}

void AcceptConnection() {
    const ConnectionPanelsSetup &setup = ConnectionPanels();
    LinkContext *shared = setup.sharedLink;
    if (!shared)
        return;
    ConnectionSettings s;
    ReadConnectPanel(&s);
    KORALINK_close(shared);

    char text[256];
    bool identified = false;
    if (OpenLine(shared, s, true) == 1) {
        identified = KORALINK_read_sensor_info(shared) == 0;
        if (identified)
            CopyText(text, GetMessageText(13));
        else
            LinkErrorText(text, sizeof text, *shared);
        // A line that opened is remembered even when its sensor was silent.
        RememberConnection();
        FillHistoryRing();
    } else {
        LinkErrorText(text, sizeof text, *shared);
    }

    tk::HidePanel(setup.panels.search);
    if (identified) {
        tk::HidePanel(setup.panels.con);
        ShowStatus(text, 1);
        // With both panels hidden the user could neither see nor end the
        // program, the port would stay locked and the history unsaved: end
        // the run as Exit does, so shutdown stores the history with this
        // connection on top and closes the line.
        tk::QuitUserInterface(0);
    } else {
        tk::DisplayPanel(setup.panels.con);
        ShowStatus(text, -1);
    }
}

int ProbeSensor(char *text, size_t textSize, SensorIdentity *identity) {
    if (!text || textSize == 0)
        return -1;
    ConnectionSettings s;
    ReadConnectPanel(&s);
    const LinkContext *shared = ConnectionPanels().sharedLink;
    if (shared && IsSharedLineInUse(s, *shared)) {
        CopyText(text, textSize, GetMessageText(18));
        return -1;
    }

    // 6 KB: too large for the stack of a callback.
    auto scratch = std::make_unique<LinkContext>();
    std::memset(scratch.get(), 0, sizeof *scratch);
    if (s.mode != TRANSFER_NONE && OpenLine(scratch.get(), s, false) != 1) {
        LinkErrorText(text, textSize, *scratch);
        return -1;
    }
    int result = KORALINK_read_sensor_info(scratch.get());
    if (result == 0) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "%05d", scratch->sensorSerial);
        std::string found = std::string(GetMessageText(8)) + " #" + serial + ": " +
                            std::string(scratch->sensorType,
                                        strnlen(scratch->sensorType, sizeof scratch->sensorType));
        CopyText(text, textSize, found.c_str());
    } else
        LinkErrorText(text, textSize, *scratch);

    if (identity) {
        identity->kind = scratch->infoKind;
        identity->serialNumber = scratch->sensorSerial;
        CopyText(identity->sensorType, scratch->sensorType);
        if (scratch->infoKind == 0) {
            identity->comNumber = scratch->port;
            identity->baudCode = scratch->line.baudCode;
        } else {
            identity->tcpPort = scratch->port;
            CopyText(identity->host, scratch->line.host);
        }
    }
    KORALINK_close(scratch.get());
    return result;
}

int CC_PICT_SEARCH_ACCEPT(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        WhenIdle([] { AcceptConnection(); });
    return 0;
}

int CC_PICT_SEARCH_CALL(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    WhenIdle([] {
        char text[512];
        int result = ProbeSensor(text, sizeof text, nullptr);
        ShowStatus(text, result != 0 ? -1 : 0);
    });
    return 0;
}

int CC_PICT_SEARCH_QUIT(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    ShowStatus("", 0);
    tk::HidePanel(ConnectionPanels().panels.con);
    tk::DisplayPanel(ConnectionPanels().panels.search);
    return 0;
}
