// Panels, controls, lists, trees, menus and callback binding of the UI run-time.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../src/internal.h"
#include "../src/kinds.h"
#include "toolkit/ui.h"

namespace {

using namespace tk;

enum {
    TREE_ITEMS = 1,
    RING_CHOICE,
    NUMR_VALUE,
    STRG_TEXT,
    TXTM_NOTE,
    RBTN_OPTION,
    PICT_GO,
    PRBR_BAR,
    DECO_BOX,
    PICT_UNBOUND
};
enum { TEST_MENU_FILE = 2, TEST_MENU_FILE_FLAG, TEST_MENU_FILE_SEP, TEST_MENU_FILE_QUIT };

struct Call {
    int panel, control, event, d1, d2;
    void *data;
};
std::vector<Call> g_calls;
std::vector<int> g_panelEvents;
struct MenuCall {
    int bar, item, panel;
    void *data;
};
std::vector<MenuCall> g_menuCalls;

int RecordCtrl(int panel, int control, int event, void *data, int d1, int d2) {
    g_calls.push_back({panel, control, event, d1, d2, data});
    return 0;
}
int RecordPanel(int, int event, void *, int, int) {
    g_panelEvents.push_back(event);
    return 0;
}
void RecordMenu(int bar, int item, void *data, int panel) {
    g_menuCalls.push_back({bar, item, panel, data});
}

class Toolkit : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "toolkit_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitUIRuntime(1, argv), 0);
        SetPopupCapture(true);
        RegisterCtrlCallback("CC_RING_CHOICE", RecordCtrl);
        RegisterCtrlCallback("CC_RBTN_OPTION", RecordCtrl);
        RegisterCtrlCallback("CC_PICT_GO", RecordCtrl);
        RegisterPanelCallback("CC_TEST_PNL", RecordPanel);
        RegisterMenuCallback("CC_TEST_MENU_FLAG", RecordMenu);
        RegisterMenuCallback("CC_TEST_MENU_QUIT", RecordMenu);
    }
    void SetUp() override {
        SetStrictCallbacks(false);
        g_calls.clear();
        g_panelEvents.clear();
        g_menuCalls.clear();
        panel_ = LoadPanel(0, "some/dir/ToolkitTest.uir", 1);
        ASSERT_GT(panel_, 0) << LastLoadError();
    }
    void TearDown() override {
        if (panel_ > 0)
            DiscardPanel(panel_);
    }
    template <class W> W *Widget(int control) {
        detail::Control *c = detail::FindControl(panel_, control);
        return c ? qobject_cast<W *>(c->widget.data()) : nullptr;
    }
    int Tree(int relation, int relative, int position, const char *label) {
        return InsertTreeItem(panel_, TREE_ITEMS, relation, relative, position, label);
    }
    std::string Label(int index) {
        std::string s;
        EXPECT_EQ(GetTreeItemLabel(panel_, TREE_ITEMS, index, &s), 0) << "item " << index;
        return s;
    }
    int panel_ = 0;
};

// ---- loading and callback binding ----------------------------------------------------

TEST_F(Toolkit, LoadsByResourceNumberAndRejectsUnknownOnes) {
    EXPECT_LT(LoadPanel(0, "ToolkitTest.uir", 99), 0) << "a missing panel number must fail";
    EXPECT_LT(LoadPanel(0, "NoSuchFile.uir", 1), 0) << "a missing resource must fail";
    EXPECT_LT(LoadPanel(12345, "ToolkitTest.uir", 1), 0) << "an unknown parent must fail";
    EXPECT_EQ(PanelControls(panel_), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(CtrlConstantName(panel_, PICT_GO), "PICT_GO");
    EXPECT_EQ(CtrlConstantName(panel_, 77), "");
}

TEST_F(Toolkit, CallbacksBoundByNameFireOnUserActions) {
    int data = 0;
    Widget<QPushButton>(PICT_GO)->click();
    ASSERT_EQ(g_calls.size(), 1u) << "a button click must reach its named callback";
    EXPECT_EQ(g_calls[0].panel, panel_);
    EXPECT_EQ(g_calls[0].control, PICT_GO);
    EXPECT_EQ(g_calls[0].event, EVENT_COMMIT);

    // A radio button commits on the user's click; the program keeps the value.
    Widget<QRadioButton>(RBTN_OPTION)->click();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].control, RBTN_OPTION);

    // A ring commits when the user picks an item, not when code sets it.
    ASSERT_EQ(SetCtrlVal(panel_, RING_CHOICE, 1), 0);
    EXPECT_EQ(g_calls.size(), 2u) << "programmatic ring change must not fire";
    auto *ring = Widget<QComboBox>(RING_CHOICE);
    emit ring->activated(0);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[2].event, EVENT_COMMIT);

    // An installed callback replaces the bound one and gets its data.
    ASSERT_EQ(InstallCtrlCallback(panel_, PICT_GO, RecordCtrl, &data), 0);
    EXPECT_EQ(CallCtrlCallback(panel_, PICT_GO, EVENT_COMMIT, 7, 8), 0);
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[3].data, &data);
    EXPECT_EQ(g_calls[3].d1, 7);
    EXPECT_EQ(g_calls[3].d2, 8);
}

