// The tree control side: building the items, styles, and the user's
// selections (active item changes and double clicks) on the real panel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "connection_tree.h"
#include "fake_link.h"
#include "panel_ids.h"
#include "panels/panel_set.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

int g_selectCalls = 0;
void CountSelect() {
    ++g_selectCalls;
}

class TreeControl : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "search_tree_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
    }
    void SetUp() override {
        panel_ = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        ASSERT_GT(panel_, 0) << tk::LastLoadError();
        ASSERT_EQ(ConnectionTree_Create(panel_, SEARCH_PNL_TREE_CONNECTIONS, &tree_), 0);
        ConnectionTree_SetSelectionCallback(tree_, CountSelect);
        g_selectCalls = 0;
    }
    void TearDown() override {
        ConnectionTree_Dispose(tree_);
        tk::DiscardPanel(panel_);
    }

    void Add(const ConnectionRecord &record, bool identified = false) {
        ConnectionEntry e;
        std::memset(&e, 0, sizeof e);
        e.record = record;
        e.identified = e.answered = identified ? 1 : 0;
        CopyText(e.serialText, "00001");
        CopyText(e.sensorType, "KS");
        ListInsertItem(tree_->entries, &e, LIST_END);
    }
    std::string Label(int item) {
        std::string text;
        tk::GetTreeItemLabel(panel_, kTree, item, &text);
        return text;
    }
    int Attr(int item, int attr) {
        int value = -1;
        tk::GetTreeItemAttribute(panel_, kTree, item, attr, &value);
        return value;
    }
    // What the user does by moving the active item.
    void Activate(int item) {
        tk::SetActiveTreeItem(panel_, kTree, item);
        tk::CallCtrlCallback(panel_, kTree, tk::EVENT_VAL_CHANGED, tk::TREE_ACTIVE_ITEM_CHANGED, 0);
    }
    int Find(const std::string &label) {
        int count = 0;
        tk::GetNumListItems(panel_, kTree, &count);
        for (int item = 0; item < count; ++item)
            if (Label(item) == label)
                return item;
        return -1;
    }

    static constexpr int kTree = SEARCH_PNL_TREE_CONNECTIONS;
    int panel_ = 0;
    ConnectionTree *tree_ = nullptr;
};

TEST_F(TreeControl, CreateRefusesASecondTreeAndNonTreeControls) {
    EXPECT_EQ(ConnectionTree_Create(panel_, kTree, &tree_), -1);
    ConnectionTree *other = nullptr;
    EXPECT_EQ(ConnectionTree_Create(panel_, SEARCH_PNL_STRG_COPY_COM_OR_IP, &other), -1);
    EXPECT_EQ(other, nullptr);
}

TEST_F(TreeControl, EmptyListShowsThreeGroupsWithNone) {
    ASSERT_EQ(ConnectionTree_Show(tree_), 0);
    int count = 0;
    tk::GetNumListItems(panel_, kTree, &count);
    ASSERT_EQ(count, 6);
    const char *labels[] = {"LAN", "NONE", "USB", "NONE", "other", "NONE"};
    for (int item = 0; item < 6; ++item) {
        EXPECT_EQ(Label(item), labels[item]);
        int parent = 0;
        tk::GetTreeItemParent(panel_, kTree, item, &parent);
        EXPECT_EQ(parent, item % 2 ? item - 1 : -1) << "item " << item;
    }
    EXPECT_EQ(Attr(0, tk::ATTR_TEXT_COLOR), tk::MakeColor(0, 128, 0));
    EXPECT_EQ(Attr(0, tk::ATTR_TEXT_BOLD), 1);
    EXPECT_EQ(Attr(1, tk::ATTR_TEXT_COLOR), tk::MakeColor(0, 0, 128));
    EXPECT_EQ(Attr(1, tk::ATTR_TEXT_ITALIC), 1);
}

