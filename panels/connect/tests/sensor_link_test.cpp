// Accept and test against simulated sensors through the real library: what
// the status line says, what the history keeps, and that the accepted line
// is never opened a second time.
#include <memory>
#include <string>

#include "con_pnl.h"
#include "connect_panel.h"
#include "panels_fixture.h"
#include "sensor_link.h"
#include "sim/lab.h"

namespace {

class SensorLink : public PanelsFixture {
  protected:
    void SetUp() override {
        std::string error;
        lab_ = corvinsim::Lab::Start("[lab]\nLanTargets=127.255.255.255:50013\n"
                                     "[sensor a]\nKind=USB\nCom=34\nSerial=4711\n"
                                     "Version=CT-200 v2\nBaud=19200\n"
                                     "[sensor b]\nKind=COM\nCom=2\nFault=silent\n",
                                     "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
        Start("");
    }
    void TearDown() override {
        PanelsFixture::TearDown();
        lab_.reset();
    }
    void Choose(int button, int com, int code) {
        for (int b : {CON_PNL_RBTN_USB_COM, CON_PNL_RBTN_TCPIP_CLIENT, CON_PNL_RBTN_OTHER_COM})
            tk::SetCtrlVal(Con(), b, b == button ? 1 : 0);
        tk::SetCtrlVal(Con(), CON_PNL_NUMR_COM_PORTNUM, com);
        tk::SetCtrlVal(Con(), CON_PNL_RING_BAUDRATE, code);
    }
    // The status line's text and its level as its colour shows it.
    std::pair<std::string, int> Status() const {
        int background = 0;
        tk::GetCtrlAttribute(Con(), CON_PNL_STRG_COMM_STATUS, tk::ATTR_TEXT_BGCOLOR, &background);
        int level = background == tk::MakeColor(255, 0, 0)   ? -1
                    : background == tk::MakeColor(0, 255, 0) ? 1
                                                             : 0;
        return {Text(CON_PNL_STRG_COMM_STATUS), level};
    }

    std::unique_ptr<corvinsim::Lab> lab_;
};

TEST_F(SensorLink, TestOfALineShowsTheSensorInGrey) {
    Choose(CON_PNL_RBTN_USB_COM, 34, KORALINK_BAUD_19200);
    Commit(CON_PNL_PICT_SEARCH_CALL);
    EXPECT_EQ(Status(), std::make_pair(std::string("Found sensor #04711: CT-200 v2"), 0));
    EXPECT_FALSE(ctx_.busy);
    Choose(CON_PNL_RBTN_USB_COM, 34, KORALINK_BAUD_9600);
    Commit(CON_PNL_PICT_SEARCH_CALL);
    EXPECT_EQ(Status().second, -1) << Status().first;
    EXPECT_EQ(Status().first.rfind("Error: ", 0), 0u) << Status().first;
}

TEST_F(SensorLink, AcceptedLineIsRefusedToATestAndSurvivesIt) {
    Choose(CON_PNL_RBTN_USB_COM, 34, KORALINK_BAUD_19200);
    Commit(CON_PNL_PICT_SEARCH_ACCEPT);
    EXPECT_EQ(Status(), std::make_pair(std::string("Sensor connected"), 1));
    ASSERT_EQ(shared_.isOpen, 1);

    struct Case {
        const char *what;
        int button;
    } cases[] = {{"the same port", CON_PNL_RBTN_USB_COM},
                 {"the same port as another kind", CON_PNL_RBTN_OTHER_COM},
                 {"no mode at all", 0}};
    for (const Case &c : cases) {
        Choose(c.button, 34, KORALINK_BAUD_19200);
        Commit(CON_PNL_PICT_SEARCH_CALL);
        // Another open would have said "in use by another program".
        EXPECT_EQ(Status(), std::make_pair(std::string("Connection is already in use!"), -1))
            << c.what;
    }
    EXPECT_EQ(shared_.isOpen, 1);
    EXPECT_EQ(KORALINK_read_sensor_info(&shared_), 0) << "the accepted line still works";
}

TEST_F(SensorLink, AcceptOfASilentSensorIsRedButRemembered) {
    Choose(CON_PNL_RBTN_OTHER_COM, 2, KORALINK_BAUD_115200);
    Commit(CON_PNL_PICT_SEARCH_ACCEPT);
    EXPECT_EQ(Status().second, -1);
    EXPECT_EQ(Status().first.rfind("Error: ", 0), 0u) << Status().first;
    int visible = 0;
    tk::GetPanelAttribute(Con(), tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1) << "a failed accept leaves the connect panel up";
    EXPECT_EQ(Ring(), (std::vector<std::string>{"1=COM2:115200baud [other (digital serial) ...]"}));
}

TEST_F(SensorLink, AcceptWithoutAConnectionTypeSaysWhatIsMissing) {
    Choose(0, 34, KORALINK_BAUD_19200);
    Commit(CON_PNL_PICT_SEARCH_ACCEPT);
    EXPECT_EQ(Status(), std::make_pair(std::string("Error: no connection type chosen"), -1));
    EXPECT_EQ(shared_.isOpen, 0);
}

TEST_F(SensorLink, BusyProgramIgnoresAcceptAndTest) {
    ctx_.busy = true;
    Choose(CON_PNL_RBTN_USB_COM, 34, KORALINK_BAUD_19200);
    Commit(CON_PNL_PICT_SEARCH_ACCEPT);
    Commit(CON_PNL_PICT_SEARCH_CALL);
    EXPECT_EQ(shared_.isOpen, 0);
    EXPECT_EQ(Status().first, "");
    EXPECT_TRUE(Ring().empty());
}

} // namespace
