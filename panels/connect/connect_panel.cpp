// The connect panel's transfer modes and the connection history.
#include "connect_panel.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "con_pnl.h"
#include "con_pnl_callbacks.h"
#include "connection_panels.h"
#include "panels/messages.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

constexpr int kHistoryLimit = 10;

ListType g_history = nullptr;

int ConPanel() {
    return ConnectionPanels().panels.con;
}

// The radio button of each transfer mode, index = mode.
constexpr int kModeButton[4] = {0, CON_PNL_RBTN_USB_COM, CON_PNL_RBTN_TCPIP_CLIENT,
                                CON_PNL_RBTN_OTHER_COM};

void SelectModeButton(int mode) {
    for (int m = 1; m <= 3; ++m)
        tk::SetCtrlVal(ConPanel(), kModeButton[m], 0);
    if (mode >= 1 && mode <= 3)
        tk::SetCtrlVal(ConPanel(), kModeButton[mode], 1);
}

} // namespace

ListType ConnectionHistory() {
    if (!g_history)
        g_history = ListCreate(sizeof(ConnectionSettings));
    return g_history;
}

void DisposeConnectionHistory() {
    ListDispose(g_history);
    g_history = nullptr;
}

int LoadConnectionHistory(IniStore store, const char *path) {
    IniStore own = nullptr;
    if (!store) {
        if (!path)
            return -1;
        own = store = CreateIniStore(0);
        if (!store)
            return -1;
        // No file is the first run, not an error: there is no history yet.
        struct stat st;
        bool exists = ::stat(path, &st) == 0;
        if (exists && ReadIniFile(store, path) != INI_OK) {
            const char *title = GetMessageText(4);
            ShowMessagePopup(title, GetMessageText(5));
        }
    }
    int result = ReadConnectionHistory(store, ConnectionHistory());
    DisposeIniStore(own);
    return result;
}

void SaveConnectionHistory(IniStore store, const char *path) {
    IniStore own = nullptr;
    if (!store)
        own = store = CreateIniStore(0);
    if (!store)
        return;
    WriteConnectionHistory(store, ConnectionHistory());
    if (own) {
        if (!path || WriteIniFile(own, path) != INI_OK) {
            const char *title = GetMessageText(4);
            ShowMessagePopup(title, GetMessageText(6));
        }
        DisposeIniStore(own);
    }
}

int ReadConnectPanel(ConnectionSettings *settings) {
    if (!settings)
        return -1;
    std::memset(settings, 0, sizeof *settings);
    int panel = ConPanel();
    // Later buttons win, should more than one be on.
    for (int mode = 1; mode <= 3; ++mode) {
        int on = 0;
        tk::GetCtrlVal(panel, kModeButton[mode], &on);
        if (on)
            settings->mode = mode;
    }
    if (settings->mode != TRANSFER_NONE) {
        std::string label;
        tk::GetCtrlAttribute(panel, kModeButton[settings->mode], tk::ATTR_LABEL_TEXT, &label);
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

void ShowTransferMode(int mode) {
    const int serial[] = {CON_PNL_NUMR_COM_PORTNUM, CON_PNL_RING_BAUDRATE,
                          CON_PNL_PICB_CALL_SERIALCFG};
    const int tcp[] = {CON_PNL_STRG_REMOTE_SERVER, CON_PNL_NUMR_REMOTE_PORT,
                       CON_PNL_PICB_CALL_ETHCFG};
    int panel = ConPanel();
    for (int control : serial)
        tk::SetCtrlAttribute(panel, control, tk::ATTR_DIMMED, IsSerialMode(mode) ? 0 : 1);
    for (int control : tcp)
        tk::SetCtrlAttribute(panel, control, tk::ATTR_DIMMED, mode == TRANSFER_TCPIP ? 0 : 1);
}

void ApplyHistoryEntry(int n) {
    ListType history = ConnectionHistory();
    if (!history || n < 1 || ListNumItems(history) < n)
        return;
    ConnectionSettings s;
    ListRemoveItem(history, &s, n);
    ListInsertItem(history, &s, LIST_FRONT);
    SelectModeButton(s.mode);
    ShowTransferMode(s.mode);
    int panel = ConPanel();
    if (IsSerialMode(s.mode)) {
        tk::SetCtrlVal(panel, CON_PNL_NUMR_COM_PORTNUM, static_cast<int>(s.comNumber));
        tk::SetCtrlVal(panel, CON_PNL_RING_BAUDRATE, static_cast<int>(s.baudCode));
    } else if (s.mode == TRANSFER_TCPIP) {
        tk::SetCtrlVal(panel, CON_PNL_STRG_REMOTE_SERVER, s.server);
        tk::SetCtrlVal(panel, CON_PNL_NUMR_REMOTE_PORT, static_cast<int>(s.remotePort));
    }
}

void FillHistoryRing() {
    int panel = ConPanel();
    tk::ClearListCtrl(panel, CON_PNL_RING_HISTORY);
    ListType history = ConnectionHistory();
    int count = history ? ListNumItems(history) : 0;
    for (int n = 1; n <= count; ++n) {
        std::string text =
            HistoryItemText(*static_cast<const ConnectionSettings *>(ListItemPtr(history, n)));
        // A mode without a line gets no item, yet still counts: ring values
        // are always history positions.
        if (!text.empty())
            tk::InsertListItem(panel, CON_PNL_RING_HISTORY, -1, text.c_str(), n);
    }
}

void RememberConnection() {
    ListType history = ConnectionHistory();
    ConnectionSettings s;
    ReadConnectPanel(&s);
    while (ListNumItems(history) > kHistoryLimit - 1)
        ListRemoveItem(history, nullptr, LIST_END);
    ListInsertItem(history, &s, LIST_FRONT);
}

int CC_CON_PNL(int panel, int event, void *, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        // Hiding it alone would leave the program running without any
        // window, which the user could then neither see nor end.
        tk::DisplayPanel(ConnectionPanels().panels.search);
    }
    return 0;
}

int CC_RBTN_TRANSFER_MODE_SELECT(int, int control, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    for (int mode = 1; mode <= 3; ++mode) {
        if (kModeButton[mode] == control) {
            SelectModeButton(mode);
            ShowTransferMode(mode);
        }
    }
    return 0;
}

int CC_RING_HISTORY(int panel, int control, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    int n = 0;
    if (tk::GetCtrlVal(panel, control, &n) < 0)
        return 0;
    ApplyHistoryEntry(n);
    FillHistoryRing();
    return 0;
}

int CC_PICB_CLEAR_HISTORY(int, int, int event, void *, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    tk::ClearListCtrl(ConPanel(), CON_PNL_RING_HISTORY);
    ListClear(ConnectionHistory());
    return 0;
}
