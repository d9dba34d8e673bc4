// The search panel's workflow on the real panels, with the scripted koralink
// double behind the search.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "connection_tree.h"
#include "fake_link.h"
#include "panel_ids.h"
#include "panels_setup.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

// What a user does while a search runs, and what the window showed then.
struct DuringSearch {
    int panel = 0;
    int (*act)(int panel) = nullptr;
    std::atomic<bool> acted{false};
    std::string buttonLabel;
    int acceptDimmed = -1, configDimmed = -1;
};
DuringSearch g_during;

// The COM listing of the search, on its worker: the user acts on the UI
// thread meanwhile, and the listing returns once that is done.
int ListComWhileTheUserActs(ListType *list) {
    tk::PostToGuiThread(
        [](void *) {
            int panel = g_during.panel;
            tk::GetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT,
                                 &g_during.buttonLabel);
            tk::GetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED,
                                 &g_during.acceptDimmed);
            tk::GetCtrlAttribute(panel, SEARCH_PNL_PICT_SEARCH_CONFIG, tk::ATTR_DIMMED,
                                 &g_during.configDimmed);
            g_during.act(panel);
            g_during.acted = true;
        },
        nullptr);
    while (!g_during.acted)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return FakeLinkApi().search_local_COM(list);
}

class SearchPanel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "panels_search_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
    }
    void SetUp() override {
        RegisterPanels(ctx_);
        searchPanel_ = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        conPanel_ = tk::LoadPanel(0, kPanelResource, CON_PNL);
        ASSERT_GT(searchPanel_, 0) << tk::LastLoadError();
        ASSERT_GT(conPanel_, 0) << tk::LastLoadError();
        InstallFakeLink();
        ctx_.api = &FakeLinkApi();
        ctx_.panels.search = searchPanel_;
        ctx_.panels.con = conPanel_;
        ctx_.sharedLink = &sharedLink_;
        StartPanels(ctx_, nullptr);
        ASSERT_NE(ctx_.tree, nullptr);
    }
    void TearDown() override {
        StopPanels(ctx_, nullptr);
        tk::DiscardPanel(conPanel_);
        tk::DiscardPanel(searchPanel_);
    }

    int searchPanel_ = 0, conPanel_ = 0;
    PanelContext ctx_;
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
        ListInsertItem(ctx_.tree->entries, &e, LIST_END);
    }
    void Select(int position, const char *text) {
        ctx_.tree->selectedPosition = position;
        CopyText(ctx_.tree->selectedText, text);
        OnConnectionSelected(ctx_);
    }
};

