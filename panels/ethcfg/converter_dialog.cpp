// The Ethernet converter settings dialog.
#include "converter_dialog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "con_pnl.h"
#include "con_pnl_callbacks.h"
#include "ethcfg_pnl.h"
#include "ethcfg_pnl_callbacks.h"
#include "own_address.h"
#include "panels/panel_texts.h"
#include "search/converter_values.h"
#include "search/text_format.h"
#include "toolkit/ui.h"

namespace {

constexpr int kTcpServer = 1;
constexpr int kDhcp = 1;

constexpr int kMacFields[6] = {ETHCFG_PNL_NUMR_MAC_0, ETHCFG_PNL_NUMR_MAC_1, ETHCFG_PNL_NUMR_MAC_2,
                               ETHCFG_PNL_NUMR_MAC_3, ETHCFG_PNL_NUMR_MAC_4, ETHCFG_PNL_NUMR_MAC_5};
constexpr int kGatewayFields[4] = {ETHCFG_PNL_NUMR_GATEWAY_ADDR_0, ETHCFG_PNL_NUMR_GATEWAY_ADDR_1,
                                   ETHCFG_PNL_NUMR_GATEWAY_ADDR_2, ETHCFG_PNL_NUMR_GATEWAY_ADDR_3};
constexpr int kMaskFields[4] = {ETHCFG_PNL_NUMR_SUBNET_MASK_0, ETHCFG_PNL_NUMR_SUBNET_MASK_1,
                                ETHCFG_PNL_NUMR_SUBNET_MASK_2, ETHCFG_PNL_NUMR_SUBNET_MASK_3};
constexpr int kLocalIpFields[4] = {ETHCFG_PNL_NUMR_LOCAL_IP_0, ETHCFG_PNL_NUMR_LOCAL_IP_1,
                                   ETHCFG_PNL_NUMR_LOCAL_IP_2, ETHCFG_PNL_NUMR_LOCAL_IP_3};
constexpr int kRemoteIpFields[4] = {ETHCFG_PNL_NUMR_REMOTE_IP_0, ETHCFG_PNL_NUMR_REMOTE_IP_1,
                                    ETHCFG_PNL_NUMR_REMOTE_IP_2, ETHCFG_PNL_NUMR_REMOTE_IP_3};

template <size_t N> void ShowFields(int panel, const int (&controls)[N], const int32_t *values) {
    for (size_t i = 0; i < N; ++i)
        tk::SetCtrlVal(panel, controls[i], values ? static_cast<int>(values[i]) : 0);
}

template <size_t N> void ReadFields(int panel, const int (&controls)[N], int32_t *values) {
    for (size_t i = 0; i < N; ++i) {
        int value = 0;
        if (tk::GetCtrlVal(panel, controls[i], &value) == 0)
            values[i] = value;
    }
}

template <size_t N> void SetMode(int panel, const int (&controls)[N], bool editable) {
    for (int control : controls)
        tk::SetCtrlAttribute(panel, control, tk::ATTR_CTRL_MODE, editable ? 1 : 0);
}

// Selects value on a ring whose panel data has count items (values 0 to
// count - 1). A value the ring lacks gets an item of its own, labelled
// label: otherwise the ring would keep showing the previous module's choice,
// and a write would give this module that setting behind the user's back.
void ShowRingValue(int panel, int control, int count, int value, const std::string &label) {
    int items = 0;
    tk::GetNumListItems(panel, control, &items);
    if (items > count)
        tk::DeleteListItem(panel, control, count, -1);
    if (value < 0 || value >= count)
        tk::InsertListItem(panel, control, -1, label.c_str(), value);
    tk::SetCtrlVal(panel, control, value);
}

// A newer module's mode the rings do not offer (PPPoE, secure modes).
void ShowModeRing(int panel, int control, int count, int32_t mode) {
    ShowRingValue(panel, control, count, mode,
                  UiString(panel_texts::kMode) + " " + std::to_string(mode));
}

// The table's rates, or the module's own rate when the table lacks it.
void ShowRate(int panel, int32_t rate) {
    int index = ConverterBaudIndex(rate);
    if (index < 0 && rate > 0)
        ShowRingValue(panel, ETHCFG_PNL_RING_BAUDRATE, kConverterBaudCount, kConverterKeptRateValue,
                      std::to_string(rate));
    else
        ShowRingValue(panel, ETHCFG_PNL_RING_BAUDRATE, kConverterBaudCount,
                      index >= 0 ? index : kConverterDefaultBaudIndex, "");
}

// "Reading device ... OK", or "... FAIL" with the library's cause, which
// also goes to the debug log.
void ShowAccessOutcome(PanelContext &ctx, const UiText &what, int result) {
    if (result >= 1) {
        ctx.messages.Status((UiString(what) + " ... " + UiTextOf(panel_texts::kOk)).c_str(), 0);
        return;
    }
    std::string text = UiString(what) + " ... " + UiTextOf(panel_texts::kFail);
    const char *cause = KORALINK_get_LAN_error();
    if (cause && *cause) {
        text += std::string(": ") + cause;
        ctx.debugLog.Printf("%s\n", text.c_str());
    }
    ctx.messages.Status(text.c_str(), -1);
}

// The dialog's own words for a field a write would refuse.
const char *FieldLabel(ConverterField field) {
    switch (field) {
    case ConverterField::OwnAddress:
        return UiTextOf(panel_texts::kOwnAddress);
    case ConverterField::SubnetMask:
        return UiTextOf(panel_texts::kSubnetMask);
    case ConverterField::Gateway:
        return UiTextOf(panel_texts::kGateway);
    case ConverterField::LocalPort:
        return UiTextOf(panel_texts::kLocalPort);
    case ConverterField::RemoteHost:
        return UiTextOf(panel_texts::kRemoteHost);
    case ConverterField::RemotePort:
        return UiTextOf(panel_texts::kRemotePort);
    }
    return "";
}

} // namespace

