// The Ethernet converter settings dialog.
#include "converter_dialog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "con_pnl.h"
#include "con_pnl_callbacks.h"
#include "connection_panels.h"
#include "connection_tree.h"
#include "ethcfg_pnl.h"
#include "ethcfg_pnl_callbacks.h"
#include "own_address.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "search/text_format.h"
#include "search_panel.h"
#include "toolkit/ui.h"

ConnectionRecord EditedConverter = {};

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

int Dialog() {
    return ConnectionPanels().panels.ethcfg;
}

template <size_t N> void ShowFields(const int (&controls)[N], const int32_t *values) {
    for (size_t i = 0; i < N; ++i)
        tk::SetCtrlVal(Dialog(), controls[i], values ? static_cast<int>(values[i]) : 0);
}

template <size_t N> void ReadFields(const int (&controls)[N], int32_t *values) {
    for (size_t i = 0; i < N; ++i) {
        int value = 0;
        if (tk::GetCtrlVal(Dialog(), controls[i], &value) == 0)
            values[i] = value;
    }
}

template <size_t N> void SetMode(const int (&controls)[N], bool editable) {
    for (int control : controls)
        tk::SetCtrlAttribute(Dialog(), control, tk::ATTR_CTRL_MODE, editable ? 1 : 0);
}

// Selects value on a ring whose panel data has count items (values 0 to
// count - 1). A value the ring lacks gets an item of its own, labelled
// label: otherwise the ring would keep showing the previous module's choice,
// and a write would give this module that setting behind the user's back.
void ShowRingValue(int control, int count, int value, const std::string &label) {
    int panel = Dialog();
    int items = 0;
    tk::GetNumListItems(panel, control, &items);
    if (items > count)
        tk::DeleteListItem(panel, control, count, -1);
    if (value < 0 || value >= count)
        tk::InsertListItem(panel, control, -1, label.c_str(), value);
    tk::SetCtrlVal(panel, control, value);
}

// A newer module's mode the rings do not offer (PPPoE, secure modes).
void ShowModeRing(int control, int count, int32_t mode) {
    ShowRingValue(control, count, mode, "mode " + std::to_string(mode));
}

// The table's rates, or the module's own rate when the table lacks it.
void ShowRate(int32_t rate) {
    int index = ConverterBaudIndex(rate);
    if (index < 0 && rate > 0)
        ShowRingValue(ETHCFG_PNL_RING_BAUDRATE, kConverterBaudCount, kConverterKeptRateValue,
                      std::to_string(rate));
    else
        ShowRingValue(ETHCFG_PNL_RING_BAUDRATE, kConverterBaudCount,
                      index >= 0 ? index : kConverterDefaultBaudIndex, "");
}

// "Reading device ... OK", or "... FAIL" with the library's cause, which
// also goes to the debug log.
void ShowAccessOutcome(const char *what, int result) {
    if (result >= 1) {
        ShowStatus((std::string(what) + " ... OK").c_str(), 0);
        return;
    }
    std::string text = std::string(what) + " ... FAIL";
    const char *cause = KORALINK_get_LAN_error();
    if (cause && *cause) {
        text += std::string(": ") + cause;
        DebugLog("%s\n", text.c_str());
    }
    ShowStatus(text.c_str(), -1);
}

} // namespace

int ConverterBaudIndex(int32_t rate) {
    for (int i = 0; i < kConverterBaudCount; ++i)
        if (ConverterBaudTable[i] == rate)
            return i;
    return -1;
}

