// The tree object on the search panel: lines and numbering without a
// control, group labels, and refusal of a missing tree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "connection_tree.h"
#include "fake_link.h"
#include "support/textutil.h"

namespace {

using Lines = std::vector<std::string>;

ConnectionEntry EntryOf(const ConnectionRecord &record) {
    ConnectionEntry e;
    std::memset(&e, 0, sizeof e);
    e.record = record;
    return e;
}

TEST(TreeObject, GroupsInOrderWithNoneAndConnectionsInListOrder) {
    ConnectionTree *tree = nullptr;
    ASSERT_EQ(ConnectionTree_CreateHeadless(&tree), 0);
    ConnectionEntry a = EntryOf(SerialRecord(KORALINK_TYPE_COM, 1, "COM1", "COM port"));
    ConnectionEntry b = EntryOf(SerialRecord(KORALINK_TYPE_COM, 2, "COM2", "COM port"));
    ConnectionEntry c = EntryOf(SerialRecord(KORALINK_TYPE_USB, 5, "USB5", "USB-Serial"));
    for (ConnectionEntry *e : {&a, &b, &c})
        ListInsertItem(tree->entries, e, LIST_END);
    std::vector<TreeLine> lines = BuildTreeLines(*tree);
    std::vector<std::string> outline;
    for (const TreeLine &l : lines)
        if (l.level < 3)
            outline.push_back(std::to_string(l.level) + l.text + "@" +
                              std::to_string(l.entryPosition));
    EXPECT_EQ(outline,
              (Lines{"1LAN@0", "2NONE@0", "1USB@0", "2USB5@3", "1other@0", "2COM1@1", "2COM2@2"}));

    // Show on a tree without control numbers connections as the control would.
    ASSERT_EQ(ConnectionTree_Show(tree), 0);
    ConnectionEntry shown;
    ListGetItem(tree->entries, &shown, 3);
    EXPECT_EQ(shown.treeItem, 3);
    EXPECT_EQ(shown.isSerial, 1);
    EXPECT_EQ(shown.isNetwork, 0);
    ConnectionTree_Dispose(tree);
}

TEST(TreeObject, GroupSwitchesAndLabels) {
    ConnectionTree *tree = nullptr;
    ASSERT_EQ(ConnectionTree_CreateHeadless(&tree), 0);
    EXPECT_EQ(ConnectionTree_CreateHeadless(&tree), -1) << "a second tree into the same slot";
    std::string longLabel(200, 'L');
    ASSERT_EQ(ConnectionTree_SetGroupLabels(tree, longLabel.c_str(), nullptr, "x"), 0);
    EXPECT_EQ(std::string(tree->groups.lanLabel), std::string(127, 'L'));
    EXPECT_STREQ(tree->groups.usbLabel, "USB") << "a null label keeps the old one";
    tree->groups.showUsb = 0;
    std::vector<TreeLine> lines = BuildTreeLines(*tree);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].text, "x");
    EXPECT_EQ(ConnectionTree_SetGroupLabels(nullptr, "a", "b", "c"), -1);
    EXPECT_EQ(ConnectionTree_Show(nullptr), -1);
    EXPECT_EQ(ConnectionTree_Search(nullptr, nullptr, 1), -1);
    EXPECT_EQ(ConnectionTree_Dispose(nullptr), -1);
    ConnectionTree_Dispose(tree);
}

} // namespace
