// The serial converter dialog on the real panels against a simulated sensor
// on a USB serial adapter: which ports open it, the rate change and what the
// next search finds, and the refusals.
#include "dialog_fixture.h"

#include "connect_panel.h"
#include "serial_dialog.h"

namespace {

constexpr const char *kSensorLab = "[sensor usb]\nKind=USB\nCom=41\nSerial=41\n"
                                   "Version=CT-9 test probe v1.2\nBaud=115200\n";

class SerialDialog : public DialogTest {
  protected:
    int D() const { return panels_.sercfg; }
    // The connect panel on a serial line, as selecting a port leaves it.
    void ConnectPanelOn(int mode, int com, int code) {
        tk::SetCtrlVal(panels_.con, CON_PNL_RBTN_USB_COM, mode == TRANSFER_USB_COM ? 1 : 0);
        tk::SetCtrlVal(panels_.con, CON_PNL_RBTN_TCPIP_CLIENT, mode == TRANSFER_TCPIP ? 1 : 0);
        tk::SetCtrlVal(panels_.con, CON_PNL_RBTN_OTHER_COM, mode == TRANSFER_OTHER_COM ? 1 : 0);
        tk::SetCtrlVal(panels_.con, CON_PNL_NUMR_COM_PORTNUM, com);
        tk::SetCtrlVal(panels_.con, CON_PNL_RING_BAUDRATE, code);
    }
    void Open() { Commit(panels_.con, CON_PNL_PICB_CALL_SERIALCFG); }
    // The shared link as an accepted connection on COM com leaves it; only
    // the fields the in-use test reads.
    void AcceptedOn(int com) {
        sharedLink_.isOpen = 1;
        sharedLink_.infoKind = 0;
        sharedLink_.port = com;
    }
    void TearDown() override {
        std::memset(&sharedLink_, 0, sizeof sharedLink_);
        DialogTest::TearDown();
    }
    const ConnectionEntry *PortEntry(int com) {
        int count = ListNumItems(ctx_.results);
        for (int n = 1; n <= count; ++n)
            if (Entry(n)->isSerial && Entry(n)->record.comNumber == com)
                return Entry(n);
        return nullptr;
    }
    void SearchAndOpen() {
        StartLab(kSensorLab);
        SearchAgain(ctx_);
        ASSERT_NE(PortEntry(41), nullptr);
        ConnectPanelOn(TRANSFER_USB_COM, 41, KORALINK_BAUD_115200);
        tk::HidePanel(panels_.search);
        tk::DisplayPanel(panels_.con);
        Open();
        ASSERT_EQ(Visible(D()), 1) << Text(panels_.con, CON_PNL_STRG_COMM_STATUS);
    }
};

} // namespace

TEST_F(SerialDialog, OnlyAPortOfTheLastSearchOpensTheDialog) {
    ConnectPanelOn(TRANSFER_USB_COM, 41, KORALINK_BAUD_115200);
    Open();
    auto popups = tk::TakeCapturedPopups();
    ASSERT_EQ(popups.size(), 1u) << "before any search every port is unknown";
    EXPECT_EQ(popups[0].title, "Error");
    EXPECT_EQ(popups[0].message, "Unknown device");

    StartLab(kSensorLab);
    SearchAgain(ctx_);
    for (int com : {40, 42}) {
        ConnectPanelOn(TRANSFER_USB_COM, com, KORALINK_BAUD_115200);
        Open();
        EXPECT_EQ(tk::TakeCapturedPopups().size(), 1u) << "COM" << com;
        EXPECT_EQ(Visible(D()), 0);
    }
}