int FindConverterByAddress(const int address[4], ConnectionRecord *destination) {
    if (!g_connectionTree || !g_connectionTree->entries || !address)
        return 0;
    ListType entries = g_connectionTree->entries;
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

void ShowConverterSettings(const ConnectionRecord *record) {
    int panel = Dialog();
    tk::SetCtrlVal(
        panel, ETHCFG_PNL_STRG_DEVICE_INFO,
        record ? std::string(record->typeText, strnlen(record->typeText, sizeof record->typeText))
                     .c_str()
               : "");
    ShowFields(kMacFields, record ? record->mac : nullptr);
    ShowModeRing(ETHCFG_PNL_RING_IP_MODE, 2, record ? record->ipMode : 0);
    ShowModeRing(ETHCFG_PNL_RING_OP_MODE, 4, record ? record->deviceMode : 0);
    tk::SetCtrlVal(panel, ETHCFG_PNL_NUMR_LOCAL_PORT,
                   record ? static_cast<int>(record->localPort) : 0);
    tk::SetCtrlVal(panel, ETHCFG_PNL_NUMR_REMOTE_PORT,
                   record ? static_cast<int>(record->remotePort) : 0);
    ShowRate(record ? record->serialBaud : 0);
    ShowFields(kGatewayFields, record ? record->gateway : nullptr);
    ShowFields(kMaskFields, record ? record->subnetMask : nullptr);
    ShowFields(kLocalIpFields, record ? record->localIp : nullptr);
    ShowFields(kRemoteIpFields, record ? record->remoteIp : nullptr);
    ApplyIpModeRules(record);
}

void ReadConverterPanel(ConnectionRecord *record) {
    if (!record)
        return;
    int panel = Dialog();
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
    ReadFields(kGatewayFields, record->gateway);
    ReadFields(kMaskFields, record->subnetMask);
    ReadFields(kLocalIpFields, record->localIp);
    ReadFields(kRemoteIpFields, record->remoteIp);
}

void ApplyIpModeRules(const ConnectionRecord *record) {
    if (record)
        ApplyIpModeRules(record->ipMode, record->serialBaud);
}

void ApplyIpModeRules(int ipMode, int32_t serialBaud) {
    bool editable = ipMode != kDhcp;
    SetMode(kGatewayFields, editable);
    SetMode(kMaskFields, editable);
    SetMode(kLocalIpFields, editable);
    int shown = serialBaud != -1 ? 1 : 0;
    tk::SetCtrlAttribute(Dialog(), ETHCFG_PNL_RING_BAUDRATE, tk::ATTR_VISIBLE, shown);
    tk::SetCtrlAttribute(Dialog(), ETHCFG_PNL_STRG_SERIAL_INFO, tk::ATTR_VISIBLE, shown);
}

void ApplyOpModeRules(int deviceMode) {
    bool editable = deviceMode != kTcpServer;
    SetMode(kRemoteIpFields, editable);
    tk::SetCtrlAttribute(Dialog(), ETHCFG_PNL_NUMR_REMOTE_PORT, tk::ATTR_CTRL_MODE,
                         editable ? 1 : 0);
    tk::SetCtrlAttribute(Dialog(), ETHCFG_PNL_PICB_SET_LOCAL_ADDR, tk::ATTR_DIMMED,
                         editable ? 0 : 1);
}

void MarkDevicesChanged() {
    if (int *changed = ConnectionPanels().devicesChanged)
        *changed = 1;
}

bool DevicesChanged() {
    const int *changed = ConnectionPanels().devicesChanged;
    return changed && *changed == 1;
}

void LeaveConverterDialog(int dialogPanel) {
    ShowStatus("", 0);
    std::memset(&EditedConverter, 0, sizeof EditedConverter);
    tk::HidePanel(dialogPanel);
    const int *busy = ConnectionPanels().uiBusy;
    // A search refused for a busy program would leave no panel on screen.
    if (DevicesChanged() && busy && *busy == 0)
        SearchAgain();
    else
        tk::DisplayPanel(ConnectionPanels().panels.con);
}

int CC_PICB_CALL_ETHCFG(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    const PanelSet &panels = ConnectionPanels().panels;
    char server[128] = "";
    tk::GetCtrlVal(panels.con, CON_PNL_STRG_REMOTE_SERVER, server, sizeof server);
    int address[4] = {0, 0, 0, 0};
    // A host name or an incomplete address names no converter of the list.
    if (ParseIpv4(server, address) < 4)
        return 0;
    if (FindConverterByAddress(address, &EditedConverter) == 0) {
        const char *title = GetMessageText(7);
        ShowMessagePopup(title, GetMessageText(16));
        return 0;
    }
    ApplyIpModeRules(&EditedConverter);
    ApplyOpModeRules(EditedConverter.deviceMode);
    ShowConverterSettings(&EditedConverter);
    tk::HidePanel(panels.con);
    tk::DisplayPanel(panels.ethcfg);
    return 0;
}

int CC_PICT_READ_WIZNET_DEV(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT || !TakeUiBusy())
        return 0;
    ShowStatus("", 0);
    int result = KORALINK_access_LAN_device(&EditedConverter, 1);
    ShowAccessOutcome("Reading device", result);
    ShowConverterSettings(&EditedConverter);
    ReleaseUiBusy();
    return 0;
}

int CC_PICT_WRITE_WIZNET_DEV(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT || !TakeUiBusy())
        return 0;
    ShowStatus("", 0);
    ReadConverterPanel(&EditedConverter);
    // A rate the library cannot write (the ring's extra item) is sent as
    // "unknown", so the module keeps it.
    ConnectionRecord sent = EditedConverter;
    bool keepRate = sent.serialBaud != -1 && ConverterBaudIndex(sent.serialBaud) < 0;
    if (keepRate)
        sent.serialBaud = -1;
    int result = KORALINK_access_LAN_device(&sent, 2);
    if (keepRate && sent.serialBaud == -1)
        sent.serialBaud = EditedConverter.serialBaud;
    EditedConverter = sent;
    ShowAccessOutcome("Writing device", result);
    ShowConverterSettings(&EditedConverter);
    ReleaseUiBusy();
    MarkDevicesChanged();
    return 0;
}

int CC_PICT_WIZNET_CNF_QUIT(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        LeaveConverterDialog(Dialog());
    return 0;
}

int CC_ETHCFG_PNL(int panel, int event, void *, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        tk::DisplayPanel(ConnectionPanels().panels.con);
    }
    return 0;
}

int CC_RING_IP_MODE(int panel, int control, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    int mode = 0;
    if (tk::GetCtrlVal(panel, control, &mode) == 0)
        ApplyIpModeRules(mode, EditedConverter.serialBaud);
    return 0;
}

int CC_RING_OP_MODE(int panel, int control, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    int mode = -1;
    tk::GetCtrlVal(panel, control, &mode);
    if (mode != kTcpServer) {
        const char *title = GetMessageText(7);
        ShowMessagePopup(title, GetMessageText(17));
        tk::SetCtrlVal(panel, control, kTcpServer);
    }
    ApplyOpModeRules(kTcpServer);
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
