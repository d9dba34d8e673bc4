// The search panel's tree of found connections: three groups (converters on
// the network, USB adapters, other COM ports), one item per connection and a
// few description lines under each.
#ifndef CORVIN_CONNECTION_TREE_H
#define CORVIN_CONNECTION_TREE_H

#include <cstddef>
#include <string>
#include <vector>

#include "olist.h"
#include "search_engine.h"

struct ConnectionTree {
    int valid;
    int panel, control; // the tree control; 0, 0 for a tree without display
    int hasProgress;
    int progressPanel, progressControl;
    void (*onSelect)();
    int selectedPosition; // 1-based position in entries; 0 = none
    char selectedText[128];
    int showLan, showUsb, showOther;
    char lanLabel[128], usbLabel[128], otherLabel[128];
    ListType entries; // ConnectionEntry items
};

// All operations taking a tree return -1 for a null tree and 0 otherwise.
int ConnectionTree_Create(int panel, int control, ConnectionTree **treeOut);
// The same object without a tree control (the headless scan): Show only
// updates the entries, the callback is never installed.
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

// ---- what the tree shows ------------------------------------------------------

enum TreeLineStyle {
    TREE_STYLE_GROUP = 1,      // dark green, bold
    TREE_STYLE_CONNECTION = 2, // dark blue, italic (also "NONE")
    TREE_STYLE_DETAIL = 3,     // black
};

// One line of the tree in display order. entryPosition is the 1-based
// position in entries of the connection a level-2 line stands for, 0 for
// groups, "NONE" and description lines.
struct TreeLine {
    int level; // 1 group, 2 connection or "NONE", 3 description
    int style;
    int entryPosition;
    std::string text;
};

// The description lines of one connection, in display order, for the group
// its record type belongs to. Pure: the tree and the scan command share it.
std::vector<std::string> DescribeConnection(const ConnectionEntry &entry);

// The whole tree as lines, groups in the order LAN, USB, other (each only if
// its switch is on).
std::vector<TreeLine> BuildTreeLines(const ConnectionTree &tree);

// ---- text helpers -----------------------------------------------------------

enum { TEXT_APPEND = 1, TEXT_REPLACE = 2 };
// Dotted IPv4 text of four octets. Octet outside 0..255: the text becomes
// "???.???.???.???" and the result is -1. Other modes write nothing and give 0.
// Otherwise the result is the length of the text written.
int FormatIpv4(char *text, size_t textSize, const int octets[4], int mode);
// Reads up to four dotted decimal values; returns how many were read.
int ParseIpv4(const char *text, int octets[4]);
// "<baud> baud", replacing or appending; same results as FormatIpv4.
int FormatBaud(char *text, size_t textSize, int baud, int mode);

#endif
