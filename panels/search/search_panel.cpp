// The search panel's workflow: search again, the selection hook and the
// copy buttons.
#include "search_panel.h"

#include <cstdio>
#include <cstring>

#include "con_pnl.h"
#include "connect_panel.h"
#include "connection_panels.h"
#include "connection_tree.h"
#include "panels/messages.h"
#include "search/text_format.h"
#include "search_pnl.h"
#include "search_pnl_callbacks.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

constexpr int kDefaultBaudCode = KORALINK_BAUD_115200;

int BaudCodeOf(int baud) {
    int code = KoralinkBaudCode(baud);
    return code >= 0 ? code : kDefaultBaudCode;
}

void EndProgressWith(const char *text) {
    if (g_connectionTree && g_connectionTree->hasProgress)
        EndProgress(g_connectionTree->progressPanel, g_connectionTree->progressControl, nullptr,
                    text);
}

int SearchPanel() {
    return ConnectionPanels().panels.search;
}

void CopyFieldToClipboard(int control) {
    char text[256] = "";
    tk::GetCtrlVal(SearchPanel(), control, text, sizeof text);
    tk::ClipboardPutText(text);
}

} // namespace

void OnConnectionSelected() {
    ConnectionTree *tree = g_connectionTree;
    if (!tree)
        return;
    int panel = SearchPanel();
    if (tree->selectedPosition == 0 || tree->selectedText[0] == '\0') {
        tk::SetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 1);
        EndProgressWith("");
        return;
    }
    ConnectionEntry entry;
    if (ListGetItem(tree->entries, &entry, tree->selectedPosition) != 0)
        return;
    // A usable selection makes the search panel's accept button usable again
    // after an unusable one dimmed it.
    tk::SetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 0);

    const ConnectionRecord &r = entry.record;
    int con = ConnectionPanels().panels.con;
    char text[256];
    if (entry.isNetwork) {
        tk::SetCtrlVal(con, CON_PNL_RBTN_USB_COM, 0);
        tk::SetCtrlVal(con, CON_PNL_RBTN_TCPIP_CLIENT, 1);
        tk::SetCtrlVal(con, CON_PNL_RBTN_OTHER_COM, 0);
        ShowTransferMode(TRANSFER_TCPIP);
        std::string address = Ipv4Text(r.localIp);
        tk::SetCtrlVal(con, CON_PNL_STRG_REMOTE_SERVER, address.c_str());
        tk::SetCtrlVal(con, CON_PNL_NUMR_REMOTE_PORT, static_cast<int>(r.localPort));
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_COPY_COM_OR_IP, address.c_str());
        std::snprintf(text, sizeof text, "%d", r.localPort);
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s %s:%d", GetMessageText(9), address.c_str(),
                      r.localPort);
        EndProgressWith(text);
    } else if (entry.isSerial) {
        // "Other" COM ports take the USB button too: both are plain serial
        // lines to the library.
        tk::SetCtrlVal(con, CON_PNL_RBTN_USB_COM, 1);
        tk::SetCtrlVal(con, CON_PNL_RBTN_TCPIP_CLIENT, 0);
        tk::SetCtrlVal(con, CON_PNL_RBTN_OTHER_COM, 0);
        ShowTransferMode(TRANSFER_USB_COM);
        int code = entry.identified ? BaudCodeOf(entry.baudRate) : kDefaultBaudCode;
        tk::SetCtrlVal(con, CON_PNL_NUMR_COM_PORTNUM, static_cast<int>(r.comNumber));
        tk::SetCtrlVal(con, CON_PNL_RING_BAUDRATE, code);
        std::snprintf(text, sizeof text, "%d", r.comNumber);
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_COPY_COM_OR_IP, text);
        std::snprintf(text, sizeof text, "%d", KoralinkBaudRate(code));
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s%d:%dbaud", GetMessageText(10), r.comNumber,
                      KoralinkBaudRate(code));
        EndProgressWith(text);
    }
    ShowStatus("", 0);
}

void SearchAgain() {
    if (!TakeUiBusy())
        return;
    const ConnectionPanelsSetup &setup = ConnectionPanels();
    tk::ClearListCtrl(setup.panels.search, SEARCH_PNL_TREE_CONNECTIONS);
    tk::HidePanel(setup.panels.con);
    tk::DisplayPanel(setup.panels.search);
    RunConnectionSearch(setup.skipBaudSearch ? *setup.skipBaudSearch : 0);
    ReleaseUiBusy();
}

int CC_SEARCH_PNL(int panel, int event, void *, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        tk::QuitUserInterface(0);
    }
    return 0;
}

int CC_PICT_SEARCH_AGAIN(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        SearchAgain();
    return 0;
}

int CC_PICT_SEARCH_CONFIG(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT) {
        tk::HidePanel(ConnectionPanels().panels.search);
        tk::DisplayPanel(ConnectionPanels().panels.con);
    }
    return 0;
}

int CC_PICT_SEARCH_EXIT(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        tk::QuitUserInterface(0);
    return 0;
}

int CC_PICT_COPY_COM_OR_IP(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        CopyFieldToClipboard(SEARCH_PNL_STRG_COPY_COM_OR_IP);
    return 0;
}

int CC_PICT_CPY_BAUD_OR_PORT(int, int, int event, void *, int, int) {
    if (event == tk::EVENT_COMMIT)
        CopyFieldToClipboard(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT);
    return 0;
}

int CC_PICT_COPY_2_CLIPBOARD(int, int, int, void *, int, int) {
    return 0;
}