TEST_F(TreeControl, ConnectionItemsCarryTheirDescriptionAndIndex) {
    Add(LanRecord("Conv", 192, 168, 0, 20, 5000), true);
    Add(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    ASSERT_EQ(ConnectionTree_Show(tree_), 0);
    ConnectionEntry conv, com;
    ListGetItem(tree_->entries, &conv, 1);
    ListGetItem(tree_->entries, &com, 2);
    EXPECT_EQ(Label(conv.treeItem), "Conv");
    EXPECT_EQ(Label(com.treeItem), "COM4");
    EXPECT_EQ(Label(com.treeItem + 1), "Type: COM port");
    EXPECT_EQ(Attr(com.treeItem + 1, tk::ATTR_TEXT_COLOR), 0);
    int parent = -1;
    tk::GetTreeItemParent(panel_, kTree, com.treeItem + 2, &parent);
    EXPECT_EQ(parent, com.treeItem);
    EXPECT_EQ(Label(conv.treeItem + 4), "Local IP: 192.168.0.20");
}

TEST_F(TreeControl, SelectingALineSelectsItsConnection) {
    Add(LanRecord("Conv", 192, 168, 0, 20, 5000), true);
    Add(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    ConnectionTree_Show(tree_);
    int com = Find("COM4");
    ASSERT_GT(com, 0);

    Activate(com + 1); // its "Type:" line
    EXPECT_EQ(tree_->selectedPosition, 2);
    EXPECT_STREQ(tree_->selectedText, "SERIAL: COM4");
    EXPECT_EQ(g_selectCalls, 1);
    EXPECT_EQ(Attr(com, tk::ATTR_SELECTED), 1);
    EXPECT_EQ(Attr(com + 2, tk::ATTR_SELECTED), 1) << "the connection's lines are marked too";

    Activate(Find("Conv"));
    EXPECT_EQ(tree_->selectedPosition, 1);
    EXPECT_STREQ(tree_->selectedText, "TCP/IP: 192.168.0.20:5000");
    EXPECT_EQ(Attr(com, tk::ATTR_SELECTED), 0) << "only one connection shows as selected";
    EXPECT_EQ(g_selectCalls, 2);
}

TEST_F(TreeControl, GroupItemKeepsTheSelectionAndNoneClearsIt) {
    Add(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    ConnectionTree_Show(tree_);
    Activate(Find("COM4"));
    ASSERT_EQ(g_selectCalls, 1);
    tk::SetTreeItemAttribute(panel_, kTree, 0, tk::ATTR_LABEL_BGCOLOR, tk::MakeColor(255, 0, 0));

    Activate(Find("other"));
    EXPECT_EQ(tree_->selectedPosition, 1) << "a group item must not change the selection";
    EXPECT_EQ(g_selectCalls, 1) << "nor notify";
    EXPECT_EQ(Attr(0, tk::ATTR_LABEL_BGCOLOR), tk::MakeColor(255, 255, 255))
        << "but it resets the label backgrounds";

    Activate(Find("NONE"));
    EXPECT_EQ(tree_->selectedPosition, 0);
    EXPECT_STREQ(tree_->selectedText, "");
    EXPECT_EQ(g_selectCalls, 2);
}

TEST_F(TreeControl, DoubleClickEmptiesTheControlButKeepsTheEntries) {
    Add(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    ConnectionTree_Show(tree_);
    Activate(Find("COM4"));
    tk::CallCtrlCallback(panel_, kTree, tk::EVENT_LEFT_DOUBLE_CLICK, 3, 0);
    int count = -1;
    tk::GetNumListItems(panel_, kTree, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(tree_->selectedPosition, 0);
    EXPECT_STREQ(tree_->selectedText, "");
    EXPECT_EQ(g_selectCalls, 2);
    EXPECT_EQ(ListNumItems(tree_->entries), 1);
}

TEST_F(TreeControl, OtherEventsAndAMissingActiveItemDoNothing) {
    Add(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    ConnectionTree_Show(tree_);
    tk::CallCtrlCallback(panel_, kTree, tk::EVENT_COMMIT, 0, 0);
    tk::CallCtrlCallback(panel_, kTree, tk::EVENT_VAL_CHANGED, 1, 0);
    Activate(-1);
    EXPECT_EQ(g_selectCalls, 0);
    int count = 0;
    tk::GetNumListItems(panel_, kTree, &count);
    EXPECT_GT(count, 0);
}

} // namespace
