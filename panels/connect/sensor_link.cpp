// Accept and test: the connect panel's connection on the shared link or on a
// scratch one.
#include "sensor_link.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "con_pnl_callbacks.h"
#include "connect_panel.h"
#include "koralink.h"
#include "panels/connect_fields.h"
#include "panels/panel_texts.h"
#include "search/scan_report.h"
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

int g_acceptedPauseMs = 800;

// "Connected to COM34:115200baud" or "Connected to TCP-server 127.0.0.21:5000",
// in the panel's language.
std::string ConnectedText(PanelContext &ctx, const ConnectionSettings &s) {
    char text[256];
    if (s.mode == TRANSFER_TCPIP)
        std::snprintf(text, sizeof text, "%s %s:%d", ctx.messages.Text(20), s.server, s.remotePort);
    else
        std::snprintf(text, sizeof text, "%s%d:%dbaud", ctx.messages.Text(19), s.comNumber,
                      KoralinkBaudRate(s.baudCode));
    return text;
}

// Keeps the window painted while the user reads the outcome.
void PauseWithRepaints(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    tk::ProcessDrawEvents();
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tk::ProcessDrawEvents();
    }
}

} // namespace

void AcceptConnection(PanelContext &ctx) {
    const PanelSet &panels = ctx.panels;
    LinkContext *shared = ctx.sharedLink;
    if (!shared)
        return;
    ConnectionSettings s;
    ReadConnectPanel(panels, &s);
    KORALINK_close(shared);

    char text[256];
    bool identified = false;
    if (OpenLine(shared, s, true) == 1) {
        identified = KORALINK_read_sensor_info(shared) == 0;
        if (identified)
            CopyText(text, ctx.messages.Text(13));
        else
            LinkErrorText(ctx.messages, text, sizeof text, *shared);
        // A line that opened is remembered even when its sensor was silent.
        RememberConnection(ctx);
        FillHistoryRing(ctx);
    } else if (s.mode == TRANSFER_NONE) {
        // Nothing was tried, so the library has no cause to give.
        std::snprintf(text, sizeof text, "%s: %s", ctx.messages.Text(7),
                      UiTextOf(panel_texts::kNoConnectionType));
    } else {
        LinkErrorText(ctx.messages, text, sizeof text, *shared);
    }

    tk::HidePanel(panels.search);
    if (identified) {
        // The connect panel says in green what was taken, long enough to be
        // read, before the panels go.
        ctx.acceptedJson = AcceptedConnectionJson(s, *shared);
        tk::DisplayPanel(panels.con);
        ctx.messages.Status(ConnectedText(ctx, s).c_str(), 1);
        PauseWithRepaints(g_acceptedPauseMs);
        tk::HidePanel(panels.con);
        ctx.messages.Status(text, 1);
        // With both panels hidden the user could neither see nor end the
        // program, the port would stay locked and the history unsaved: end
        // the run as Exit does, so shutdown stores the history with this
        // connection on top and closes the line.
        tk::QuitUserInterface(0);
    } else {
        tk::DisplayPanel(panels.con);
        ctx.messages.Status(text, -1);
    }
}

void SetAcceptedPause(int milliseconds) {
    g_acceptedPauseMs = milliseconds < 0 ? 0 : milliseconds;
}

std::string AcceptedConnectionJson(const ConnectionSettings &s, const LinkContext &link) {
    auto text = [](const char *field, size_t size) {
        return JsonString(std::string(field, strnlen(field, size)));
    };
    std::string json =
        "{\"type\":" + std::to_string(s.mode) + ",\"id\":" + text(s.label, sizeof s.label);
    if (IsSerialMode(s.mode))
        json += ",\"comNumber\":" + std::to_string(s.comNumber) +
                ",\"baudCode\":" + std::to_string(s.baudCode) +
                ",\"baudRate\":" + std::to_string(KoralinkBaudRate(s.baudCode));
    else if (s.mode == TRANSFER_TCPIP)
        json += ",\"server\":" + text(s.server, sizeof s.server) +
                ",\"remotePort\":" + std::to_string(s.remotePort);
    json += ",\"serialNumber\":" + std::to_string(link.sensorSerial) +
            ",\"version\":" + text(link.sensorType, sizeof link.sensorType) + "}";
    return json;
}

int ProbeSensor(PanelContext &ctx, char *text, size_t textSize, SensorIdentity *identity) {
    if (!text || textSize == 0)
        return -1;
    ConnectionSettings s;
    if (ReadConnectPanelForNewLine(ctx.panels, ctx.messages, ctx.sharedLink, &s, text, textSize) <
        0)
        return -1;

    // 6 KB: too large for the stack of a callback.
    auto scratch = std::make_unique<LinkContext>();
    std::memset(scratch.get(), 0, sizeof *scratch);
    if (s.mode != TRANSFER_NONE && OpenLine(scratch.get(), s, false) != 1) {
        LinkErrorText(ctx.messages, text, textSize, *scratch);
        return -1;
    }
    int result = KORALINK_read_sensor_info(scratch.get());
    if (result == 0) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "%05d", scratch->sensorSerial);
        std::string found = std::string(ctx.messages.Text(8)) + " #" + serial + ": " +
                            std::string(scratch->sensorType,
                                        strnlen(scratch->sensorType, sizeof scratch->sensorType));
        CopyText(text, textSize, found.c_str());
    } else
        LinkErrorText(ctx.messages, text, textSize, *scratch);

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

int CC_PICT_SEARCH_ACCEPT(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    if (BusyGuard busy{ctx})
        AcceptConnection(ctx);
    return 0;
}

int CC_PICT_SEARCH_CALL(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    if (BusyGuard busy{ctx}) {
        char text[512];
        int result = ProbeSensor(ctx, text, sizeof text, nullptr);
        ctx.messages.Status(text, result != 0 ? -1 : 0);
    }
    return 0;
}

int CC_PICT_SEARCH_QUIT(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    ctx.messages.Status("", 0);
    tk::HidePanel(ctx.panels.con);
    tk::DisplayPanel(ctx.panels.search);
    return 0;
}