TEST_F(Toolkit, UnresolvedNamesAreReportedAndStrictModeRefuses) {
    bool reported = false;
    for (const std::string &u : UnresolvedCallbacks())
        reported = reported || u == "TEST_PNL.PICT_UNBOUND: CC_NOT_REGISTERED";
    EXPECT_TRUE(reported) << "an unknown callback name was ignored silently";
    std::string name;
    ASSERT_EQ(GetCtrlAttribute(panel_, PICT_UNBOUND, ATTR_CALLBACK_NAME, &name), 0);
    EXPECT_EQ(name, "CC_NOT_REGISTERED");
    EXPECT_EQ(Widget<QPushButton>(PICT_UNBOUND)->isEnabled(), true);
    Widget<QPushButton>(PICT_UNBOUND)->click(); // no callback: nothing happens, no crash
    EXPECT_TRUE(g_calls.empty());

    SetStrictCallbacks(true);
    int h = LoadPanel(0, "ToolkitTest.uir", 1);
    EXPECT_EQ(h, UIE_UNRESOLVED_CALLBACK);
    EXPECT_NE(LastLoadError().find("CC_NOT_REGISTERED"), std::string::npos) << LastLoadError();
}

TEST_F(Toolkit, WindowCloseGoesToThePanelCallbackAndKeepsTheWindow) {
    DisplayPanel(panel_);
    detail::Panel *p = detail::FindPanel(panel_);
    ASSERT_TRUE(p && p->top);
    EXPECT_FALSE(p->top->close()) << "the window closed by itself";
    ProcessSystemEvents();
    ASSERT_EQ(g_panelEvents.size(), 1u);
    EXPECT_EQ(g_panelEvents[0], EVENT_CLOSE);
    int visible = 0;
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_VISIBLE, &visible), 0);
    EXPECT_EQ(visible, 1);
    ASSERT_EQ(HidePanel(panel_), 0);
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_VISIBLE, &visible), 0);
    EXPECT_EQ(visible, 0);
}

