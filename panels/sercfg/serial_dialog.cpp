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
#include "connect_panel.h"
#include "connection_panels.h"
#include "connection_tree.h"
#include "converter_dialog.h"
#include "panels/messages.h"
#include "sensor_link.h"
#include "sercfg_pnl.h"
#include "sercfg_pnl_callbacks.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

// The sensor switches its rate after it has answered the change; the port
// stays closed this long so that the reopened line meets the new rate.
constexpr auto kBaudSwitchPause = std::chrono::milliseconds(500);

int Dialog() {
    return ConnectionPanels().panels.sercfg;
}

// A zeroed scratch line, closed when it goes out of scope (closing a line
// that never opened does nothing).
struct ScratchLine {
    std::unique_ptr<LinkContext> ctx = std::make_unique<LinkContext>();
    ScratchLine() { std::memset(ctx.get(), 0, sizeof *ctx); }
    ~ScratchLine() { KORALINK_close(ctx.get()); }
};

} // namespace

int FindConverterByComNumber(int comNumber, ConnectionRecord *destination) {
    if (!g_connectionTree || !g_connectionTree->entries)
        return 0;
    ListType entries = g_connectionTree->entries;
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

void ShowSerialConverter(const SensorIdentity &identity) {
    int panel = Dialog();
    tk::SetCtrlVal(panel, SERCFG_PNL_NUMR_COM_PORT_NO, static_cast<int>(identity.comNumber));
    tk::SetCtrlVal(
        panel, SERCFG_PNL_STRG_DEVICE_INFO,
        std::string(identity.sensorType, strnlen(identity.sensorType, sizeof identity.sensorType))
            .c_str());
    tk::SetCtrlVal(panel, SERCFG_PNL_RING_BAUDRATE, static_cast<int>(identity.baudCode));
}

int SetSensorBaud(char *text, size_t textSize, int newCode) {
    if (!text || textSize == 0)
        return -1;
    ConnectionSettings s;
    ReadConnectPanel(&s);
    const LinkContext *shared = ConnectionPanels().sharedLink;
    if (shared && IsSharedLineInUse(s, *shared)) {
        CopyText(text, textSize, GetMessageText(18));
        return -1;
    }
    ScratchLine scratch;
    if (!IsSerialMode(s.mode)) {
        // A rate belongs to a serial line only; the fresh line has no
        // cause to add.
        LinkErrorText(text, textSize, *scratch.ctx);
        return -1;
    }
    if (KORALINK_init_rs232(scratch.ctx.get(), s.comNumber, s.baudCode,
                            KORALINK_OPEN_SERIAL_PROBE) != 1) {
        LinkErrorText(text, textSize, *scratch.ctx);
        return -1;
    }
    if (KORALINK_exchange_frame(scratch.ctx.get(), KORALINK_CMD_SET_BAUD, newCode, nullptr, 0) !=
        0) {
        LinkErrorText(text, textSize, *scratch.ctx);
        return -1;
    }
    KORALINK_close(scratch.ctx.get());
    std::this_thread::sleep_for(kBaudSwitchPause);
    if (KORALINK_init_rs232(scratch.ctx.get(), s.comNumber, newCode, KORALINK_OPEN_SERIAL_PROBE) !=
        1) {
        LinkErrorText(text, textSize, *scratch.ctx);
        return -1;
    }
    int result = KORALINK_read_sensor_info(scratch.ctx.get());
    if (result == 0) {
        char found[512];
        std::snprintf(found, sizeof found, "%s #%05d: %s", GetMessageText(8),
                      scratch.ctx->sensorSerial,
                      std::string(scratch.ctx->sensorType,
                                  strnlen(scratch.ctx->sensorType, sizeof scratch.ctx->sensorType))
                          .c_str());
        CopyText(text, textSize, found);
    } else {
        LinkErrorText(text, textSize, *scratch.ctx);
    }
    return result;
}

int CC_PICB_CALL_SERIALCFG(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    const PanelSet &panels = ConnectionPanels().panels;
    int comNumber = 0;
    tk::GetCtrlVal(panels.con, CON_PNL_NUMR_COM_PORTNUM, &comNumber);
    if (FindConverterByComNumber(comNumber, &EditedConverter) == 0) {
        const char *title = GetMessageText(7);
        ShowMessagePopup(title, GetMessageText(16));
        return 0;
    }
    if (!TakeUiBusy())
        return 0;
    char text[512];
    SensorIdentity identity;
    std::memset(&identity, 0, sizeof identity);
    if (ProbeSensor(text, sizeof text, &identity) != 0) {
        ShowStatus(text, -1);
    } else {
        ShowSerialConverter(identity);
        ShowStatus(text, 0);
        tk::HidePanel(panels.con);
        tk::DisplayPanel(panels.sercfg);
    }
    ReleaseUiBusy();
    return 0;
}

int CC_PICT_WRITE_SERIAL_DEV(int panel, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT || !TakeUiBusy())
        return 0;
    int code = 0;
    tk::GetCtrlVal(panel, SERCFG_PNL_RING_BAUDRATE, &code);
    char text[256];
    int result = SetSensorBaud(text, sizeof text, code);
    // The sensor now talks at the new rate only: the connect panel follows
    // it, or its accept and test (and a second change) would use a rate the
    // sensor no longer answers at.
    if (result == 0)
        tk::SetCtrlVal(ConnectionPanels().panels.con, CON_PNL_RING_BAUDRATE, code);
    ShowStatus(text, result != 0 ? -1 : 0);
    ReleaseUiBusy();
    MarkDevicesChanged();
    return 0;
}

int CC_PICT_SERIAL_CNF_QUIT(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        LeaveConverterDialog(Dialog());
    return 0;
}

int CC_SERCFG_PNL(int panel, int event, void *, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        tk::DisplayPanel(ConnectionPanels().panels.con);
    }
    return 0;
}
