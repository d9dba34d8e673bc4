// The search panel's workflow on the real panels, with the scripted koralink
// double behind the search.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "connection_panels.h"
#include "connection_tree.h"
#include "fake_link.h"
#include "panel_ids.h"
#include "panels/messages.h"
#include "search_panel.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

class SearchPanel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "panels_search_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
        RegisterPanelCallbacks();
    }
    void SetUp() override {
        searchPanel_ = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        conPanel_ = tk::LoadPanel(0, kPanelResource, CON_PNL);
        ASSERT_GT(searchPanel_, 0) << tk::LastLoadError();
        ASSERT_GT(conPanel_, 0) << tk::LastLoadError();
        InstallFakeLink();
        SetSearchLinkApi(&FakeLinkApi());
        busy_ = 0;
        ConnectionPanelsSetup setup;
        setup.panels.search = searchPanel_;
        setup.panels.con = conPanel_;
        setup.uiBusy = &busy_;
        setup.skipBaudSearch = &skipBaud_;
        setup.sharedLink = &sharedLink_;
        BindMessagePanels(setup.panels);
        StartConnectionPanels(setup, nullptr);
        ASSERT_NE(g_connectionTree, nullptr);
    }
    void TearDown() override {
        StopConnectionPanels(nullptr);
        BindMessagePanels(PanelSet{});
        SetSearchLinkApi(nullptr);
        tk::DiscardPanel(conPanel_);
        tk::DiscardPanel(searchPanel_);
    }

    int searchPanel_ = 0, conPanel_ = 0;
    int busy_ = 0, skipBaud_ = 0;
    LinkContext sharedLink_ = {};

    std::string Field(int control) {
        char text[256] = "";
        tk::GetCtrlVal(searchPanel_, control, text, sizeof text);
        return text;
    }
    int Dimmed() {
        int value = -1;
        tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, &value);
        return value;
    }
    void AddEntry(const ConnectionRecord &record, int identified, int baud) {
        ConnectionEntry e;
        std::memset(&e, 0, sizeof e);
        e.record = record;
        e.identified = e.answered = identified;
        e.baudRate = baud;
        ListInsertItem(g_connectionTree->entries, &e, LIST_END);
    }
    void Select(int position, const char *text) {
        g_connectionTree->selectedPosition = position;
        CopyText(g_connectionTree->selectedText, text);
        OnConnectionSelected();
    }
};

TEST_F(SearchPanel, StartUpBindsTheTreeBarLabelsAndHook) {
    EXPECT_STREQ(g_connectionTree->groups.lanLabel, "adp-b/ETH, adp-c/ETH");
    EXPECT_STREQ(g_connectionTree->groups.usbLabel, "adp-b/USB, adp-c/USB");
    EXPECT_STREQ(g_connectionTree->groups.otherLabel, "other");
    EXPECT_EQ(g_connectionTree->hasProgress, 1);
    EXPECT_EQ(g_connectionTree->progressControl, SEARCH_PNL_PRBR_PROGRESS);
    EXPECT_EQ(g_connectionTree->control, SEARCH_PNL_TREE_CONNECTIONS);
    EXPECT_EQ(g_connectionTree->onSelect, &OnConnectionSelected);
}