TEST_F(Toolkit, CloseDuringALongCallbackWaitsUntilTheCallbackReturns) {
    // As in a search: a callback keeps the window painting with
    // ProcessDrawEvents while the user asks to close it.
    static int panel = 0;
    static size_t eventsInside = 99;
    panel = panel_;
    InstallCtrlCallback(
        panel_, PICT_GO,
        [](int, int, int, void *, int, int) {
            detail::FindPanel(panel)->top->close();
            for (int i = 0; i < 20; ++i) {
                ProcessDrawEvents();
                ProcessSystemEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            eventsInside = g_panelEvents.size();
            return 0;
        },
        nullptr);
    DisplayPanel(panel_);
    Widget<QPushButton>(PICT_GO)->click();
    EXPECT_EQ(eventsInside, 0u) << "the close request was handled in the middle of a callback";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_panelEvents.empty() && std::chrono::steady_clock::now() < deadline) {
        ProcessSystemEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(g_panelEvents.size(), 1u) << "the close request was lost";
    EXPECT_EQ(g_panelEvents[0], EVENT_CLOSE);
}

TEST_F(Toolkit, DiscardSendsDiscardEventsAndFreesUserData) {
    static int freed = 0;
    freed = 0;
    ASSERT_EQ(InstallCtrlCallback(panel_, PRBR_BAR, RecordCtrl, nullptr), 0);
    int payload = 5;
    ASSERT_EQ(
        SetCtrlUserData(panel_, PRBR_BAR, "ProgressBar Ctrl", &payload, [](void *) { ++freed; }),
        0);
    EXPECT_EQ(GetCtrlUserData(panel_, PRBR_BAR, "ProgressBar Ctrl"), &payload);
    EXPECT_EQ(GetCtrlUserData(panel_, PRBR_BAR, "other tag"), nullptr);
    ASSERT_EQ(DiscardPanel(panel_), 0);
    EXPECT_EQ(freed, 1) << "user data was not freed with its control";
    bool discardSeen = false;
    for (auto &c : g_calls)
        discardSeen = discardSeen || (c.control == PRBR_BAR && c.event == EVENT_DISCARD);
    EXPECT_TRUE(discardSeen);
    EXPECT_EQ(DiscardPanel(panel_), UIE_BAD_PANEL);
    EXPECT_EQ(SetCtrlVal(panel_, NUMR_VALUE, 1), UIE_BAD_PANEL);
    panel_ = 0;
}

// ---- values and attributes ---------------------------------------------------------------

TEST_F(Toolkit, ValuesOfEachKind) {
    int v = 0;
    ASSERT_EQ(SetCtrlVal(panel_, NUMR_VALUE, 42), 0);
    ASSERT_EQ(GetCtrlVal(panel_, NUMR_VALUE, &v), 0);
    EXPECT_EQ(v, 42);

    char buf[64];
    ASSERT_EQ(GetCtrlVal(panel_, STRG_TEXT, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "initial");
    ASSERT_EQ(SetCtrlVal(panel_, STRG_TEXT, "COM4"), 0);
    ASSERT_EQ(GetCtrlVal(panel_, STRG_TEXT, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "COM4");
    std::string dflt;
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_DFLT_VALUE, &dflt), 0);
    EXPECT_EQ(dflt, "initial");

    // Texts are cut to the buffer without splitting a UTF-8 sequence.
    ASSERT_EQ(SetCtrlVal(panel_, TXTM_NOTE, "ab\xC3\xA4"), 0); // "abä"
    char small[4];
    ASSERT_EQ(GetCtrlVal(panel_, TXTM_NOTE, small, sizeof small), 0);
    EXPECT_STREQ(small, "ab");

    ASSERT_EQ(SetCtrlVal(panel_, RBTN_OPTION, 1), 0);
    ASSERT_EQ(GetCtrlVal(panel_, RBTN_OPTION, &v), 0);
    EXPECT_EQ(v, 1);
    ASSERT_EQ(SetCtrlVal(panel_, RBTN_OPTION, 0), 0);
    ASSERT_EQ(GetCtrlVal(panel_, RBTN_OPTION, &v), 0);
    EXPECT_EQ(v, 0) << "a radio button must switch off on its own (no auto-exclusive group)";

    EXPECT_EQ(SetCtrlVal(panel_, DECO_BOX, 1), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(panel_, 99, 1), UIE_BAD_CONTROL);
    EXPECT_EQ(GetCtrlVal(panel_, NUMR_VALUE, static_cast<int *>(nullptr)), UIE_NULL_POINTER);
}

TEST_F(Toolkit, ProgressSlideTakesTheBarAttributes) {
    int style = 0;
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_CTRL_STYLE, &style), 0);
    EXPECT_EQ(style, CTRL_PROGRESS_SLIDE);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_CTRL_MODE, 0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_DATA_TYPE, 4), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_MAX_VALUE, 100.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_MIN_VALUE, 0.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_DFLT_VALUE, 0.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_INCR_VALUE, 0.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_FILL_COLOR, 0xFF0000), 0);
    int fill = 0, type = 0, mode = -1;
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_FILL_COLOR, &fill), 0);
    EXPECT_EQ(fill, 0xFF0000);
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_DATA_TYPE, &type), 0);
    EXPECT_EQ(type, 4);
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_CTRL_MODE, &mode), 0);
    EXPECT_EQ(mode, 0);

    double d = -1;
    ASSERT_EQ(SetCtrlVal(panel_, PRBR_BAR, 33.25), 0);
    ASSERT_EQ(GetCtrlVal(panel_, PRBR_BAR, &d), 0);
    EXPECT_DOUBLE_EQ(d, 33.25) << "the slide must keep a double value";
    ASSERT_EQ(SetCtrlVal(panel_, PRBR_BAR, 250.0), 0);
    ASSERT_EQ(GetCtrlVal(panel_, PRBR_BAR, &d), 0);
    EXPECT_DOUBLE_EQ(d, 100.0) << "values beyond the maximum are clamped";
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_MAX_VALUE, &d), 0);
    EXPECT_DOUBLE_EQ(d, 100.0);

    ASSERT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_LABEL_TEXT, "Search USB devices ..."), 0);
    std::string label;
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_LABEL_TEXT, &label), 0);
    EXPECT_EQ(label, "Search USB devices ...");
}

TEST_F(Toolkit, CommonAttributesReadBackWhatWasSet) {
    int v = -1;
    ASSERT_EQ(SetCtrlAttribute(panel_, PICT_GO, ATTR_DIMMED, 1), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, PICT_GO, ATTR_DIMMED, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(Widget<QPushButton>(PICT_GO)->isEnabled());

    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_VISIBLE, 0), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_VISIBLE, &v), 0);
    EXPECT_EQ(v, 0);

    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_TEXT_COLOR, MakeColor(255, 255, 255)), 0);
    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_TEXT_BGCOLOR, MakeColor(255, 0, 0)), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_TEXT_COLOR, &v), 0);
    EXPECT_EQ(v, 0xFFFFFF);
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_TEXT_BGCOLOR, &v), 0);
    EXPECT_EQ(v, 0xFF0000);

    // Labels: the button's own text, or the separate label widget.
    std::string s;
    ASSERT_EQ(SetCtrlAttribute(panel_, PICT_GO, ATTR_LABEL_TEXT, "Los"), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, PICT_GO, ATTR_LABEL_TEXT, &s), 0);
    EXPECT_EQ(s, "Los");
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_LABEL_TEXT, &s), 0);
    EXPECT_EQ(s, "Text");
    ASSERT_EQ(GetCtrlAttribute(panel_, NUMR_VALUE, ATTR_LABEL_TEXT, &s), 0);
    EXPECT_EQ(s, "");
    ASSERT_EQ(SetCtrlAttribute(panel_, NUMR_VALUE, ATTR_LABEL_TEXT, "Count"), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, NUMR_VALUE, ATTR_LABEL_TEXT, &s), 0);
    EXPECT_EQ(s, "Count") << "a label must be creatable on a control that had none";

    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_TOOLTIP_TEXT, "tip"), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, STRG_TEXT, ATTR_TOOLTIP_TEXT, &s), 0);
    EXPECT_EQ(s, "tip");

    // Styles by kind, as localisation reads them.
    const std::pair<int, int> styles[] = {
        {TREE_ITEMS, CTRL_TREE},        {RING_CHOICE, CTRL_RING},
        {NUMR_VALUE, CTRL_NUMERIC},     {STRG_TEXT, CTRL_STRING},
        {TXTM_NOTE, CTRL_TEXT_MSG},     {RBTN_OPTION, CTRL_RADIO_BUTTON},
        {PICT_GO, CTRL_PICTURE_BUTTON}, {DECO_BOX, CTRL_DECORATION}};
    for (auto [ctrl, style] : styles) {
        ASSERT_EQ(GetCtrlAttribute(panel_, ctrl, ATTR_CTRL_STYLE, &v), 0);
        EXPECT_EQ(v, style) << CtrlConstantName(panel_, ctrl);
    }
    EXPECT_EQ(SetCtrlAttribute(panel_, DECO_BOX, 424242, 1), UIE_BAD_ATTRIBUTE);
}

