// What the panels' Designer files cannot say about themselves: that each one
// is built under its panel number, that control ids are creation positions,
// how the run-time reads rings and message texts out of them, and the
// values that once were wrong in them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel_ids.h"
#include "toolkit/ui.h"

namespace {

using namespace tk;

constexpr const char *kUir = "Connection_Communication.uir";

class PanelCatalogue : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "panel_catalogue_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitUIRuntime(1, argv), 0);
        SetPopupCapture(true);
    }
    static int Load(int number) {
        int h = LoadPanel(0, kUir, number);
        EXPECT_GT(h, 0) << "panel " << number << " did not load: " << LastLoadError();
        return h;
    }
    static std::vector<std::string> RingLabels(int panel, int control) {
        std::vector<std::string> labels;
        int n = 0;
        EXPECT_EQ(GetNumListItems(panel, control, &n), 0);
        for (int i = 0; i < n; ++i) {
            char buf[256];
            EXPECT_EQ(GetLabelFromIndex(panel, control, i, buf, sizeof buf), 0);
            int value = -1;
            EXPECT_EQ(GetValueFromIndex(panel, control, i, &value), 0);
            EXPECT_EQ(value, i) << "ring values are list positions";
            labels.push_back(buf);
        }
        return labels;
    }
};

TEST_F(PanelCatalogue, EveryPanelLoadsUnderItsNumberWithIdsInCreationOrder) {
    struct Row {
        int number;
        const char *name;
        int controls;
    };
    // The search panel's 14th control, TXTM_PORTS_CHANGED, is the program's
    // own addition: the note about ports that came or went.
    for (const Row &r : {Row{SEARCH_PNL, "SEARCH_PNL", 14}, Row{CON_PNL, "CON_PNL", 21},
                         Row{ETHCFG_PNL, "ETHCFG_PNL", 56}, Row{SERCFG_PNL, "SERCFG_PNL", 10}}) {
        SCOPED_TRACE(r.name);
        int p = Load(r.number);
        std::string name;
        ASSERT_EQ(GetPanelAttribute(p, ATTR_CONSTANT_NAME, &name), 0);
        EXPECT_EQ(name, r.name);
        std::vector<int> expected;
        for (int id = 1; id <= r.controls; ++id)
            expected.push_back(id);
        EXPECT_EQ(PanelControls(p), expected);
        DiscardPanel(p);
    }
    EXPECT_EQ(LoadPanel(0, kUir, 5), UIE_RESOURCE);
    EXPECT_EQ(LoadPanel(0, "Other.uir", CON_PNL), UIE_RESOURCE);
}

TEST_F(PanelCatalogue, RingsGivePositionsAndMessagesKeepTheirBackslashN) {
    int con = Load(CON_PNL);
    // Choosing "115200" gives the position 4, not the rate.
    ASSERT_EQ(SetCtrlVal(con, CON_PNL_RING_BAUDRATE, "115200"), 0);
    int v = 0;
    ASSERT_EQ(GetCtrlVal(con, CON_PNL_RING_BAUDRATE, &v), 0);
    EXPECT_EQ(v, 4);
    EXPECT_TRUE(RingLabels(con, CON_PNL_RING_HISTORY).empty());
    DiscardPanel(con);

    int search = Load(SEARCH_PNL);
    std::vector<std::string> messages = RingLabels(search, SEARCH_PNL_LUI_CONNECTION);
    // 19 and 20, "Connected to COM" and "Connected to TCP-server", are the
    // program's own additions (the end after an accept).
    ASSERT_EQ(messages.size(), 21u);
    EXPECT_EQ(messages[5], "Error trying to read history of \\nlast connections");
    DiscardPanel(search);
}

TEST_F(PanelCatalogue, ConverterRatesMatchTheModules) {
    // Index 9 is the modules' 28800 baud. An older label read "22800", a rate
    // no module has, and a module at 28800 was then shown and written back at
    // 115200, cutting off the sensor behind it.
    int p = Load(ETHCFG_PNL);
    EXPECT_EQ(
        RingLabels(p, ETHCFG_PNL_RING_BAUDRATE),
        (std::vector<std::string>{"300", "600", "1200", "1800", "2400", "4800", "9600", "14400",
                                  "19200", "28800", "38400", "57600", "115200", "230400"}));
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, MenuFlagsCarryCheckMarksTheProgramSets) {
    int p = Load(SEARCH_PNL);
    int bar = GetPanelMenuBar(p);
    ASSERT_GT(bar, 0);
    for (int item : {CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD,
                     CON_MENU_SETTINGS_SEARCH_ALL_BAUD}) {
        int checked = -1;
        ASSERT_EQ(GetMenuBarAttribute(bar, item, ATTR_CHECKED, &checked), 0);
        EXPECT_EQ(checked, 0);
        ASSERT_EQ(SetMenuBarAttribute(bar, item, ATTR_CHECKED, 1), 0);
        ASSERT_EQ(GetMenuBarAttribute(bar, item, ATTR_CHECKED, &checked), 0);
        EXPECT_EQ(checked, 1);
    }
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, EveryCallbackNameIsReportedWhenUnregistered) {
    // Nothing is registered in this test program: every name in the data
    // must show up as unresolved rather than vanish silently.
    int p = Load(CON_PNL);
    bool found = false;
    for (const std::string &u : UnresolvedCallbacks())
        if (u == "CON_PNL.RING_HISTORY: CC_RING_HISTORY")
            found = true;
    EXPECT_TRUE(found);
    DiscardPanel(p);
}

} // namespace