TEST_F(SerialDialog, OpeningIdentifiesTheSensor) {
    SearchAndOpen();
    EXPECT_EQ(Visible(panels_.con), 0);
    EXPECT_EQ(Val(D(), SERCFG_PNL_NUMR_COM_PORT_NO), 41);
    EXPECT_EQ(Attr(D(), SERCFG_PNL_NUMR_COM_PORT_NO, tk::ATTR_CTRL_MODE), 0)
        << "the port a write goes to is shown, not typed";
    EXPECT_EQ(Text(D(), SERCFG_PNL_STRG_DEVICE_INFO), "CT-9 test probe v1.2");
    EXPECT_EQ(Val(D(), SERCFG_PNL_RING_BAUDRATE), KORALINK_BAUD_115200);
    EXPECT_EQ(Status(D(), SERCFG_PNL_STRG_COMM_STATUS),
              std::make_pair(std::string("Found sensor #00041: CT-9 test probe v1.2"), 0));
    EXPECT_FALSE(ctx_.busy);
}

TEST_F(SerialDialog, OpeningTheAcceptedPortIsRefused) {
    StartLab(kSensorLab);
    SearchAgain(ctx_);
    ConnectPanelOn(TRANSFER_USB_COM, 41, KORALINK_BAUD_115200);
    tk::DisplayPanel(panels_.con);
    AcceptedOn(41);
    Open();
    EXPECT_EQ(Visible(D()), 0);
    EXPECT_EQ(Status(panels_.con, CON_PNL_STRG_COMM_STATUS),
              std::make_pair(std::string("Connection is already in use!"), -1));
}

TEST_F(SerialDialog, ANewRateIsWhereTheNextSearchFindsTheSensor) {
    SearchAndOpen();
    // The second change starts from the rate the first one set.
    for (int code : {KORALINK_BAUD_19200, KORALINK_BAUD_57600}) {
        tk::SetCtrlVal(D(), SERCFG_PNL_RING_BAUDRATE, code);
        Commit(D(), SERCFG_PNL_PICT_WRITE_SERIAL_DEV);
        EXPECT_EQ(Status(D(), SERCFG_PNL_STRG_COMM_STATUS),
                  std::make_pair(std::string("Found sensor #00041: CT-9 test probe v1.2"), 0))
            << code;
        EXPECT_EQ(Val(panels_.con, CON_PNL_RING_BAUDRATE), code);
    }
    EXPECT_TRUE(ctx_.devicesChanged);
    EXPECT_FALSE(ctx_.busy);

    Commit(D(), SERCFG_PNL_PICT_SERIAL_CNF_QUIT);
    EXPECT_EQ(Visible(D()), 0);
    EXPECT_EQ(Visible(panels_.search), 1);
    const ConnectionEntry *port = PortEntry(41);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->identified, 1);
    EXPECT_EQ(port->baudRate, 57600);
}

TEST_F(SerialDialog, RefusedOrUnansweredChangesLeaveTheStatusRed) {
    SearchAndOpen();
    struct Case {
        const char *what;
        int mode, code; // the connect panel's line
        bool accepted;  // the port is the accepted connection
        std::string text;
        bool exact; // text is the whole status, else its start
    } cases[] = {
        {"accepted port", TRANSFER_USB_COM, KORALINK_BAUD_115200, true,
         "Connection is already in use!", true},
        {"TCP line", TRANSFER_TCPIP, KORALINK_BAUD_115200, false, "Error: ", true},
        // At the wrong rate the sensor never hears the change.
        {"no answer", TRANSFER_USB_COM, KORALINK_BAUD_9600, false, "Error: ", false},
    };
    for (const Case &c : cases) {
        ConnectPanelOn(c.mode, 41, c.code);
        if (c.accepted)
            AcceptedOn(41);
        ctx_.devicesChanged = false;
        tk::SetCtrlVal(D(), SERCFG_PNL_RING_BAUDRATE, KORALINK_BAUD_57600);
        Commit(D(), SERCFG_PNL_PICT_WRITE_SERIAL_DEV);
        auto status = Status(D(), SERCFG_PNL_STRG_COMM_STATUS);
        EXPECT_EQ(status.second, -1) << c.what;
        if (c.exact) {
            EXPECT_EQ(status.first, c.text) << c.what;
        } else {
            EXPECT_TRUE(status.first.size() > c.text.size() && status.first.rfind(c.text, 0) == 0)
                << c.what << ": " << status.first;
        }
        EXPECT_TRUE(ctx_.devicesChanged) << c.what << ": any write counts";
        EXPECT_EQ(Val(panels_.con, CON_PNL_RING_BAUDRATE), c.code) << c.what;
        sharedLink_.isOpen = 0;
    }
    Commit(D(), SERCFG_PNL_PICT_SERIAL_CNF_QUIT);
    EXPECT_EQ(Visible(panels_.search), 1) << "a failed change still searches on quit";
    const ConnectionEntry *port = PortEntry(41);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->baudRate, 115200) << "no change reached the sensor";
}

