// What the connection tree shows, as plain lines: three groups (converters
// on the network, USB adapters, other COM ports), one line per connection
// and a few description lines under each. Pure: the tree control and the
// headless scan build on the same lines so both always say the same.
#ifndef CORVIN_TREE_LINES_H
#define CORVIN_TREE_LINES_H

#include <string>
#include <vector>

#include "search/search_engine.h"
#include "support/olist.h"

// The groups a tree shows and their labels.
struct TreeGroups {
    int showLan, showUsb, showOther;
    char lanLabel[128], usbLabel[128], otherLabel[128];
};
// All three groups, labelled "LAN", "USB" and "other".
TreeGroups DefaultTreeGroups();
// The labels the program shows ("adp-b/ETH, adp-c/ETH", ...).
TreeGroups StandardTreeGroups();

enum TreeLineStyle {
    TREE_STYLE_GROUP = 1,      // dark green, bold
    TREE_STYLE_CONNECTION = 2, // dark blue, italic (also "NONE")
    TREE_STYLE_DETAIL = 3,     // black
};

// One line of the tree in display order. entryPosition is the 1-based
// position in the entries of the connection a level-2 line stands for, 0 for
// groups, "NONE" and description lines.
struct TreeLine {
    int level; // 1 group, 2 connection or "NONE", 3 description
    int style;
    int entryPosition;
    std::string text;
};

// The description lines of one connection, in display order, for the group
// its record type belongs to.
std::vector<std::string> DescribeConnection(const ConnectionEntry &entry);

// The whole tree as lines, groups in the order LAN, USB, other (each only if
// its switch is on). entries holds ConnectionEntry items.
std::vector<TreeLine> BuildTreeLines(ListType entries, const TreeGroups &groups);

#endif