int ConverterBaudIndex(int32_t rate) {
    for (int i = 0; i < kConverterBaudCount; ++i)
        if (ConverterBaudTable[i] == rate)
            return i;
    return -1;
}

int FindConverterByAddress(const PanelContext &ctx, const int address[4],
                           ConnectionRecord *destination) {
    if (!ctx.results || !address)
        return 0;
    ListType entries = ctx.results;
    int count = ListNumItems(entries);
    for (int n = 1; n <= count; ++n) {
        const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(entries, n));
        if (!entry->isNetwork)
            continue;
        const int32_t *ip = entry->record.localIp;
        if (ip[0] == address[0] && ip[1] == address[1] && ip[2] == address[2] &&
            ip[3] == address[3]) {
            if (destination)
                *destination = entry->record;
            return n;
        }
    }
    return 0;
}

void ShowConverterSettings(const PanelContext &ctx, const ConnectionRecord *record) {
    int panel = ctx.panels.ethcfg;
    tk::SetCtrlVal(
        panel, ETHCFG_PNL_STRG_DEVICE_INFO,
        record ? std::string(record->typeText, strnlen(record->typeText, sizeof record->typeText))
                     .c_str()
               : "");
    ShowFields(panel, kMacFields, record ? record->mac : nullptr);
    ShowModeRing(panel, ETHCFG_PNL_RING_IP_MODE, 2, record ? record->ipMode : 0);
    ShowModeRing(panel, ETHCFG_PNL_RING_OP_MODE, 4, record ? record->deviceMode : 0);
    tk::SetCtrlVal(panel, ETHCFG_PNL_NUMR_LOCAL_PORT,
                   record ? static_cast<int>(record->localPort) : 0);
    tk::SetCtrlVal(panel, ETHCFG_PNL_NUMR_REMOTE_PORT,
                   record ? static_cast<int>(record->remotePort) : 0);
    ShowRate(panel, record ? record->serialBaud : 0);
    ShowFields(panel, kGatewayFields, record ? record->gateway : nullptr);
    ShowFields(panel, kMaskFields, record ? record->subnetMask : nullptr);
    ShowFields(panel, kLocalIpFields, record ? record->localIp : nullptr);
    ShowFields(panel, kRemoteIpFields, record ? record->remoteIp : nullptr);
    ApplyIpModeRules(ctx, record);
}

