// The connect panel with its history: start-up, ring choices, remembering,
// clearing, transfer-mode buttons and the history written at shutdown.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "connect_panel.h"
#include "panels/connect_fields.h"
#include "panels_fixture.h"

namespace {

using Items = std::vector<std::string>;

const char kThreeEntries[] = "[Connect History]\nNumber of entries = 3\n"
                             "Entry #1: Type = 1\nEntry #1: ID = \"usb\"\n"
                             "Entry #1: Port number = 34\nEntry #1: Baudrate = 1\n"
                             "Entry #2: Type = 2\nEntry #2: ID = \"eth\"\n"
                             "Entry #2: Remote server = \"192.168.0.20\"\n"
                             "Entry #2: Remote port number = 5000\n"
                             "Entry #3: Type = 3\nEntry #3: ID = \"other\"\n"
                             "Entry #3: Port number = 2\nEntry #3: Baudrate = 4\n";

using ConnectPanel = PanelsFixture;

TEST_F(ConnectPanel, StartUpAppliesTheNewestEntryAndListsTheHistory) {
    Start(kThreeEntries);
    EXPECT_EQ(Value(CON_PNL_RBTN_USB_COM), 1);
    EXPECT_EQ(Value(CON_PNL_NUMR_COM_PORTNUM), 34);
    EXPECT_EQ(Value(CON_PNL_RING_BAUDRATE), 1);
    EXPECT_EQ(Dimmed(CON_PNL_STRG_REMOTE_SERVER), 1);
    EXPECT_EQ(Ring(), (Items{"1=COM34:19200baud [usb]", "2=192.168.0.20:5000 [eth]",
                             "3=COM2:115200baud [other]"}));
}

TEST_F(ConnectPanel, ChoosingARingItemMakesItTheFirstAndTheCurrentState) {
    Start(kThreeEntries);
    tk::SetCtrlVal(Con(), CON_PNL_RING_HISTORY, 2);
    Commit(CON_PNL_RING_HISTORY);
    EXPECT_EQ(Value(CON_PNL_RBTN_TCPIP_CLIENT), 1);
    EXPECT_EQ(Value(CON_PNL_RBTN_USB_COM), 0);
    EXPECT_EQ(Text(CON_PNL_STRG_REMOTE_SERVER), "192.168.0.20");
    EXPECT_EQ(Value(CON_PNL_NUMR_REMOTE_PORT), 5000);
    EXPECT_EQ(Dimmed(CON_PNL_PICB_CALL_ETHCFG), 0);
    EXPECT_EQ(Dimmed(CON_PNL_PICB_CALL_SERIALCFG), 1);
    EXPECT_EQ(Ring(), (Items{"1=192.168.0.20:5000 [eth]", "2=COM34:19200baud [usb]",
                             "3=COM2:115200baud [other]"}));
}

TEST_F(ConnectPanel, RememberingKeepsTenAndClearingEmptiesListAndRing) {
    Start("");
    EXPECT_TRUE(Ring().empty()) << "no history: the panel keeps its designed values";
    tk::SetCtrlVal(Con(), CON_PNL_RBTN_OTHER_COM, 1);
    tk::SetCtrlVal(Con(), CON_PNL_RING_BAUDRATE, KORALINK_BAUD_115200);
    for (int com = 1; com <= 11; ++com) {
        tk::SetCtrlVal(Con(), CON_PNL_NUMR_COM_PORTNUM, com);
        RememberConnection(ctx_);
    }
    FillHistoryRing(ctx_);
    Items ring = Ring();
    ASSERT_EQ(ring.size(), 10u);
    EXPECT_EQ(ring.front(), "1=COM11:115200baud [other (digital serial) ...]");
    EXPECT_EQ(ring.back(), "10=COM2:115200baud [other (digital serial) ...]");

    Commit(CON_PNL_PICB_CLEAR_HISTORY);
    EXPECT_TRUE(Ring().empty());
    std::string file = Stop();
    EXPECT_NE(file.find("Number of entries = 0"), std::string::npos) << file;
    EXPECT_EQ(file.find("Entry #"), std::string::npos) << file;
}

TEST_F(ConnectPanel, ModeButtonsAreExclusiveAndEnableTheirFields) {
    Start("");
    struct Case {
        int button, mode;
    } cases[] = {
        {CON_PNL_RBTN_TCPIP_CLIENT, 2}, {CON_PNL_RBTN_OTHER_COM, 3}, {CON_PNL_RBTN_USB_COM, 1}};
    for (const Case &c : cases) {
        tk::SetCtrlVal(Con(), CON_PNL_RBTN_USB_COM, 1); // a stale mark the commit must clear
        tk::SetCtrlVal(Con(), c.button, 1);
        Commit(c.button);
        ConnectionSettings s;
        ASSERT_EQ(ReadConnectPanel(ctx_.panels, &s), 0);
        EXPECT_EQ(s.mode, c.mode);
        EXPECT_EQ(Value(CON_PNL_RBTN_USB_COM) + Value(CON_PNL_RBTN_TCPIP_CLIENT) +
                      Value(CON_PNL_RBTN_OTHER_COM),
                  1);
        EXPECT_EQ(Dimmed(CON_PNL_RING_BAUDRATE), c.mode == 2 ? 1 : 0);
        EXPECT_EQ(Dimmed(CON_PNL_NUMR_REMOTE_PORT), c.mode == 2 ? 0 : 1);
    }
}

TEST_F(ConnectPanel, ClosingItsWindowReturnsToTheSearchPanel) {
    Start("");
    tk::HidePanel(ctx_.panels.search);
    tk::DisplayPanel(Con());
    tk::CallPanelCallback(Con(), tk::EVENT_CLOSE);
    int con = -1, search = -1;
    tk::GetPanelAttribute(Con(), tk::ATTR_VISIBLE, &con);
    tk::GetPanelAttribute(ctx_.panels.search, tk::ATTR_VISIBLE, &search);
    EXPECT_EQ(con, 0);
    EXPECT_EQ(search, 1) << "no window left to see or to end the program with";
}

TEST_F(ConnectPanel, ShutdownWritesTheChosenOrderBack) {
    Start(kThreeEntries);
    tk::SetCtrlVal(Con(), CON_PNL_RING_HISTORY, 3);
    Commit(CON_PNL_RING_HISTORY);
    std::string file = Stop();
    for (const char *line :
         {"Number of entries = 3", "Entry #1: Type = 3", "Entry #1: Port number = 2",
          "Entry #2: Type = 1", "Entry #3: Remote server = \"192.168.0.20\""})
        EXPECT_NE(file.find(line), std::string::npos) << line << " missing in\n" << file;
}

TEST_F(ConnectPanel, MissingFallbackFileIsAFirstRunButAnUnreadableOneIsReported) {
    Start("");
    char dir[] = "/tmp/fallbackXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string file = std::string(dir) + "/comm_settings";
    FILE *f = std::fopen(file.c_str(), "w");
    std::fputs(kThreeEntries, f);
    std::fclose(f);
    struct Case {
        std::string path;
        int result;
        size_t popups;
    } cases[] = {{std::string(dir) + "/missing", -1, 0}, {dir, -1, 1}, {file, 0, 0}};
    for (const Case &c : cases) {
        tk::TakeCapturedPopups();
        EXPECT_EQ(LoadConnectionHistory(ctx_, nullptr, c.path.c_str()), c.result) << c.path;
        auto popups = tk::TakeCapturedPopups();
        ASSERT_EQ(popups.size(), c.popups) << c.path;
        if (c.popups) {
            EXPECT_EQ(popups[0].message, "Error trying to read history of \nlast connections");
        }
    }
    EXPECT_EQ(ctx_.history.Count(), 3);
    std::remove(file.c_str());
    rmdir(dir);
}

} // namespace
