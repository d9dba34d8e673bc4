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
    void (*onSelect)(void *data);
    void *onSelectData;
    int selectedPosition; // 1-based position in entries; 0 = none
    char selectedText[128];
    TreeGroups groups;
    ListType entries; // ConnectionEntry items
};

// All operations taking a tree return -1 for a null tree and 0 otherwise.
int ConnectionTree_Create(int panel, int control, ConnectionTree **treeOut);
// The same object without a tree control (tests): Show only updates the
// entries, the callback is never installed.
int ConnectionTree_CreateHeadless(ConnectionTree **treeOut);
int ConnectionTree_AttachProgress(ConnectionTree *tree, int panel, int control);
int ConnectionTree_SetGroupLabels(ConnectionTree *tree, const char *lan, const char *usb,
                                  const char *other);
int ConnectionTree_SetSelectionCallback(ConnectionTree *tree, void (*fn)(void *data), void *data);
// Identifies the records into the tree's entries through the given calls
// (null: the library itself), logging into log when one is given.
int ConnectionTree_Search(ConnectionTree *tree, ListType records, int probe,
                          const LinkApi *api = nullptr, SearchLog *log = nullptr);
int ConnectionTree_Show(ConnectionTree *tree);
// The same connection in two searches: a converter by its MAC, a serial port
// by its kind and COM number (its position and its settings may change).
bool SameConnection(const ConnectionEntry &a, const ConnectionEntry &b);
// After a search: selects the connection that is the same as previous (and
// tells the selection hook), or clears the selection when it is gone.
// Returns its position, or 0.
int ConnectionTree_SelectSame(ConnectionTree *tree, const ConnectionEntry &previous);
int ConnectionTree_Dispose(ConnectionTree *tree);
int ConnectionTree_Callback(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);

// One ConnectionEntry per record into entries (emptied by the caller),
// identified when probe is set; progressPanel 0 means no progress bar.
// Returns 0, or -1 when the work storage could not be had.
int IdentifyConnections(const LinkApi &api, SearchLog *log, int probe, int progressPanel,
                        int progressControl, ListType records, ListType entries);
// Waits for a probe in a helper thread and repaints every ~15 ms until it
// is done, so the window stays alive while the search runs.
int DisplayAliveExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle);

// The tree's lines (groups, connections, descriptions) as they are shown.
std::vector<TreeLine> BuildTreeLines(const ConnectionTree &tree);

#endif