TEST_F(SearchPanel, SearchAgainFillsTheTreeAndShowsTheSearchPanel) {
    Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"));
    FakePort port;
    port.com = 3;
    port.answersAtCode = {KORALINK_BAUD_57600};
    port.serial = 12;
    port.version = "KS";
    Lab().ports.push_back(port);
    tk::DisplayPanel(conPanel_);

    tk::CallCtrlCallback(searchPanel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::EVENT_COMMIT, 0, 0);
    EXPECT_EQ(busy_, 0);
    int count = 0;
    tk::GetNumListItems(searchPanel_, SEARCH_PNL_TREE_CONNECTIONS, &count);
    EXPECT_EQ(count, 2 + 2 + 1 + 5) << "two empty groups, the other group with COM3 and 4 lines";
    int visible = -1;
    tk::GetPanelAttribute(conPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    tk::GetPanelAttribute(searchPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
    ConnectionEntry e;
    ListGetItem(g_connectionTree->entries, &e, 1);
    EXPECT_EQ(e.baudRate, 57600);
}

TEST_F(SearchPanel, SelectionFillsTheConnectPanelAndTheBarLabel) {
    AddEntry(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"), 0, 0);
    AddEntry(SerialRecord(KORALINK_TYPE_USB, 7, "USB7", "USB-Serial"), 1, 19200);
    AddEntry(LanRecord("Conv", 192, 168, 0, 20, 5000), 0, 0);
    ConnectionTree_Show(g_connectionTree);
    struct Case {
        int position;
        const char *selected;
        int usb, tcp;       // radio buttons
        int com, code;      // serial fields
        const char *server; // TCP fields
        int port;
        const char *label; // the bar's final label
    } cases[] = {
        // "Other" ports take the USB button too.
        {1, "SERIAL: COM3", 1, 0, 3, 4, "", 0, "Connect to COM3:115200baud"},
        {2, "SERIAL: COM7", 1, 0, 7, 1, "", 0, "Connect to COM7:19200baud"},
        {3, "TCP/IP: 192.168.0.20:5000", 0, 1, 0, 0, "192.168.0.20", 5000,
         "Connect to TCP-server 192.168.0.20:5000"},
    };
    for (const Case &c : cases) {
        Select(c.position, c.selected);
        auto value = [&](int control) {
            int v = -1;
            tk::GetCtrlVal(conPanel_, control, &v);
            return v;
        };
        auto dimmed = [&](int control) {
            int v = -1;
            tk::GetCtrlAttribute(conPanel_, control, tk::ATTR_DIMMED, &v);
            return v;
        };
        EXPECT_EQ(value(CON_PNL_RBTN_USB_COM), c.usb) << c.selected;
        EXPECT_EQ(value(CON_PNL_RBTN_TCPIP_CLIENT), c.tcp) << c.selected;
        EXPECT_EQ(value(CON_PNL_RBTN_OTHER_COM), 0) << c.selected;
        EXPECT_EQ(dimmed(CON_PNL_NUMR_COM_PORTNUM), c.tcp) << c.selected;
        EXPECT_EQ(dimmed(CON_PNL_STRG_REMOTE_SERVER), c.usb) << c.selected;
        if (c.usb) {
            EXPECT_EQ(value(CON_PNL_NUMR_COM_PORTNUM), c.com) << c.selected;
            EXPECT_EQ(value(CON_PNL_RING_BAUDRATE), c.code) << c.selected;
        } else {
            char server[128] = "";
            tk::GetCtrlVal(conPanel_, CON_PNL_STRG_REMOTE_SERVER, server, sizeof server);
            EXPECT_STREQ(server, c.server);
            EXPECT_EQ(value(CON_PNL_NUMR_REMOTE_PORT), c.port);
        }
        std::string label;
        tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PRBR_PROGRESS, tk::ATTR_LABEL_TEXT, &label);
        EXPECT_EQ(label, c.label);
    }
}

TEST_F(SearchPanel, SearchAgainIsRefusedWhileBusy) {
    busy_ = 1;
    SearchAgain();
    EXPECT_TRUE(Lab().calls.empty()) << "a search ran while another operation was marked busy";
    EXPECT_EQ(busy_, 1) << "the refusal must not clear someone else's busy mark";
}

TEST_F(SearchPanel, SelectionFillsTheCopyFields) {
    AddEntry(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"), 0, 0);
    AddEntry(SerialRecord(KORALINK_TYPE_USB, 7, "USB7", "USB-Serial"), 1, 19200);
    AddEntry(LanRecord("Conv", 192, 168, 0, 20, 5000), 0, 0);
    ConnectionTree_Show(g_connectionTree);

    Select(1, "SERIAL: COM3");
    EXPECT_EQ(Field(SEARCH_PNL_STRG_COPY_COM_OR_IP), "3");
    EXPECT_EQ(Field(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT), "115200")
        << "an unidentified port is offered at the default rate";
    Select(2, "SERIAL: COM7");
    EXPECT_EQ(Field(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT), "19200");
    Select(3, "TCP/IP: 192.168.0.20:5000");
    EXPECT_EQ(Field(SEARCH_PNL_STRG_COPY_COM_OR_IP), "192.168.0.20");
    EXPECT_EQ(Field(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT), "5000");
    EXPECT_EQ(Dimmed(), 0);

    Select(0, "");
    EXPECT_EQ(Dimmed(), 1) << "no usable selection: accept is dimmed";
    EXPECT_EQ(Field(SEARCH_PNL_STRG_COPY_COM_OR_IP), "192.168.0.20")
        << "the copy fields keep the last selection";
    Select(1, "SERIAL: COM3");
    EXPECT_EQ(Dimmed(), 0) << "a usable selection makes accept usable again";
}

TEST_F(SearchPanel, CopyButtonsPutTheFieldsOnTheClipboard) {
    tk::SetCtrlVal(searchPanel_, SEARCH_PNL_STRG_COPY_COM_OR_IP, "10.1.2.3");
    tk::SetCtrlVal(searchPanel_, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, "502");
    tk::CallCtrlCallback(searchPanel_, SEARCH_PNL_PICT_COPY_COM_OR_IP, tk::EVENT_COMMIT, 0, 0);
    EXPECT_EQ(tk::ClipboardText(), "10.1.2.3");
    tk::CallCtrlCallback(searchPanel_, SEARCH_PNL_PICT_CPY_BAUD_OR_PORT, tk::EVENT_COMMIT, 0, 0);
    EXPECT_EQ(tk::ClipboardText(), "502");
    tk::CallCtrlCallback(searchPanel_, SEARCH_PNL_PICT_COPY_2_CLIPBOARD, tk::EVENT_COMMIT, 0, 0);
    EXPECT_EQ(tk::ClipboardText(), "502");
}

TEST_F(SearchPanel, ConfigSwitchesPanelsAndCloseHidesTheSearchPanel) {
    tk::DisplayPanel(searchPanel_);
    tk::CallCtrlCallback(searchPanel_, SEARCH_PNL_PICT_SEARCH_CONFIG, tk::EVENT_COMMIT, 0, 0);
    int visible = -1;
    tk::GetPanelAttribute(searchPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    tk::GetPanelAttribute(conPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);

    tk::DisplayPanel(searchPanel_);
    tk::CallPanelCallback(searchPanel_, tk::EVENT_CLOSE);
    tk::GetPanelAttribute(searchPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
}

} // namespace
