// Set-up and tear-down of the state the search and connect panels share:
// the connection tree with its progress bar, and the connection history.
#include "connection_panels.h"

#include "con_pnl_callbacks.h"
#include "connect_panel.h"
#include "connection_tree.h"
#include "converter_dialog.h"
#include "ethcfg_pnl_callbacks.h"
#include "search_panel.h"
#include "search_pnl.h"
#include "search_pnl_callbacks.h"
#include "sensor_link.h"
#include "sercfg_pnl_callbacks.h"
#include "serial_dialog.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

ConnectionPanelsSetup g_setup;

} // namespace

const ConnectionPanelsSetup &ConnectionPanels() {
    return g_setup;
}

bool TakeUiBusy() {
    if (!g_setup.uiBusy || *g_setup.uiBusy == 1)
        return false;
    *g_setup.uiBusy = 1;
    tk::SetWaitCursor(1);
    return true;
}

void ReleaseUiBusy() {
    *g_setup.uiBusy = 0;
    tk::SetWaitCursor(0);
}

void StartConnectionPanels(const ConnectionPanelsSetup &setup, IniStore store) {
    g_setup = setup;
    int search = setup.panels.search;
    MakeProgressBar(search, SEARCH_PNL_PRBR_PROGRESS);
    if (ConnectionTree_Create(search, SEARCH_PNL_TREE_CONNECTIONS, &g_connectionTree) == 0) {
        ConnectionTree_AttachProgress(g_connectionTree, search, SEARCH_PNL_PRBR_PROGRESS);
        TreeGroups standard = StandardTreeGroups();
        ConnectionTree_SetGroupLabels(g_connectionTree, standard.lanLabel, standard.usbLabel,
                                      standard.otherLabel);
        ConnectionTree_SetSelectionCallback(g_connectionTree, OnConnectionSelected);
    }

    DisposeConnectionHistory();
    ConnectionHistory();
    LoadConnectionHistory(store, store ? nullptr : setup.fallbackHistoryPath.c_str());
    ApplyHistoryEntry(1);
    FillHistoryRing();
}

void StopConnectionPanels(IniStore store) {
    // The program always passes its store at shutdown: the fallback file is
    // read when the settings did not load, but never written.
    SaveConnectionHistory(store, store ? nullptr : g_setup.fallbackHistoryPath.c_str());
    ConnectionTree_Dispose(g_connectionTree);
    g_connectionTree = nullptr;
    DisposeConnectionHistory();
    g_setup = ConnectionPanelsSetup{};
}

void RegisterPanelCallbacks() {
    RegisterSearchPnlCallbacks(nullptr);
    RegisterConPnlCallbacks(nullptr);
    RegisterEthcfgPnlCallbacks(nullptr);
    RegisterSercfgPnlCallbacks(nullptr);
}