void ReadConverterPanel(const PanelContext &ctx, ConnectionRecord *record) {
    if (!record)
        return;
    int panel = ctx.panels.ethcfg;
    int value = 0;
    if (tk::GetCtrlVal(panel, ETHCFG_PNL_RING_IP_MODE, &value) == 0)
        record->ipMode = value;
    if (tk::GetCtrlVal(panel, ETHCFG_PNL_RING_OP_MODE, &value) == 0)
        record->deviceMode = value;
    if (tk::GetCtrlVal(panel, ETHCFG_PNL_NUMR_LOCAL_PORT, &value) == 0)
        record->localPort = value;
    if (tk::GetCtrlVal(panel, ETHCFG_PNL_NUMR_REMOTE_PORT, &value) == 0)
        record->remotePort = value;
    // What the user cannot see is not written: a hidden ring stands for a
    // rate the module did not report, and its default item would otherwise
    // change the module's serial rate behind the user's back.
    int visible = 0;
    tk::GetCtrlAttribute(panel, ETHCFG_PNL_RING_BAUDRATE, tk::ATTR_VISIBLE, &visible);
    if (visible && tk::GetCtrlVal(panel, ETHCFG_PNL_RING_BAUDRATE, &value) == 0 && value >= 0 &&
        value < kConverterBaudCount)
        record->serialBaud = ConverterBaudTable[value];
    ReadFields(panel, kGatewayFields, record->gateway);
    ReadFields(panel, kMaskFields, record->subnetMask);
    ReadFields(panel, kLocalIpFields, record->localIp);
    ReadFields(panel, kRemoteIpFields, record->remoteIp);
}

void ApplyIpModeRules(const PanelContext &ctx, const ConnectionRecord *record) {
    if (record)
        ApplyIpModeRules(ctx, record->ipMode, record->serialBaud);
}

void ApplyIpModeRules(const PanelContext &ctx, int ipMode, int32_t serialBaud) {
    int panel = ctx.panels.ethcfg;
    bool editable = ipMode != kDhcp;
    SetMode(panel, kGatewayFields, editable);
    SetMode(panel, kMaskFields, editable);
    SetMode(panel, kLocalIpFields, editable);
    int shown = serialBaud != -1 ? 1 : 0;
    tk::SetCtrlAttribute(panel, ETHCFG_PNL_RING_BAUDRATE, tk::ATTR_VISIBLE, shown);
    tk::SetCtrlAttribute(panel, ETHCFG_PNL_STRG_SERIAL_INFO, tk::ATTR_VISIBLE, shown);
}

void ApplyOpModeRules(const PanelContext &ctx, int deviceMode) {
    int panel = ctx.panels.ethcfg;
    bool editable = deviceMode != kTcpServer;
    SetMode(panel, kRemoteIpFields, editable);
    tk::SetCtrlAttribute(panel, ETHCFG_PNL_NUMR_REMOTE_PORT, tk::ATTR_CTRL_MODE, editable ? 1 : 0);
    tk::SetCtrlAttribute(panel, ETHCFG_PNL_PICB_SET_LOCAL_ADDR, tk::ATTR_DIMMED, editable ? 0 : 1);
}

void RegisterConverterDialogCallbacks(PanelContext &ctx) {
    RegisterEthcfgPnlCallbacks(&ctx);
}

