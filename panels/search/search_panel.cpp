// The search panel's workflow: search again, the selection hook and the
// copy buttons.
#include "search_panel.h"

#include <cstdio>
#include <cstring>

#include "con_pnl.h"
#include "connection_tree.h"
#include "port_announcer.h"
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

void EndProgressWith(const ConnectionTree *tree, const char *text) {
    if (tree && tree->hasProgress)
        EndProgress(tree->progressPanel, tree->progressControl, nullptr, text);
}

void CopyFieldToClipboard(const PanelContext &ctx, int control) {
    char text[256] = "";
    tk::GetCtrlVal(ctx.panels.search, control, text, sizeof text);
    tk::ClipboardPutText(text);
}

void SelectionHook(void *data) {
    OnConnectionSelected(ContextOf(data));
}

void EscapeKey(void *data) {
    ContextOf(data).CancelSearch();
}

} // namespace

void OnConnectionSelected(PanelContext &ctx) {
    ConnectionTree *tree = ctx.tree;
    if (!tree)
        return;
    int panel = ctx.panels.search;
    if (tree->selectedPosition == 0 || tree->selectedText[0] == '\0') {
        tk::SetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 1);
        tk::SetPanelDefaultButton(panel, 0);
        EndProgressWith(tree, "");
        PortAnnouncerSelected(nullptr);
        return;
    }
    ConnectionEntry entry;
    if (ListGetItem(tree->entries, &entry, tree->selectedPosition) != 0)
        return;
    // A usable selection makes the search panel's accept button usable again
    // after an unusable one dimmed it.
    tk::SetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, 0);
    // Return takes what the tree shows selected, never the history's entry
    // the connect panel was filled from at start.
    tk::SetPanelDefaultButton(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT);

    const ConnectionRecord &r = entry.record;
    int con = ctx.panels.con;
    char text[256];
    if (entry.isNetwork) {
        tk::SetCtrlVal(con, CON_PNL_RBTN_USB_COM, 0);
        tk::SetCtrlVal(con, CON_PNL_RBTN_TCPIP_CLIENT, 1);
        tk::SetCtrlVal(con, CON_PNL_RBTN_OTHER_COM, 0);
        ctx.ShowTransferMode(TRANSFER_TCPIP);
        std::string address = Ipv4Text(r.localIp);
        tk::SetCtrlVal(con, CON_PNL_STRG_REMOTE_SERVER, address.c_str());
        tk::SetCtrlVal(con, CON_PNL_NUMR_REMOTE_PORT, static_cast<int>(r.localPort));
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_COPY_COM_OR_IP, address.c_str());
        std::snprintf(text, sizeof text, "%d", r.localPort);
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s %s:%d", ctx.messages.Text(9), address.c_str(),
                      r.localPort);
        EndProgressWith(tree, text);
    } else if (entry.isSerial) {
        // "Other" COM ports take the USB button too: both are plain serial
        // lines to the library.
        tk::SetCtrlVal(con, CON_PNL_RBTN_USB_COM, 1);
        tk::SetCtrlVal(con, CON_PNL_RBTN_TCPIP_CLIENT, 0);
        tk::SetCtrlVal(con, CON_PNL_RBTN_OTHER_COM, 0);
        ctx.ShowTransferMode(TRANSFER_USB_COM);
        int code = entry.identified ? BaudCodeOf(entry.baudRate) : kDefaultBaudCode;
        tk::SetCtrlVal(con, CON_PNL_NUMR_COM_PORTNUM, static_cast<int>(r.comNumber));
        tk::SetCtrlVal(con, CON_PNL_RING_BAUDRATE, code);
        std::snprintf(text, sizeof text, "%d", r.comNumber);
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_COPY_COM_OR_IP, text);
        std::snprintf(text, sizeof text, "%d", KoralinkBaudRate(code));
        tk::SetCtrlVal(panel, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, text);
        std::snprintf(text, sizeof text, "%s%d:%dbaud", ctx.messages.Text(10), r.comNumber,
                      KoralinkBaudRate(code));
        EndProgressWith(tree, text);
    }
    PortAnnouncerSelected(&entry);
    ctx.messages.Status("", 0);
}

void RegisterSearchPanelCallbacks(PanelContext &ctx) {
    ctx.searchAgainFn = SearchAgain;
    RegisterSearchPnlCallbacks(&ctx);
}

void StartSearchPanel(PanelContext &ctx) {
    int search = ctx.panels.search;
    MakeProgressBar(search, SEARCH_PNL_PRBR_PROGRESS);
    if (ConnectionTree_Create(search, SEARCH_PNL_TREE_CONNECTIONS, &ctx.tree) != 0)
        return;
    ConnectionTree_AttachProgress(ctx.tree, search, SEARCH_PNL_PRBR_PROGRESS);
    TreeGroups standard = StandardTreeGroups();
    ConnectionTree_SetGroupLabels(ctx.tree, standard.lanLabel, standard.usbLabel,
                                  standard.otherLabel);
    ConnectionTree_SetSelectionCallback(ctx.tree, SelectionHook, &ctx);
    tk::SetPanelKeyCallback(search, "Esc", EscapeKey, &ctx);
    tk::SetPanelDefaultButton(search, 0);
    ctx.results = ctx.tree->entries;
    StartPortAnnouncer(search, ctx.panels.con);
}

void StopSearchPanel(PanelContext &ctx) {
    StopPortAnnouncer();
    ConnectionTree_Dispose(ctx.tree);
    ctx.tree = nullptr;
    ctx.results = nullptr;
}

int CC_SEARCH_PNL(int panel, int event, void *data, int, int) {
    if (event == tk::EVENT_CLOSE) {
        // A running search ends first (its loop returns once it has closed
        // its lines); the quit then takes the usual way out.
        ContextOf(data).CancelSearch();
        tk::HidePanel(panel);
        tk::QuitUserInterface(0);
    }
    return 0;
}

// The search button reads "Cancel" while a search runs.
int CC_PICT_SEARCH_AGAIN(int, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    PanelContext &ctx = ContextOf(data);
    if (ctx.Searching())
        ctx.CancelSearch();
    else
        SearchAgain(ctx);
    return 0;
}

int CC_PICT_SEARCH_CONFIG(int, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT) {
        const PanelSet &panels = ContextOf(data).panels;
        tk::HidePanel(panels.search);
        tk::DisplayPanel(panels.con);
    }
    return 0;
}

int CC_PICT_SEARCH_EXIT(int, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT) {
        ContextOf(data).CancelSearch();
        tk::QuitUserInterface(0);
    }
    return 0;
}

int CC_PICT_COPY_COM_OR_IP(int, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT)
        CopyFieldToClipboard(ContextOf(data), SEARCH_PNL_STRG_COPY_COM_OR_IP);
    return 0;
}

int CC_PICT_CPY_BAUD_OR_PORT(int, int, int event, void *data, int, int) {
    if (event == tk::EVENT_COMMIT)
        CopyFieldToClipboard(ContextOf(data), SEARCH_PNL_STRG_CPY_BAUD_OR_PORT);
    return 0;
}

int CC_PICT_COPY_2_CLIPBOARD(int, int, int, void *, int, int) {
    return 0;
}