TEST_F(Toolkit, IndicatorModeMakesStringsReadOnly) {
    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_CTRL_MODE, 0), 0);
    detail::Control *c = detail::FindControl(panel_, STRG_TEXT);
    ASSERT_TRUE(c);
    EXPECT_TRUE(qobject_cast<QLineEdit *>(c->widget.data())->isReadOnly());
    ASSERT_EQ(SetCtrlVal(panel_, STRG_TEXT, "still settable by code"), 0);
    ASSERT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_CTRL_MODE, 1), 0);
    EXPECT_FALSE(qobject_cast<QLineEdit *>(c->widget.data())->isReadOnly());
    EXPECT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_CTRL_MODE, 7), UIE_BAD_VALUE);
}

TEST_F(Toolkit, PanelAttributes) {
    ASSERT_EQ(SetPanelAttribute(panel_, ATTR_TITLE, "Corvintracer V1.0"), 0);
    std::string s;
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_TITLE, &s), 0);
    EXPECT_EQ(s, "Corvintracer V1.0");
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_CONSTANT_NAME, &s), 0);
    EXPECT_EQ(s, "TEST_PNL");
    int v = -1;
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_CONSTANT_NAME_LENGTH, &v), 0);
    EXPECT_EQ(v, 8);
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_PANEL_PARENT, &v), 0);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_HEIGHT, &v), 0);
    EXPECT_EQ(v, 300);
    ASSERT_EQ(GetPanelAttribute(panel_, ATTR_WIDTH, &v), 0);
    EXPECT_EQ(v, 400);
    EXPECT_EQ(GetPanelMenuBar(panel_), 0);
}

// ---- rings ---------------------------------------------------------------------------------

