// The connect panel's transfer modes and the connection history.
#include "connect_panel.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "con_pnl.h"
#include "con_pnl_callbacks.h"
#include "panels/connect_fields.h"
#include "sensor_link.h"
#include "toolkit/ui.h"

namespace {

void SelectModeButton(int panel, int mode) {
    for (int m = 1; m <= 3; ++m)
        tk::SetCtrlVal(panel, kTransferModeButton[m], 0);
    if (mode >= 1 && mode <= 3)
        tk::SetCtrlVal(panel, kTransferModeButton[mode], 1);
}

} // namespace

void RegisterConnectPanelCallbacks(PanelContext &ctx) {
    ctx.showTransferModeFn = ShowTransferMode;
    ctx.probeSensorFn = ProbeSensor;
    RegisterConPnlCallbacks(&ctx);
}

void StartConnectPanel(PanelContext &ctx, IniStore store) {
    LoadConnectionHistory(ctx, store, store ? nullptr : ctx.fallbackHistoryPath.c_str());
    ApplyHistoryEntry(ctx, 1);
    FillHistoryRing(ctx);
}

void StopConnectPanel(PanelContext &ctx, IniStore store) {
    // The program always passes its store at shutdown: the fallback file is
    // read when the settings did not load, but never written.
    SaveConnectionHistory(ctx, store, store ? nullptr : ctx.fallbackHistoryPath.c_str());
}

int LoadConnectionHistory(PanelContext &ctx, IniStore store, const char *path) {
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
            const char *title = ctx.messages.Text(4);
            ShowMessagePopup(title, ctx.messages.Text(5));
        }
    }
    int result = ctx.history.Load(store);
    DisposeIniStore(own);
    return result;
}

void SaveConnectionHistory(PanelContext &ctx, IniStore store, const char *path) {
    IniStore own = nullptr;
    if (!store)
        own = store = CreateIniStore(0);
    if (!store)
        return;
    ctx.history.Save(store);
    if (own) {
        if (!path || WriteIniFile(own, path) != INI_OK) {
            const char *title = ctx.messages.Text(4);
            ShowMessagePopup(title, ctx.messages.Text(6));
        }
        DisposeIniStore(own);
    }
}

void ShowTransferMode(PanelContext &ctx, int mode) {
    const int serial[] = {CON_PNL_NUMR_COM_PORTNUM, CON_PNL_RING_BAUDRATE,
                          CON_PNL_PICB_CALL_SERIALCFG};
    const int tcp[] = {CON_PNL_STRG_REMOTE_SERVER, CON_PNL_NUMR_REMOTE_PORT,
                       CON_PNL_PICB_CALL_ETHCFG};
    int panel = ctx.panels.con;
    for (int control : serial)
        tk::SetCtrlAttribute(panel, control, tk::ATTR_DIMMED, IsSerialMode(mode) ? 0 : 1);
    for (int control : tcp)
        tk::SetCtrlAttribute(panel, control, tk::ATTR_DIMMED, mode == TRANSFER_TCPIP ? 0 : 1);
}

void ApplyHistoryEntry(PanelContext &ctx, int n) {
    if (!ctx.history.MoveToTop(n))
        return;
    ConnectionSettings s = ctx.history.At(1);
    int panel = ctx.panels.con;
    SelectModeButton(panel, s.mode);
    ShowTransferMode(ctx, s.mode);
    if (IsSerialMode(s.mode)) {
        tk::SetCtrlVal(panel, CON_PNL_NUMR_COM_PORTNUM, static_cast<int>(s.comNumber));
        tk::SetCtrlVal(panel, CON_PNL_RING_BAUDRATE, static_cast<int>(s.baudCode));
    } else if (s.mode == TRANSFER_TCPIP) {
        tk::SetCtrlVal(panel, CON_PNL_STRG_REMOTE_SERVER, s.server);
        tk::SetCtrlVal(panel, CON_PNL_NUMR_REMOTE_PORT, static_cast<int>(s.remotePort));
    }
}

void FillHistoryRing(PanelContext &ctx) {
    int panel = ctx.panels.con;
    tk::ClearListCtrl(panel, CON_PNL_RING_HISTORY);
    for (const ConnectionHistory::RingItem &item : ctx.history.RingItems())
        tk::InsertListItem(panel, CON_PNL_RING_HISTORY, -1, item.text.c_str(), item.value);
}

void RememberConnection(PanelContext &ctx) {
    ConnectionSettings s;
    ReadConnectPanel(ctx.panels, &s);
    ctx.history.Remember(s);
}

int CC_CON_PNL(int panel, int event, void *data, int, int) {
    if (event == tk::EVENT_CLOSE) {
        tk::HidePanel(panel);
        // Hiding it alone would leave the program running without any
        // window, which the user could then neither see nor end.
        tk::DisplayPanel(ContextOf(data).panels.search);
    }
    return 0;
}

int CC_RBTN_TRANSFER_MODE_SELECT(int panel, int control, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    for (int mode = 1; mode <= 3; ++mode) {
        if (kTransferModeButton[mode] == control) {
            SelectModeButton(panel, mode);
            ShowTransferMode(ContextOf(data), mode);
        }
    }
    return 0;
}

int CC_RING_HISTORY(int panel, int control, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    int n = 0;
    if (tk::GetCtrlVal(panel, control, &n) < 0)
        return 0;
    ApplyHistoryEntry(ContextOf(data), n);
    FillHistoryRing(ContextOf(data));
    return 0;
}

int CC_PICB_CLEAR_HISTORY(int panel, int, int event, void *data, int, int) {
    if (event != tk::EVENT_COMMIT)
        return 0;
    tk::ClearListCtrl(panel, CON_PNL_RING_HISTORY);
    ContextOf(data).history.Clear();
    return 0;
}
