// The search panel's tree of found connections: three groups (converters on
// the network, USB adapters, other COM ports), one item per connection and a
// few description lines under each.
#ifndef CORVIN_CONNECTION_TREE_H
#define CORVIN_CONNECTION_TREE_H

#include <cstddef>
#include <string>
#include <vector>

#include "search/search_engine.h"
#include "search/tree_lines.h"
#include "support/olist.h"

struct ConnectionTree {
    int valid;
    int panel, control; // the tree control; 0, 0 for a tree without display
    int hasProgress;
    int progressPanel, progressControl;
    void (*onSelect)();
    int selectedPosition; // 1-based position in entries; 0 = none
    char selectedText[128];
    TreeGroups groups;
    ListType entries; // ConnectionEntry items
};

// The program's one tree; StartConnectionPanels creates it.
extern ConnectionTree *g_connectionTree;

// All operations taking a tree return -1 for a null tree and 0 otherwise.
int ConnectionTree_Create(int panel, int control, ConnectionTree **treeOut);
// The same object without a tree control (tests): Show only updates the
// entries, the callback is never installed.
int ConnectionTree_CreateHeadless(ConnectionTree **treeOut);
int ConnectionTree_AttachProgress(ConnectionTree *tree, int panel, int control);
int ConnectionTree_SetGroupLabels(ConnectionTree *tree, const char *lan, const char *usb,
                                  const char *other);
int ConnectionTree_SetSelectionCallback(ConnectionTree *tree, void (*fn)());
int ConnectionTree_Search(ConnectionTree *tree, ListType records, int probe);
int ConnectionTree_Show(ConnectionTree *tree);
int ConnectionTree_Dispose(ConnectionTree *tree);
int ConnectionTree_Callback(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);

// ---- the search, wired to the program's tree, bar and debug log -----------

// The koralink calls the program's searches make: the library itself unless
// a test routed them to a double.
const LinkApi &SearchLinkApi();
void SetSearchLinkApi(const LinkApi *api); // null: back to the real library

// A complete search on the program's tree (g_connectionTree): lists the
// candidates, probes them unless skipBaudSearch is set, rebuilds the tree.
void RunConnectionSearch(int skipBaudSearch);
// One ConnectionEntry per record into entries (emptied by the caller),
// identified when probe is set; progressPanel 0 means no progress bar.
// Returns 0, or -1 when the work storage could not be had.
int IdentifyConnections(int probe, int progressPanel, int progressControl, ListType records,
                        ListType entries);
// Waits for a probe in a helper thread and repaints every ~15 ms until it
// is done, so the window stays alive while the search runs.
int DisplayAliveExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle);

// The tree's lines (groups, connections, descriptions) as they are shown.
std::vector<TreeLine> BuildTreeLines(const ConnectionTree &tree);

#endif
