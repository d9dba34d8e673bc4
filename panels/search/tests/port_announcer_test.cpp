// Ports plugged in and pulled out of a simulated lab while the search panel
// is shown: the panel says so within a second, names the ports, never
// searches by itself, and a selected port that is gone cannot be accepted
// or tested.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "connection_tree.h"
#include "panel_ids.h"
#include "panels_setup.h"
#include "port_announcer.h"
#include "sim/lab.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

using Clock = std::chrono::steady_clock;

class PortsComeAndGo : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "panels_ports_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
        tk::SetPopupCapture(true);
    }
    void SetUp() override {
        std::string error;
        lab_ = corvinsim::Lab::Start("[lab]\nLanTargets=127.255.255.255:50023\n"
                                     "[sensor a]\nKind=USB\nCom=34\nSerial=4711\n"
                                     "[sensor late]\nKind=USB\nCom=36\nPlug=86400000\n",
                                     "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
        RegisterPanels(ctx_);
        search_ = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        con_ = tk::LoadPanel(0, kPanelResource, CON_PNL);
        ASSERT_GT(search_, 0) << tk::LastLoadError();
        ASSERT_GT(con_, 0) << tk::LastLoadError();
        ctx_.panels.search = search_;
        ctx_.panels.con = con_;
        ctx_.sharedLink = &sharedLink_;
        ctx_.skipBaudSearch = true; // listing is all these tests need
        StartPanels(ctx_, nullptr);
        tk::TakeCapturedPopups();
    }
    void TearDown() override {
        StopPanels(ctx_, nullptr);
        tk::DiscardPanel(con_);
        tk::DiscardPanel(search_);
        unsetenv("KORALINK_PORTMAP");
    }

    int Attr(int panel, int control, int attr) {
        int value = -1;
        tk::GetCtrlAttribute(panel, control, attr, &value);
        return value;
    }
    std::string Note() {
        if (Attr(search_, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_VISIBLE) != 1)
            return "";
        char text[256] = "";
        tk::GetCtrlVal(search_, SEARCH_PNL_TXTM_PORTS_CHANGED, text, sizeof text);
        return text;
    }
    // Runs the event loop until pred holds; the milliseconds that took, or
    // -1 after 5 s.
    template <class Pred> double Await(Pred pred) {
        auto start = Clock::now();
        while (!pred()) {
            if (Clock::now() - start > std::chrono::seconds(5))
                return -1;
            tk::ProcessSystemEvents();
            PortAnnouncerUpdate();
        }
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    void Plug(int com, bool present) {
        std::string error;
        ASSERT_TRUE(lab_->SetPortPresent(com, present, &error)) << error;
    }
    int TreeItems() {
        int count = 0;
        tk::GetNumListItems(search_, SEARCH_PNL_TREE_CONNECTIONS, &count);
        return count;
    }

    std::unique_ptr<corvinsim::Lab> lab_;
    int search_ = 0, con_ = 0;
    PanelContext ctx_;
    LinkContext sharedLink_ = {};
};

TEST_F(PortsComeAndGo, ThePanelNamesThePortsAndNeverSearchesItself) {
    SearchAgain(ctx_);
    int items = TreeItems();
    ASSERT_GT(items, 0);
    EXPECT_EQ(Note(), "") << "nothing changed yet";

    Plug(36, true);
    double ms = Await([&] { return Note().find("+COM36") != std::string::npos; });
    EXPECT_GE(ms, 0) << "a port plugged in was not announced; note: " << Note();
    std::printf("[ figures ] plugged-in port announced after %.0f ms\n", ms);
    EXPECT_EQ(Note().rfind("Connections changed", 0), 0u) << Note();
    EXPECT_EQ(TreeItems(), items) << "the tree must stay as the last search left it";

    Plug(34, false);
    EXPECT_GE(Await([&] { return Note().find("-COM34") != std::string::npos; }), 0) << Note();

    SearchAgain(ctx_);
    EXPECT_EQ(Note(), "") << "a search brings the tree up to date";
    Plug(36, false);
    Plug(34, true);
    EXPECT_GE(Await([&] { return Note() == "Connections changed — search again: +COM34, -COM36"; }),
              0)
        << Note();
}

TEST_F(PortsComeAndGo, ASelectedPortThatIsGoneCannotBeAcceptedOrTested) {
    SearchAgain(ctx_);
    ConnectionTree *tree = ctx_.tree;
    int position = 0;
    for (int i = 1; i <= ListNumItems(tree->entries); ++i) {
        ConnectionEntry entry;
        ListGetItem(tree->entries, &entry, i);
        if (entry.isSerial && entry.record.comNumber == 34)
            position = i;
    }
    ASSERT_GT(position, 0) << "COM34 is not in the tree";
    tree->selectedPosition = position;
    CopyText(tree->selectedText, "COM34");
    OnConnectionSelected(ctx_);
    ASSERT_EQ(Attr(search_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED), 0);

    Plug(34, false);
    EXPECT_GE(Await([&] {
                  return Attr(search_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED) == 1 &&
                         Attr(con_, CON_PNL_PICT_SEARCH_CALL, tk::ATTR_DIMMED) == 1;
              }),
              0)
        << "Accept and Test must be dimmed while the selected port is gone";

    Plug(34, true);
    EXPECT_GE(Await([&] {
                  return Attr(search_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED) == 0 &&
                         Attr(con_, CON_PNL_PICT_SEARCH_CALL, tk::ATTR_DIMMED) == 0;
              }),
              0)
        << "the port is back: Accept and Test are usable again";
}

} // namespace
