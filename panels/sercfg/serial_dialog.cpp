// The serial converter dialog.
#include "serial_dialog.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "con_pnl.h"
#include "con_pnl_callbacks.h"
#include "panels/connect_fields.h"
#include "panels/panel_texts.h"
#include "sercfg_pnl.h"
#include "sercfg_pnl_callbacks.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

// The sensor switches its rate after it has answered the change; the port
// stays closed this long so that the reopened line meets the new rate.
constexpr auto kBaudSwitchPause = std::chrono::milliseconds(500);

// A zeroed scratch line, closed when it goes out of scope (closing a line
// that never opened does nothing).
struct ScratchLine {
    std::unique_ptr<LinkContext> ctx = std::make_unique<LinkContext>();
    ScratchLine() { std::memset(ctx.get(), 0, sizeof *ctx); }
    ~ScratchLine() { KORALINK_close(ctx.get()); }
};

} // namespace

void RegisterSerialDialogCallbacks(PanelContext &ctx) {
    RegisterSercfgPnlCallbacks(&ctx);
}

int FindConverterByComNumber(const PanelContext &ctx, int comNumber,
                             ConnectionRecord *destination) {
    if (!ctx.results)
        return 0;
    ListType entries = ctx.results;
    int count = ListNumItems(entries);
    for (int n = 1; n <= count; ++n) {
        const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(entries, n));
        if (entry->isSerial && entry->record.comNumber == comNumber) {
            if (destination)
                *destination = entry->record;
            return n;
        }
    }
    return 0;
}

void ShowSerialConverter(const PanelContext &ctx, const SensorIdentity &identity) {
    int panel = ctx.panels.sercfg;
    tk::SetCtrlVal(panel, SERCFG_PNL_NUMR_COM_PORT_NO, static_cast<int>(identity.comNumber));
    tk::SetCtrlVal(
        panel, SERCFG_PNL_STRG_DEVICE_INFO,
        std::string(identity.sensorType, strnlen(identity.sensorType, sizeof identity.sensorType))
            .c_str());
    tk::SetCtrlVal(panel, SERCFG_PNL_RING_BAUDRATE, static_cast<int>(identity.baudCode));
}

int SetSensorBaud(PanelContext &ctx, char *text, size_t textSize, int newCode) {
    if (!text || textSize == 0)
        return -1;
    ConnectionSettings s;
    if (ReadConnectPanelForNewLine(ctx.panels, ctx.messages, ctx.sharedLink, &s, text, textSize) <
        0)
        return -1;
    ScratchLine scratch;
    if (!IsSerialMode(s.mode)) {
        // A rate belongs to a serial line only; the fresh line has no
        // cause to add.
        LinkErrorText(ctx.messages, text, textSize, *scratch.ctx);
        return -1;
    }
    if (KORALINK_init_rs232(scratch.ctx.get(), s.comNumber, s.baudCode,
                            KORALINK_OPEN_SERIAL_PROBE) != 1) {
        LinkErrorText(ctx.messages, text, textSize, *scratch.ctx);
        return -1;
    }
    if (KORALINK_exchange_frame(scratch.ctx.get(), KORALINK_CMD_SET_BAUD, newCode, nullptr, 0) !=
        0) {
        LinkErrorText(ctx.messages, text, textSize, *scratch.ctx);
        return -1;
    }
    KORALINK_close(scratch.ctx.get());
    std::this_thread::sleep_for(kBaudSwitchPause);
    if (KORALINK_init_rs232(scratch.ctx.get(), s.comNumber, newCode, KORALINK_OPEN_SERIAL_PROBE) !=
        1) {
        LinkErrorText(ctx.messages, text, textSize, *scratch.ctx);
        return -1;
    }
    int result = KORALINK_read_sensor_info(scratch.ctx.get());
    if (result == 0) {
        char found[512];
        std::snprintf(found, sizeof found, "%s #%05d: %s", ctx.messages.Text(8),
                      scratch.ctx->sensorSerial,
                      std::string(scratch.ctx->sensorType,
                                  strnlen(scratch.ctx->sensorType, sizeof scratch.ctx->sensorType))
                          .c_str());
        CopyText(text, textSize, found);
    } else {
        LinkErrorText(ctx.messages, text, textSize, *scratch.ctx);
    }
    return result;
}

int CC_PICB_CALL_SERIALCFG(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    const PanelSet &panels = ctx.panels;
    int comNumber = 0;
    tk::GetCtrlVal(panels.con, CON_PNL_NUMR_COM_PORTNUM, &comNumber);
    if (FindConverterByComNumber(ctx, comNumber, &ctx.editedConverter) == 0) {
        const char *title = ctx.messages.Text(7);
        ShowMessagePopup(title, ctx.messages.Text(16));
        return 0;
    }
    BusyGuard busy(ctx);
    if (!busy)
        return 0;
    char text[512];
    SensorIdentity identity;
    std::memset(&identity, 0, sizeof identity);
    if (ctx.ProbeSensor(text, sizeof text, &identity) != 0) {
        ctx.messages.Status(text, -1);
    } else {
        ShowSerialConverter(ctx, identity);
        ctx.messages.Status(text, 0);
        tk::HidePanel(panels.con);
        tk::DisplayPanel(panels.sercfg);
    }
    return 0;
}

int CC_PICT_WRITE_SERIAL_DEV(int panel, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    BusyGuard busy(ctx);
    if (!busy)
        return 0;
    int code = 0;
    tk::GetCtrlVal(panel, SERCFG_PNL_RING_BAUDRATE, &code);
    // A sensor above the usual rates drops out of every later search that
    // is not told to look there.
    if (code > KORALINK_BAUD_115200)
        ShowMessagePopup(UiTextOf(panel_texts::kWarningTitle),
                         UiTextOf(panel_texts::kHighRateWarning));
    char text[256];
    int result = SetSensorBaud(ctx, text, sizeof text, code);
    // Even an unanswered change may have reached the sensor.
    ctx.rateJustWritten = code;
    // The sensor now talks at the new rate only: the connect panel follows
    // it, or its accept and test (and a second change) would use a rate the
    // sensor no longer answers at.
    if (result == 0)
        tk::SetCtrlVal(ctx.panels.con, CON_PNL_RING_BAUDRATE, code);
    ctx.messages.Status(text, result != 0 ? -1 : 0);
    ctx.devicesChanged = true;
    return 0;
}

int CC_PICT_SERIAL_CNF_QUIT(int panel, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT)
        LeaveConverterDialog(ContextOf(data), panel);
    return 0;
}

int CC_SERCFG_PNL(int panel, int event, void *data, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        tk::DisplayPanel(ContextOf(data).panels.con);
    }
    return 0;
}