TEST_F(Toolkit, RingItemsInsertReplaceDeleteClear) {
    int n = 0, v = 0, len = 0;
    char buf[32];
    ASSERT_EQ(GetNumListItems(panel_, RING_CHOICE, &n), 0);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(GetValueFromIndex(panel_, RING_CHOICE, 1, &v), 0);
    EXPECT_EQ(v, 1) << "values of loaded items are their positions";

    EXPECT_EQ(InsertListItem(panel_, RING_CHOICE, -1, "third", 30), 2);
    EXPECT_EQ(InsertListItem(panel_, RING_CHOICE, 0, "zeroth", -5), 0);
    ASSERT_EQ(GetLabelFromIndex(panel_, RING_CHOICE, 3, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "third");
    ASSERT_EQ(GetLabelLengthFromIndex(panel_, RING_CHOICE, 0, &len), 0);
    EXPECT_EQ(len, 6);
    ASSERT_EQ(SetCtrlVal(panel_, RING_CHOICE, 30), 0);
    ASSERT_EQ(GetCtrlIndex(panel_, RING_CHOICE, &n), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(SetCtrlVal(panel_, RING_CHOICE, 12345), UIE_BAD_VALUE);

    ASSERT_EQ(ReplaceListItem(panel_, RING_CHOICE, 1, "FIRST", 11), 0);
    ASSERT_EQ(GetValueFromIndex(panel_, RING_CHOICE, 1, &v), 0);
    EXPECT_EQ(v, 11);
    EXPECT_EQ(ReplaceListItem(panel_, RING_CHOICE, 9, "x", 0), UIE_BAD_INDEX);
    EXPECT_EQ(GetLabelFromIndex(panel_, RING_CHOICE, -1, buf, sizeof buf), UIE_BAD_INDEX);

    ASSERT_EQ(DeleteListItem(panel_, RING_CHOICE, 1, 2), 0);
    ASSERT_EQ(GetNumListItems(panel_, RING_CHOICE, &n), 0);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(GetLabelFromIndex(panel_, RING_CHOICE, 1, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "third");
    ASSERT_EQ(DeleteListItem(panel_, RING_CHOICE, 0, -1), 0);
    ASSERT_EQ(GetNumListItems(panel_, RING_CHOICE, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetCtrlVal(panel_, RING_CHOICE, &v), UIE_BAD_INDEX) << "an empty ring has no value";
    InsertListItem(panel_, RING_CHOICE, -1, "again", 1);
    ASSERT_EQ(ClearListCtrl(panel_, RING_CHOICE), 0);
    ASSERT_EQ(GetNumListItems(panel_, RING_CHOICE, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(InsertListItem(panel_, NUMR_VALUE, -1, "x", 0), UIE_TYPE_MISMATCH);
}

// ---- trees ---------------------------------------------------------------------------------

TEST_F(Toolkit, TreeIndicesFollowDisplayOrderAcrossLevels) {
    int lan = Tree(VAL_SIBLING, -1, VAL_FIRST, "LAN");
    int conn = Tree(VAL_CHILD, lan, VAL_FIRST, "converter");
    int line1 = Tree(VAL_CHILD, conn, VAL_FIRST, "Type: x");
    int line2 = Tree(VAL_SIBLING, line1, VAL_NEXT, "Status: y");
    int usb = Tree(VAL_SIBLING, lan, VAL_NEXT, "USB");
    int none = Tree(VAL_CHILD, usb, VAL_FIRST, "NONE");
    EXPECT_EQ((std::vector<int>{lan, conn, line1, line2, usb, none}),
              (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // A sibling inserted in the middle shifts everything after it.
    int conn2 = Tree(VAL_SIBLING, conn, VAL_NEXT, "second converter");
    EXPECT_EQ(conn2, 4);
    EXPECT_EQ(Label(5), "USB");
    int first = Tree(VAL_SIBLING, -1, VAL_FIRST, "before all");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(Label(1), "LAN");

    int parent = 99;
    ASSERT_EQ(GetTreeItemParent(panel_, TREE_ITEMS, 1, &parent), 0);
    EXPECT_EQ(parent, -1);
    ASSERT_EQ(GetTreeItemParent(panel_, TREE_ITEMS, 3, &parent), 0); // "Type: x"
    EXPECT_EQ(parent, 2);
    std::vector<int> kids;
    ASSERT_EQ(GetTreeItemChildren(panel_, TREE_ITEMS, 1, &kids), 0);
    EXPECT_EQ(kids, (std::vector<int>{2, 5}));
    ASSERT_EQ(GetTreeItemChildren(panel_, TREE_ITEMS, -1, &kids), 0);
    EXPECT_EQ(kids, (std::vector<int>{0, 1, 6}));
    int n = 0;
    ASSERT_EQ(GetNumListItems(panel_, TREE_ITEMS, &n), 0);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(Tree(VAL_CHILD, 42, VAL_FIRST, "x"), UIE_BAD_INDEX);

    // Deleting an item takes its subtree along.
    ASSERT_EQ(DeleteListItem(panel_, TREE_ITEMS, 2, 1), 0);
    ASSERT_EQ(GetNumListItems(panel_, TREE_ITEMS, &n), 0);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(Label(2), "second converter");

    ASSERT_EQ(DeleteListItem(panel_, TREE_ITEMS, 0, -1), 0);
    ASSERT_EQ(GetNumListItems(panel_, TREE_ITEMS, &n), 0);
    EXPECT_EQ(n, 0) << "DeleteListItem(0, -1) must empty the tree";
    Tree(VAL_SIBLING, -1, VAL_FIRST, "x");
    ASSERT_EQ(ClearListCtrl(panel_, TREE_ITEMS), 0);
    ASSERT_EQ(GetNumListItems(panel_, TREE_ITEMS, &n), 0);
    EXPECT_EQ(n, 0);
}

TEST_F(Toolkit, TreeItemStylesReadBack) {
    int g = Tree(VAL_SIBLING, -1, VAL_FIRST, "group");
    int c = Tree(VAL_CHILD, g, VAL_FIRST, "conn");
    int v = -1;
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_LABEL_BGCOLOR, &v), 0);
    EXPECT_EQ(v, 0xFFFFFF) << "label background defaults to white";
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_TEXT_COLOR, MakeColor(0, 128, 0)),
              0);
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_TEXT_BOLD, 1), 0);
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_TEXT_ITALIC, 1), 0);
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_LABEL_BGCOLOR, 0x123456), 0);
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_SELECTED, 1), 0);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_TEXT_COLOR, &v), 0);
    EXPECT_EQ(v, 0x008000);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_TEXT_BOLD, &v), 0);
    EXPECT_EQ(v, 1);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_TEXT_ITALIC, &v), 0);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_LABEL_BGCOLOR, &v), 0);
    EXPECT_EQ(v, 0x123456);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_SELECTED, &v), 0);
    EXPECT_EQ(v, 1) << "program selection marks must stick";
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_SELECTED, &v), 0);
    EXPECT_EQ(v, 0);
    // Several items can be marked at once (a connection and its lines).
    ASSERT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, g, ATTR_SELECTED, 1), 0);
    ASSERT_EQ(GetTreeItemAttribute(panel_, TREE_ITEMS, c, ATTR_SELECTED, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(SetTreeItemAttribute(panel_, TREE_ITEMS, 7, ATTR_SELECTED, 1), UIE_BAD_INDEX);
}

TEST_F(Toolkit, TreeActiveItemAndUserEvents) {
    ASSERT_EQ(InstallCtrlCallback(panel_, TREE_ITEMS, RecordCtrl, nullptr), 0);
    int g = Tree(VAL_SIBLING, -1, VAL_FIRST, "group");
    int c = Tree(VAL_CHILD, g, VAL_FIRST, "conn");
    int a = 99;
    ASSERT_EQ(GetActiveTreeItem(panel_, TREE_ITEMS, &a), 0);
    EXPECT_EQ(a, -1);
    ASSERT_EQ(SetActiveTreeItem(panel_, TREE_ITEMS, c), 0);
    ASSERT_EQ(GetActiveTreeItem(panel_, TREE_ITEMS, &a), 0);
    EXPECT_EQ(a, c);
    EXPECT_TRUE(g_calls.empty()) << "a programmatic change of the active item must not fire";

    auto *tree = Widget<QTreeWidget>(TREE_ITEMS);
    tree->setCurrentItem(tree->topLevelItem(0)); // as the user's click would
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].event, EVENT_VAL_CHANGED);
    EXPECT_EQ(g_calls[0].d1, TREE_ACTIVE_ITEM_CHANGED);
    ASSERT_EQ(GetActiveTreeItem(panel_, TREE_ITEMS, &a), 0);
    EXPECT_EQ(a, g);

    // A double click arrives after the view is done with the item, so the
    // callback may delete every item.
    InstallCtrlCallback(
        panel_, TREE_ITEMS,
        [](int p, int ctl, int ev, void *, int d1, int d2) {
            g_calls.push_back({p, ctl, ev, d1, d2, nullptr});
            if (ev == EVENT_LEFT_DOUBLE_CLICK)
                ClearListCtrl(p, ctl);
            return 0;
        },
        nullptr);
    g_calls.clear();
    emit tree->itemDoubleClicked(tree->topLevelItem(0)->child(0), 0);
    EXPECT_TRUE(g_calls.empty());
    ProcessSystemEvents();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].event, EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(g_calls[0].d1, c);
    int n = -1;
    ASSERT_EQ(GetNumListItems(panel_, TREE_ITEMS, &n), 0);
    EXPECT_EQ(n, 0);
}