int CC_PICB_CALL_ETHCFG(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    const PanelSet &panels = ctx.panels;
    ConnectionRecord &edited = ctx.editedConverter;
    char server[128] = "";
    tk::GetCtrlVal(panels.con, CON_PNL_STRG_REMOTE_SERVER, server, sizeof server);
    int address[4] = {0, 0, 0, 0};
    // A host name or an incomplete address names no converter of the list.
    if (ParseIpv4(server, address) < 4)
        return 0;
    if (FindConverterByAddress(ctx, address, &edited) == 0) {
        const char *title = ctx.messages.Text(7);
        ShowMessagePopup(title, ctx.messages.Text(16));
        return 0;
    }
    ApplyIpModeRules(ctx, &edited);
    ApplyOpModeRules(ctx, edited.deviceMode);
    ShowConverterSettings(ctx, &edited);
    tk::HidePanel(panels.con);
    tk::DisplayPanel(panels.ethcfg);
    return 0;
}

int CC_PICT_READ_WIZNET_DEV(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    BusyGuard busy(ctx);
    if (!busy)
        return 0;
    ctx.messages.Status("", 0);
    int result = KORALINK_access_LAN_device(&ctx.editedConverter, 1);
    ShowAccessOutcome(ctx, panel_texts::kReadingDevice, result);
    ShowConverterSettings(ctx, &ctx.editedConverter);
    return 0;
}

int CC_PICT_WRITE_WIZNET_DEV(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    BusyGuard busy(ctx);
    if (!busy)
        return 0;
    ConnectionRecord &edited = ctx.editedConverter;
    ctx.messages.Status("", 0);
    ConnectionRecord typed = edited;
    ReadConverterPanel(ctx, &typed);
    // A value the module must not be given is named before anything is
    // sent; the typed values stay in the panel to be corrected.
    if (auto fault = CheckConverterValues(typed)) {
        ctx.messages.Status((std::string(FieldLabel(fault->field)) + ": " + fault->why).c_str(),
                            -1);
        return 0;
    }
    edited = typed;
    // A rate the library cannot write (the ring's extra item) is sent as
    // "unknown", so the module keeps it.
    ConnectionRecord sent = edited;
    bool keepRate = sent.serialBaud != -1 && ConverterBaudIndex(sent.serialBaud) < 0;
    if (keepRate)
        sent.serialBaud = -1;
    int result = KORALINK_access_LAN_device(&sent, 2);
    if (keepRate && sent.serialBaud == -1)
        sent.serialBaud = edited.serialBaud;
    edited = sent;
    ShowAccessOutcome(ctx, panel_texts::kWritingDevice, result);
    ShowConverterSettings(ctx, &edited);
    ctx.devicesChanged = true;
    return 0;
}

int CC_PICT_WIZNET_CNF_QUIT(int panel, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT)
        LeaveConverterDialog(ContextOf(data), panel);
    return 0;
}

int CC_ETHCFG_PNL(int panel, int event, void *data, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        tk::DisplayPanel(ContextOf(data).panels.con);
    }
    return 0;
}

int CC_RING_IP_MODE(int panel, int control, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    int mode = 0;
    if (tk::GetCtrlVal(panel, control, &mode) == 0)
        ApplyIpModeRules(ctx, mode, ctx.editedConverter.serialBaud);
    return 0;
}

int CC_RING_OP_MODE(int panel, int control, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    int mode = -1;
    tk::GetCtrlVal(panel, control, &mode);
    if (mode != kTcpServer) {
        const char *title = ctx.messages.Text(7);
        ShowMessagePopup(title, ctx.messages.Text(17));
        tk::SetCtrlVal(panel, control, kTcpServer);
    }
    ApplyOpModeRules(ctx, kTcpServer);
    return 0;
}

int CC_PICB_SET_LOCAL_ADDR(int panel, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    std::string own;
    int address[4];
    if (!PrimaryIpv4Address(&own) || own.size() > 63 || ParseIpv4(own.c_str(), address) < 4)
        return 0;
    for (int i = 0; i < 4; ++i)
        tk::SetCtrlVal(panel, kRemoteIpFields[i], address[i]);
    return 0;
}