TEST_F(SearchPanel, StartUpBindsTheTreeBarLabelsAndHook) {
    EXPECT_STREQ(ctx_.tree->groups.lanLabel, "adp-b/ETH, adp-c/ETH");
    EXPECT_STREQ(ctx_.tree->groups.usbLabel, "adp-b/USB, adp-c/USB");
    EXPECT_STREQ(ctx_.tree->groups.otherLabel, "other");
    EXPECT_EQ(ctx_.tree->hasProgress, 1);
    EXPECT_EQ(ctx_.tree->progressControl, SEARCH_PNL_PRBR_PROGRESS);
    EXPECT_EQ(ctx_.tree->control, SEARCH_PNL_TREE_CONNECTIONS);
    EXPECT_NE(ctx_.tree->onSelect, nullptr);
    EXPECT_EQ(ctx_.tree->onSelectData, &ctx_) << "the hook works on the panels' context";
    EXPECT_EQ(ctx_.results, ctx_.tree->entries);
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
    EXPECT_FALSE(ctx_.busy);
    int count = 0;
    tk::GetNumListItems(searchPanel_, SEARCH_PNL_TREE_CONNECTIONS, &count);
    EXPECT_EQ(count, 2 + 2 + 1 + 6) << "two empty groups, the other group with COM3 and 5 lines";
    int visible = -1;
    tk::GetPanelAttribute(conPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    tk::GetPanelAttribute(searchPanel_, tk::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
    ConnectionEntry e;
    ListGetItem(ctx_.tree->entries, &e, 1);
    EXPECT_EQ(e.baudRate, 57600);
}

TEST_F(SearchPanel, SelectionFillsTheConnectPanelAndTheBarLabel) {
    AddEntry(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"), 0, 0);
    AddEntry(SerialRecord(KORALINK_TYPE_USB, 7, "USB7", "USB-Serial"), 1, 19200);
    AddEntry(LanRecord("Conv", 192, 168, 0, 20, 5000), 0, 0);
    ConnectionTree_Show(ctx_.tree);
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

// Return presses Accept only for a connection chosen in the tree, not for
// the history's entry the connect panel holds at start.
TEST_F(SearchPanel, ReturnAcceptsOnlyASelectedConnection) {
    QPushButton *accept = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "SEARCH_PNL")
            accept = w->findChild<QPushButton *>("PICT_SEARCH_ACCEPT");
    ASSERT_NE(accept, nullptr);
    AddEntry(SerialRecord(KORALINK_TYPE_USB, 7, "USB7", "USB-Serial"), 1, 19200);
    ConnectionTree_Show(ctx_.tree);
    struct Step {
        int position;
        const char *selected;
        bool isDefault;
    } steps[] = {{-1, nullptr, false}, {1, "SERIAL: COM7", true}, {0, "", false}};
    for (const Step &s : steps) {
        if (s.selected)
            Select(s.position, s.selected);
        EXPECT_EQ(accept->isDefault(), s.isDefault) << s.position;
    }
}

TEST_F(SearchPanel, SearchAgainIsRefusedWhileBusy) {
    ctx_.busy = true;
    SearchAgain(ctx_);
    EXPECT_TRUE(Lab().calls.empty()) << "a search ran while another operation was marked busy";
    EXPECT_TRUE(ctx_.busy) << "the refusal must not clear someone else's busy mark";
}

TEST_F(SearchPanel, SelectionFillsTheCopyFields) {
    AddEntry(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"), 0, 0);
    AddEntry(SerialRecord(KORALINK_TYPE_USB, 7, "USB7", "USB-Serial"), 1, 19200);
    AddEntry(LanRecord("Conv", 192, 168, 0, 20, 5000), 0, 0);
    ConnectionTree_Show(ctx_.tree);

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

// A search after a change: the selection follows its connection to its new
// place and settings, and one that is gone leaves nothing stale to use.
TEST_F(SearchPanel, ANewSearchKeepsTheSelectionOnItsConnectionOrDropsIt) {
    ConnectionRecord converter = LanRecord("Conv", 127, 0, 0, 20, 5000);
    converter.mac[5] = 0x21;
    Lab().lan.push_back(converter);
    Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"));
    SearchAgain(ctx_);
    Select(1, "TCP/IP: 127.0.0.20:5000");

    struct Case {
        const char *what;
        int newPort;      // the converter's port in the next search; 0: gone
        bool otherFirst;  // another converter is listed before it
        int position;     // its new position; 0: no selection
        const char *copy; // the port copy field
        int remotePort;   // the connect panel's port
        int acceptDimmed;
    } cases[] = {
        {"port changed", 6000, false, 1, "6000", 6000, 0},
        {"moved down the list", 6001, true, 2, "6001", 6001, 0},
        {"gone", 0, false, 0, "", 6001, 1},
    };
    for (const Case &c : cases) {
        Lab().lan.clear();
        ConnectionRecord other = LanRecord("Other", 127, 0, 0, 30, 5000);
        other.mac[5] = 0x30;
        if (c.otherFirst)
            Lab().lan.push_back(other);
        converter.localPort = c.newPort;
        if (c.newPort)
            Lab().lan.push_back(converter);
        SearchAgain(ctx_);
        EXPECT_EQ(ctx_.tree->selectedPosition, c.position) << c.what;
        EXPECT_EQ(Field(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT), c.copy) << c.what;
        int port = -1;
        tk::GetCtrlVal(conPanel_, CON_PNL_NUMR_REMOTE_PORT, &port);
        EXPECT_EQ(port, c.remotePort) << c.what;
        EXPECT_EQ(Dimmed(), c.acceptDimmed) << c.what;
    }
}

// The bar as each probe opens its line: it moves on through the network
// pass and every rate cycle, and shows 100 % only once the search is done.
std::vector<std::pair<long, double>> g_barAtOpen; // (when the window was read, value)
long g_barReads = 0;                              // on the UI thread only
int g_barPanel = 0;
double BarValue() {
    double value = -1;
    tk::GetCtrlVal(g_barPanel, SEARCH_PNL_PRBR_PROGRESS, &value);
    return value;
}
// The bar as the window shows it when a probe opens its line (on the
// search's thread): once everything the search wrote before has reached the
// window. Two trips through the UI thread, between which the search panel
// passes on what the search queued. Probes on two threads (the network
// pass beside a rate cycle) may note their readings in the other order than
// the window was read: each reading keeps its place in the UI thread's order.
std::mutex g_barMutex;
void NoteBarAtOpen() {
    struct Trip {
        std::atomic<bool> done{false};
        double value = -1;
        long when = -1;
    };
    Trip last;
    for (int trip = 0; trip < 2; ++trip) {
        Trip t;
        tk::PostToGuiThread(
            [](void *data) {
                auto *asked = static_cast<Trip *>(data);
                asked->value = BarValue();
                asked->when = g_barReads++;
                asked->done = true;
            },
            &t);
        while (!t.done)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        last.value = t.value;
        last.when = t.when;
    }
    std::lock_guard<std::mutex> lock(g_barMutex);
    g_barAtOpen.emplace_back(last.when, last.value);
}
int OpenSerialSeen(LinkContext *ctx, int com, int code, int mode) {
    if (ctx)
        NoteBarAtOpen();
    return FakeLinkApi().init_rs232(ctx, com, code, mode);
}
int OpenTcpSeen(LinkContext *ctx, int port, const char *ip, int mode) {
    NoteBarAtOpen();
    return FakeLinkApi().init_tcp(ctx, port, ip, mode);
}

TEST_F(SearchPanel, TheBarMovesThroughEveryPassAndEndsWithTheSearch) {
    Lab().lan.push_back(LanRecord("Conv", 127, 0, 0, 20, 5000));
    Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"));
    Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
    for (int com : {3, 4}) {
        FakePort silent;
        silent.com = com;
        Lab().ports.push_back(silent);
    }
    LinkApi seen = FakeLinkApi();
    seen.init_rs232 = OpenSerialSeen;
    seen.init_tcp = OpenTcpSeen;
    ctx_.api = &seen;
    g_barPanel = searchPanel_;
    g_barAtOpen.clear();
    ctx_.searchAllRates = true;
    SearchAgain(ctx_);
    ctx_.searchAllRates = false;

    ASSERT_EQ(g_barAtOpen.size(), 1u + 8 * 2) << "the converter, two ports at eight rates";
    std::sort(g_barAtOpen.begin(), g_barAtOpen.end());
    for (size_t k = 0; k < g_barAtOpen.size(); ++k) {
        EXPECT_LT(g_barAtOpen[k].second, 100.0) << "probe " << k << " runs under a full bar";
        if (k > 0) {
            EXPECT_GE(g_barAtOpen[k].second, g_barAtOpen[k - 1].second) << "probe " << k;
        }
    }
    EXPECT_GT(g_barAtOpen.back().second, g_barAtOpen.front().second);
    EXPECT_EQ(BarValue(), 100.0);
    std::string label;
    tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PRBR_PROGRESS, tk::ATTR_LABEL_TEXT, &label);
    EXPECT_EQ(label, "Done.");
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

TEST_F(SearchPanel, ACancelledSearchKeepsThePreviousTreeAndSaysSo) {
    struct Case {
        const char *action;
        int (*act)(int panel);
    } cases[] = {
        {"search button",
         [](int panel) {
             return tk::CallCtrlCallback(panel, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::EVENT_COMMIT, 0,
                                         0);
         }},
        {"window closed", [](int panel) { return tk::CallPanelCallback(panel, tk::EVENT_CLOSE); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.action);
        InstallFakeLink();
        ListClear(ctx_.tree->entries);
        AddEntry(SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port"), 1, 19200);
        ConnectionTree_Show(ctx_.tree);
        int shownBefore = 0;
        tk::GetNumListItems(searchPanel_, SEARCH_PNL_TREE_CONNECTIONS, &shownBefore);
        std::string labelBefore;
        tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT,
                             &labelBefore);
        Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, 4, "COM4", "COM port"));
        FakePort port;
        port.com = 4;
        port.answersAtCode = {KORALINK_BAUD_115200};
        Lab().ports.push_back(port);
        LinkApi api = FakeLinkApi();
        api.search_local_COM = ListComWhileTheUserActs;
        ctx_.api = &api;
        g_during.panel = searchPanel_;
        g_during.act = c.act;
        g_during.acted = false;

        SearchAgain(ctx_);

        EXPECT_TRUE(g_during.acted);
        EXPECT_EQ(g_during.buttonLabel, "Cancel");
        EXPECT_EQ(g_during.acceptDimmed, 1);
        EXPECT_EQ(g_during.configDimmed, 1);
        EXPECT_FALSE(ctx_.busy);
        EXPECT_FALSE(ctx_.Searching());
        EXPECT_EQ(Lab().openLines, 0);
        EXPECT_EQ(ListNumItems(ctx_.tree->entries), 1) << "the previous tree is kept";
        int shown = 0;
        tk::GetNumListItems(searchPanel_, SEARCH_PNL_TREE_CONNECTIONS, &shown);
        EXPECT_EQ(shown, shownBefore);
        std::string label;
        tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PRBR_PROGRESS, tk::ATTR_LABEL_TEXT, &label);
        EXPECT_EQ(label, "Search cancelled");
        double bar = -1;
        tk::GetCtrlVal(searchPanel_, SEARCH_PNL_PRBR_PROGRESS, &bar);
        EXPECT_EQ(bar, 0.0) << "an empty bar, not a finished one";
        tk::GetCtrlAttribute(searchPanel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT,
                             &label);
        EXPECT_EQ(label, labelBefore);
        ctx_.api = &FakeLinkApi();
    }
}