TEST_F(SerialDialog, ClosingGoesBackWithoutSearch) {
    SearchAndOpen();
    ctx_.devicesChanged = true;
    int entries = ListNumItems(ctx_.results);
    tk::CallPanelCallback(D(), tk::EVENT_CLOSE);
    EXPECT_EQ(Visible(D()), 0);
    EXPECT_EQ(Visible(panels_.con), 1);
    EXPECT_NE(ctx_.editedConverter.comNumber, 0) << "closing clears nothing";
    EXPECT_EQ(ListNumItems(ctx_.results), entries);
}

// The in-use check compares ports: an accepted line on one port leaves Test
// and a rate change free on every other port, and refuses its own.
TEST_F(SerialDialog, AnAcceptedLineOnAnotherPortBlocksNeitherTestNorARateChange) {
    SearchAndOpen();
    AcceptedOn(40);
    tk::SetCtrlVal(D(), SERCFG_PNL_RING_BAUDRATE, KORALINK_BAUD_38400);
    Commit(D(), SERCFG_PNL_PICT_WRITE_SERIAL_DEV);
    const auto found = std::make_pair(std::string("Found sensor #00041: CT-9 test probe v1.2"), 0);
    EXPECT_EQ(Status(D(), SERCFG_PNL_STRG_COMM_STATUS), found) << "rate change on COM41";

    struct Case {
        int com;
        std::pair<std::string, int> status;
    } cases[] = {
        {41, found},
        {40, {"Connection is already in use!", -1}},
    };
    for (const Case &c : cases) {
        ConnectPanelOn(TRANSFER_USB_COM, c.com, KORALINK_BAUD_38400);
        Commit(panels_.con, CON_PNL_PICT_SEARCH_CALL);
        EXPECT_EQ(Status(panels_.con, CON_PNL_STRG_COMM_STATUS), c.status)
            << "Test on COM" << c.com;
    }
}

// A rate above 115200: a warning first, then the search after the dialog
// still finds the sensor there; later searches only with all rates on.
TEST_F(SerialDialog, ARateAboveTheUsualOnesIsWarnedAndFoundByTheNextSearch) {
    SearchAndOpen();
    tk::SetCtrlVal(D(), SERCFG_PNL_RING_BAUDRATE, KORALINK_BAUD_230400);
    Commit(D(), SERCFG_PNL_PICT_WRITE_SERIAL_DEV);
    auto popups = tk::TakeCapturedPopups();
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].title, "Warning");
    EXPECT_EQ(Status(D(), SERCFG_PNL_STRG_COMM_STATUS).second, 0);

    Commit(D(), SERCFG_PNL_PICT_SERIAL_CNF_QUIT);
    struct Case {
        const char *what;
        bool allRates;
        int baud; // 0: not identified
    } cases[] = {
        {"the search after the change", false, 230400},
        {"a later search", false, 0},
        {"with all rates", true, 230400},
    };
    for (const Case &c : cases) {
        ctx_.searchAllRates = c.allRates;
        if (c.baud == 0 || c.allRates)
            SearchAgain(ctx_);
        const ConnectionEntry *port = PortEntry(41);
        ASSERT_NE(port, nullptr) << c.what;
        EXPECT_EQ(port->identified ? port->baudRate : 0, c.baud) << c.what;
    }
}
