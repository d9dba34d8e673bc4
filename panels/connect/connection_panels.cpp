// Set-up and tear-down of the state the search and connect panels share:
// the connection tree with its progress bar.
#include "connection_panels.h"

#include "connection_tree.h"
#include "progress.h"
#include "search_panel.h"
#include "search_pnl.h"

namespace {

ConnectionPanelsSetup g_setup;

} // namespace

const ConnectionPanelsSetup &ConnectionPanels() {
    return g_setup;
}

void StartConnectionPanels(const ConnectionPanelsSetup &setup, IniStore /*store*/) {
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
    // Not built yet: the connection history (create, load from the store or
    // the fallback file, apply entry 1, fill the history ring) comes with the
    // connect panel.
}

void StopConnectionPanels(IniStore /*store*/) {
    // Not built yet: saving the connection history into the store, and its
    // disposal, come with the connect panel.
    ConnectionTree_Dispose(g_connectionTree);
    g_connectionTree = nullptr;
    g_setup = ConnectionPanelsSetup{};
}

void RegisterPanelCallbacks() {
    RegisterSearchPanelCallbacks();
}