// ---- menus ---------------------------------------------------------------------------------

TEST_F(Toolkit, MenuItemsCallTheirCallbacksAndCheckMarksStayWithTheProgram) {
    int mp = LoadPanel(0, "ToolkitTest.uir", 2);
    ASSERT_GT(mp, 0) << LastLoadError();
    int bar = GetPanelMenuBar(mp);
    ASSERT_GT(bar, 0);
    EXPECT_EQ(MenuBarMenus(bar), std::vector<int>{TEST_MENU_FILE});
    EXPECT_EQ(MenuItems(bar, TEST_MENU_FILE),
              (std::vector<int>{TEST_MENU_FILE_FLAG, TEST_MENU_FILE_SEP, TEST_MENU_FILE_QUIT}));
    detail::MenuBarRec *rec = detail::FindMenuBar(bar);
    ASSERT_TRUE(rec);
    QAction *flag = nullptr, *sep = nullptr;
    for (auto &e : rec->entries) {
        if (e.id == TEST_MENU_FILE_FLAG)
            flag = e.action;
        if (e.id == TEST_MENU_FILE_SEP)
            sep = e.action;
    }
    ASSERT_TRUE(flag && sep);
    EXPECT_TRUE(sep->isSeparator());

    flag->trigger();
    ASSERT_EQ(g_menuCalls.size(), 1u);
    EXPECT_EQ(g_menuCalls[0].bar, bar);
    EXPECT_EQ(g_menuCalls[0].item, TEST_MENU_FILE_FLAG);
    EXPECT_EQ(g_menuCalls[0].panel, mp);
    int checked = -1;
    ASSERT_EQ(GetMenuBarAttribute(bar, TEST_MENU_FILE_FLAG, ATTR_CHECKED, &checked), 0);
    EXPECT_EQ(checked, 0) << "the check mark follows the program, not the click";
    ASSERT_EQ(SetMenuBarAttribute(bar, TEST_MENU_FILE_FLAG, ATTR_CHECKED, 1), 0);
    ASSERT_EQ(GetMenuBarAttribute(bar, TEST_MENU_FILE_FLAG, ATTR_CHECKED, &checked), 0);
    EXPECT_EQ(checked, 1);

    ASSERT_EQ(SetMenuBarAttribute(bar, TEST_MENU_FILE, ATTR_MENU_NAME, "Datei"), 0);
    std::string s;
    ASSERT_EQ(GetMenuBarAttribute(bar, TEST_MENU_FILE, ATTR_MENU_NAME, &s), 0);
    EXPECT_EQ(s, "Datei");
    EXPECT_EQ(GetMenuBarAttribute(bar, 77, ATTR_CHECKED, &checked), UIE_BAD_MENU);

    CallMenuCallback(bar, TEST_MENU_FILE_QUIT);
    ASSERT_EQ(g_menuCalls.size(), 2u);
    EXPECT_EQ(g_menuCalls[1].item, TEST_MENU_FILE_QUIT);
    ASSERT_EQ(DiscardPanel(mp), 0);
    EXPECT_EQ(GetMenuBarAttribute(bar, TEST_MENU_FILE_FLAG, ATTR_CHECKED, &checked), UIE_BAD_MENU)
        << "the menu bar must go with its panel";
}

