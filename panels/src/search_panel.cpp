// The search panel's workflow: set-up of the tree and its progress bar, the
// search-again command, the selection hook and the copy buttons.
#include <cstdio>
#include <cstring>

#include "connection_panels.h"
#include "connection_tree.h"
#include "panel_ids.h"
#include "progress.h"
#include "search_engine.h"
#include "shell.h"
#include "toolkit/ui.h"

ConnectionTree *g_connectionTree = nullptr;

namespace {

// The sensors' baud codes 0..7. The connect panel's code will own the table;
// the copy field only needs the rate of a code.
constexpr int kBaudCodes[8] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr int kDefaultBaudCode = 4;

int BaudCodeOf(int baud) {
    for (int code = 0; code < 8; ++code)
        if (kBaudCodes[code] == baud)
            return code;
    return kDefaultBaudCode;
}

void EndProgressWith(const char *text) {
    if (g_connectionTree && g_connectionTree->hasProgress)
        EndProgress(g_connectionTree->progressPanel, g_connectionTree->progressControl, nullptr,
                    text);
}

void CopyFieldToClipboard(int control) {
    char text[256] = "";
    tk::GetCtrlVal(g_searchPanel, control, text, sizeof text);
    tk::ClipboardPutText(text);
}

} // namespace

void ApplyStandardGroupLabels(ConnectionTree *tree) {
    ConnectionTree_SetGroupLabels(tree, "adp-b/ETH, adp-c/ETH", "adp-b/USB, adp-c/USB", "other");
}

void OnConnectionSelected() {
    ConnectionTree *tree = g_connectionTree;
    if (!tree)
        return;
    if (tree->selectedPosition == 0 || tree->selectedText[0] == '\0') {
        tk::SetCtrlAttribute(g_searchPanel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 1);
        EndProgressWith("");
        return;
    }
    ConnectionEntry entry;
    if (ListGetItem(tree->entries, &entry, tree->selectedPosition) != 0)
        return;
    // A usable selection makes the search panel's accept button usable again
    // after an unusable one dimmed it.
    tk::SetCtrlAttribute(g_searchPanel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 0);

    // Not built yet: copying the selection into the connect panel (transfer
    // mode radio buttons, ShowTransferMode, remote server and port, COM number
    // and baud ring) arrives with the connect panel and its history. Until
    // then accept works on whatever the connect panel holds.
    const ConnectionRecord &r = entry.record;
    char text[256];
    if (entry.isNetwork) {
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", r.localIp[0], r.localIp[1], r.localIp[2],
                      r.localIp[3]);
        tk::SetCtrlVal(g_searchPanel, SEARCH_PNL_STRG_COPY_COM_OR_IP, text);
        std::snprintf(text, sizeof text, "%d", r.localPort);
        tk::SetCtrlVal(g_searchPanel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s %d.%d.%d.%d:%d", GetMessageText(9), r.localIp[0],
                      r.localIp[1], r.localIp[2], r.localIp[3], r.localPort);
        EndProgressWith(text);
    } else if (entry.isSerial) {
        int code = entry.identified ? BaudCodeOf(entry.baudRate) : kDefaultBaudCode;
        std::snprintf(text, sizeof text, "%d", r.comNumber);
        tk::SetCtrlVal(g_searchPanel, SEARCH_PNL_STRG_COPY_COM_OR_IP, text);
        std::snprintf(text, sizeof text, "%d", kBaudCodes[code]);
        tk::SetCtrlVal(g_searchPanel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s%d:%dbaud", GetMessageText(10), r.comNumber,
                      kBaudCodes[code]);
        EndProgressWith(text);
    }
    ShowStatus("", 0);
}

void StartConnectionPanels(IniStore /*store*/) {
    MakeProgressBar(g_searchPanel, SEARCH_PNL_PRBR_PROGRESS);
    if (ConnectionTree_Create(g_searchPanel, SEARCH_PNL_TREE_CONNECTIONS, &g_connectionTree) == 0) {
        ConnectionTree_AttachProgress(g_connectionTree, g_searchPanel, SEARCH_PNL_PRBR_PROGRESS);
        ApplyStandardGroupLabels(g_connectionTree);
        ConnectionTree_SetSelectionCallback(g_connectionTree, OnConnectionSelected);
    }
    // The search runs on the UI thread; while it waits for probes the window
    // keeps painting and the bar keeps moving.
    SetExchangeWaiter(DisplayAliveExchangeWait);
    // Not built yet: the connection history (create, load from the store or
    // the fallback file, apply entry 1, fill the history ring) comes with the
    // connect panel.
}

void StopConnectionPanels(IniStore /*store*/) {
    // Not built yet: saving the connection history into the store, and its
    // disposal, come with the connect panel.
    SetExchangeWaiter(nullptr);
    ConnectionTree_Dispose(g_connectionTree);
    g_connectionTree = nullptr;
}

void SearchAgain() {
    if (UiBusy == 1)
        return;
    UiBusy = 1;
    tk::SetWaitCursor(1);
    tk::ClearListCtrl(g_searchPanel, SEARCH_PNL_TREE_CONNECTIONS);
    tk::HidePanel(g_conPanel);
    tk::DisplayPanel(g_searchPanel);
    RunConnectionSearch();
    UiBusy = 0;
    tk::SetWaitCursor(0);
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
        tk::HidePanel(g_searchPanel);
        tk::DisplayPanel(g_conPanel);
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

void RegisterPanelCallbacks() {
    tk::RegisterPanelCallback("CC_SEARCH_PNL", CC_SEARCH_PNL);
    tk::RegisterCtrlCallback("CC_PICT_SEARCH_AGAIN", CC_PICT_SEARCH_AGAIN);
    tk::RegisterCtrlCallback("CC_PICT_SEARCH_CONFIG", CC_PICT_SEARCH_CONFIG);
    tk::RegisterCtrlCallback("CC_PICT_SEARCH_EXIT", CC_PICT_SEARCH_EXIT);
    tk::RegisterCtrlCallback("CC_PICT_COPY_COM_OR_IP", CC_PICT_COPY_COM_OR_IP);
    tk::RegisterCtrlCallback("CC_PICT_CPY_BAUD_OR_PORT", CC_PICT_CPY_BAUD_OR_PORT);
    tk::RegisterCtrlCallback("CC_PICT_COPY_2_CLIPBOARD", CC_PICT_COPY_2_CLIPBOARD);
}