// ---- what every kind of control answers ------------------------------------------------------

TEST_F(Toolkit, EveryCallNamesTheWrongHandle) {
    using HandleCall = std::function<int(int panel, int control)>;
    int i = 0;
    double d = 0;
    std::string s;
    char buf[8];
    std::vector<int> kids;
    const std::pair<const char *, HandleCall> calls[] = {
        {"SetCtrlVal int", [](int p, int c) { return SetCtrlVal(p, c, 1); }},
        {"SetCtrlVal double", [](int p, int c) { return SetCtrlVal(p, c, 1.0); }},
        {"SetCtrlVal text", [](int p, int c) { return SetCtrlVal(p, c, "x"); }},
        {"GetCtrlVal int", [&](int p, int c) { return GetCtrlVal(p, c, &i); }},
        {"GetCtrlVal double", [&](int p, int c) { return GetCtrlVal(p, c, &d); }},
        {"GetCtrlVal text", [&](int p, int c) { return GetCtrlVal(p, c, buf, sizeof buf); }},
        {"SetCtrlAttribute int",
         [](int p, int c) { return SetCtrlAttribute(p, c, ATTR_DIMMED, 0); }},
        {"SetCtrlAttribute double",
         [](int p, int c) { return SetCtrlAttribute(p, c, ATTR_MAX_VALUE, 1.0); }},
        {"SetCtrlAttribute text",
         [](int p, int c) { return SetCtrlAttribute(p, c, ATTR_LABEL_TEXT, "x"); }},
        {"GetCtrlAttribute int",
         [&](int p, int c) { return GetCtrlAttribute(p, c, ATTR_DIMMED, &i); }},
        {"GetCtrlAttribute double",
         [&](int p, int c) { return GetCtrlAttribute(p, c, ATTR_MAX_VALUE, &d); }},
        {"GetCtrlAttribute text",
         [&](int p, int c) { return GetCtrlAttribute(p, c, ATTR_LABEL_TEXT, &s); }},
        {"InstallCtrlCallback",
         [](int p, int c) { return InstallCtrlCallback(p, c, nullptr, nullptr); }},
        {"SetCtrlUserData",
         [](int p, int c) { return SetCtrlUserData(p, c, "t", nullptr, nullptr); }},
        {"CallCtrlCallback",
         [](int p, int c) { return CallCtrlCallback(p, c, EVENT_COMMIT, 0, 0); }},
        {"InsertListItem", [](int p, int c) { return InsertListItem(p, c, -1, "x", 0); }},
        {"ReplaceListItem", [](int p, int c) { return ReplaceListItem(p, c, 0, "x", 0); }},
        {"DeleteListItem", [](int p, int c) { return DeleteListItem(p, c, 0, -1); }},
        {"ClearListCtrl", [](int p, int c) { return ClearListCtrl(p, c); }},
        {"GetNumListItems", [&](int p, int c) { return GetNumListItems(p, c, &i); }},
        {"GetLabelFromIndex",
         [&](int p, int c) { return GetLabelFromIndex(p, c, 0, buf, sizeof buf); }},
        {"GetLabelLengthFromIndex",
         [&](int p, int c) { return GetLabelLengthFromIndex(p, c, 0, &i); }},
        {"GetValueFromIndex", [&](int p, int c) { return GetValueFromIndex(p, c, 0, &i); }},
        {"GetCtrlIndex", [&](int p, int c) { return GetCtrlIndex(p, c, &i); }},
        {"SetCtrlIndex", [](int p, int c) { return SetCtrlIndex(p, c, 0); }},
        {"InsertTreeItem",
         [](int p, int c) { return InsertTreeItem(p, c, VAL_CHILD, -1, VAL_LAST, "x"); }},
        {"SetTreeItemAttribute",
         [](int p, int c) { return SetTreeItemAttribute(p, c, 0, ATTR_SELECTED, 1); }},
        {"GetTreeItemAttribute",
         [&](int p, int c) { return GetTreeItemAttribute(p, c, 0, ATTR_SELECTED, &i); }},
        {"GetTreeItemLabel", [&](int p, int c) { return GetTreeItemLabel(p, c, 0, &s); }},
        {"GetTreeItemParent", [&](int p, int c) { return GetTreeItemParent(p, c, 0, &i); }},
        {"GetActiveTreeItem", [&](int p, int c) { return GetActiveTreeItem(p, c, &i); }},
        {"SetActiveTreeItem", [](int p, int c) { return SetActiveTreeItem(p, c, -1); }},
        {"GetTreeItemChildren", [&](int p, int c) { return GetTreeItemChildren(p, c, -1, &kids); }},
    };
    for (const auto &[name, call] : calls) {
        EXPECT_EQ(call(panel_ + 1000, TREE_ITEMS), UIE_BAD_PANEL) << name;
        EXPECT_EQ(call(panel_, 99), UIE_BAD_CONTROL) << name;
    }
}

TEST_F(Toolkit, EveryKindAnswersTheCommonAttributes) {
    // The test panel holds one control of each kind, so the rows below
    // cover every kind the run-time knows.
    std::vector<int> styles;
    for (int ctrl : PanelControls(panel_)) {
        int style = 0;
        ASSERT_EQ(GetCtrlAttribute(panel_, ctrl, ATTR_CTRL_STYLE, &style), 0);
        styles.push_back(style);
    }
    for (const detail::Kind *k : detail::AllKinds())
        EXPECT_NE(std::find(styles.begin(), styles.end(), k->style), styles.end())
            << "no control of kind " << k->name << " in the test panel";

    const std::pair<int, int> attrs[] = {{ATTR_DIMMED, 1},
                                         {ATTR_VISIBLE, 0},
                                         {ATTR_CTRL_MODE, 0},
                                         {ATTR_TEXT_COLOR, 0x123456},
                                         {ATTR_TEXT_BGCOLOR, 0x654321},
                                         {ATTR_FILL_COLOR, 0x00FF00},
                                         {ATTR_TEXT_BOLD, 1},
                                         {ATTR_TEXT_ITALIC, 1},
                                         {ATTR_TOP, 5},
                                         {ATTR_LEFT, 7},
                                         {ATTR_WIDTH, 50},
                                         {ATTR_HEIGHT, 20}};
    for (int ctrl : PanelControls(panel_))
        for (auto [attr, value] : attrs) {
            int got = -1;
            EXPECT_EQ(SetCtrlAttribute(panel_, ctrl, attr, value), 0)
                << CtrlConstantName(panel_, ctrl) << " attribute " << attr;
            EXPECT_EQ(GetCtrlAttribute(panel_, ctrl, attr, &got), 0);
            EXPECT_EQ(got, value) << CtrlConstantName(panel_, ctrl) << " attribute " << attr;
        }
}

TEST_F(Toolkit, WhatEachKindHoldsAsValue) {
    constexpr int NO = UIE_TYPE_MISMATCH;
    struct Row {
        int ctrl;
        int setInt, getText, setText; // results; "first" is a label of the ring
    };
    const Row rows[] = {
        {TREE_ITEMS, NO, NO, NO}, {RING_CHOICE, 0, 0, 0}, {NUMR_VALUE, 0, 0, NO},
        {STRG_TEXT, 0, 0, 0},     {TXTM_NOTE, 0, 0, 0},   {RBTN_OPTION, 0, NO, NO},
        {PICT_GO, NO, NO, NO},    {PRBR_BAR, 0, NO, NO},  {DECO_BOX, NO, NO, NO},
    };
    for (const Row &r : rows) {
        std::string name = CtrlConstantName(panel_, r.ctrl);
        int v = -1;
        char buf[32];
        EXPECT_EQ(SetCtrlVal(panel_, r.ctrl, 1), r.setInt) << name;
        EXPECT_EQ(GetCtrlVal(panel_, r.ctrl, &v), r.setInt) << name;
        if (r.setInt == 0) {
            EXPECT_EQ(v, 1) << name << " did not keep the int it was given";
        }
        EXPECT_EQ(GetCtrlVal(panel_, r.ctrl, buf, sizeof buf), r.getText) << name;
        EXPECT_EQ(SetCtrlVal(panel_, r.ctrl, "first"), r.setText) << name;
    }
}

TEST_F(Toolkit, OutOfRangeNumbersAreRefusedOrSaturated) {
    EXPECT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_TOP, std::nan("")), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlAttribute(panel_, STRG_TEXT, ATTR_WIDTH, 1e300), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlAttribute(panel_, NUMR_VALUE, ATTR_MAX_VALUE, std::nan("")), UIE_BAD_VALUE);

    int v = 0;
    ASSERT_EQ(SetCtrlAttribute(panel_, PRBR_BAR, ATTR_MAX_VALUE, 1e300), 0);
    ASSERT_EQ(GetCtrlAttribute(panel_, PRBR_BAR, ATTR_MAX_VALUE, &v), 0);
    EXPECT_EQ(v, INT_MAX);
    ASSERT_EQ(SetCtrlVal(panel_, STRG_TEXT, "-99999999999"), 0);
    ASSERT_EQ(GetCtrlVal(panel_, STRG_TEXT, &v), 0);
    EXPECT_EQ(v, INT_MIN);
}

} // namespace
