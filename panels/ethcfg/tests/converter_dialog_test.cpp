// The Ethernet converter dialog on the real panels: which converter opens,
// what the panel shows and writes back, the rules of its rings, and read,
// write and leave against simulated converter modules.
#include "dialog_fixture.h"

#include <chrono>
#include <ifaddrs.h>
#include <net/if.h>
#include <thread>
#include <vector>

#include "own_address.h"

namespace {

ConnectionEntry NetEntry(std::vector<int> ip, const char *typeText, int rate) {
    ConnectionEntry e;
    std::memset(&e, 0, sizeof e);
    e.isNetwork = 1;
    e.record.type = KORALINK_TYPE_LAN;
    for (int i = 0; i < 4; ++i)
        e.record.localIp[i] = ip[i];
    std::strncpy(e.record.typeText, typeText, sizeof e.record.typeText - 1);
    e.record.serialBaud = rate;
    e.record.deviceMode = 1;
    e.record.localPort = 5000;
    return e;
}

class EthernetDialog : public DialogTest {
  protected:
    int D() const { return panels_.ethcfg; }
    void Open(const char *server) {
        tk::SetCtrlVal(panels_.con, CON_PNL_STRG_REMOTE_SERVER, server);
        Commit(panels_.con, CON_PNL_PICB_CALL_ETHCFG);
    }
    int Mode(int control) { return Attr(D(), control, tk::ATTR_CTRL_MODE); }
    int Shown(int control) { return Attr(D(), control, tk::ATTR_VISIBLE); }
    void Choose(int ring, int value) {
        tk::SetCtrlVal(D(), ring, value);
        Commit(D(), ring);
    }
};

const int kAddressFields[] = {ETHCFG_PNL_NUMR_GATEWAY_ADDR_0, ETHCFG_PNL_NUMR_GATEWAY_ADDR_3,
                              ETHCFG_PNL_NUMR_SUBNET_MASK_0,  ETHCFG_PNL_NUMR_SUBNET_MASK_3,
                              ETHCFG_PNL_NUMR_LOCAL_IP_0,     ETHCFG_PNL_NUMR_LOCAL_IP_3};
const int kRemoteFields[] = {ETHCFG_PNL_NUMR_REMOTE_IP_0, ETHCFG_PNL_NUMR_REMOTE_IP_3,
                             ETHCFG_PNL_NUMR_REMOTE_PORT};

} // namespace

TEST_F(EthernetDialog, TheServerFieldPicksTheFirstConverterWithThatAddress) {
    ConnectionEntry serial = NetEntry({192, 168, 0, 30}, "serial line", 9600);
    serial.isNetwork = 0;
    serial.isSerial = 1;
    AddEntry(serial);
    AddEntry(NetEntry({192, 168, 0, 20}, "first", 9600));
    AddEntry(NetEntry({192, 168, 0, 20}, "second", 9600));
    struct Case {
        const char *server;
        bool opens;
        const char *device; // shown type text when it opens
        bool popup;         // "Error" / "Unknown device"
    } cases[] = {
        {"192.168.0.20", true, "first", false},
        {"192.168.0.21", false, "", true},
        {"192.168.0.30", false, "", true}, // a serial entry is no converter
        {"plant.example", false, "", false},
        {"192.168.0", false, "", false},
        {"", false, "", false},
    };
    for (const Case &c : cases) {
        tk::HidePanel(D());
        tk::DisplayPanel(panels_.con);
        Open(c.server);
        EXPECT_EQ(Visible(D()), c.opens ? 1 : 0) << c.server;
        EXPECT_EQ(Visible(panels_.con), c.opens ? 0 : 1) << c.server;
        if (c.opens) {
            EXPECT_EQ(Text(D(), ETHCFG_PNL_STRG_DEVICE_INFO), c.device) << c.server;
        }
        auto popups = tk::TakeCapturedPopups();
        ASSERT_EQ(popups.size(), c.popup ? 1u : 0u) << c.server;
        if (c.popup) {
            EXPECT_EQ(popups[0].title, "Error");
            EXPECT_EQ(popups[0].message, "Unknown device");
        }
    }
}

TEST_F(EthernetDialog, EditableFieldsGoBackIntoTheRecordAndNothingElse) {
    ConnectionRecord shown = NetEntry({10, 0, 0, 5}, "module 1.0", 57600).record;
    shown.mac[0] = 0x00, shown.mac[5] = 0x21;
    std::memset(shown.reserved0, 0x5A, sizeof shown.reserved0);
    shown.reserved1 = 7;
    ShowConverterSettings(ctx_, &shown);
    EXPECT_EQ(Val(D(), ETHCFG_PNL_NUMR_MAC_5), 0x21);

    struct Edit {
        int control, value;
        int32_t ConnectionRecord::*scalar;
        int32_t (ConnectionRecord::*array)[4];
        int index;
    } edits[] = {
        {ETHCFG_PNL_NUMR_LOCAL_PORT, 6001, &ConnectionRecord::localPort, nullptr, 0},
        {ETHCFG_PNL_NUMR_REMOTE_PORT, 7001, &ConnectionRecord::remotePort, nullptr, 0},
        {ETHCFG_PNL_RING_IP_MODE, 1, &ConnectionRecord::ipMode, nullptr, 0},
        {ETHCFG_PNL_RING_OP_MODE, 2, &ConnectionRecord::deviceMode, nullptr, 0},
        {ETHCFG_PNL_RING_BAUDRATE, 9, &ConnectionRecord::serialBaud, nullptr, 0},
        {ETHCFG_PNL_NUMR_LOCAL_IP_3, 77, nullptr, &ConnectionRecord::localIp, 3},
        {ETHCFG_PNL_NUMR_SUBNET_MASK_2, 128, nullptr, &ConnectionRecord::subnetMask, 2},
        {ETHCFG_PNL_NUMR_GATEWAY_ADDR_0, 172, nullptr, &ConnectionRecord::gateway, 0},
        {ETHCFG_PNL_NUMR_REMOTE_IP_1, 31, nullptr, &ConnectionRecord::remoteIp, 1},
    };
    for (const Edit &e : edits)
        tk::SetCtrlVal(D(), e.control, e.value);
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_MAC_5, 0x99);
    tk::SetCtrlVal(D(), ETHCFG_PNL_STRG_DEVICE_INFO, "typed over");

    ConnectionRecord read = shown;
    ReadConverterPanel(ctx_, &read);
    for (const Edit &e : edits) {
        int32_t got = e.scalar ? read.*e.scalar : (read.*e.array)[e.index];
        int32_t want = e.control == ETHCFG_PNL_RING_BAUDRATE ? 28800 : e.value;
        EXPECT_EQ(got, want) << "control " << e.control;
    }
    EXPECT_EQ(read.mac[5], 0x21) << "the MAC is shown, never written";
    EXPECT_STREQ(read.typeText, "module 1.0");
    EXPECT_EQ(std::memcmp(read.reserved0, shown.reserved0, sizeof read.reserved0), 0);
    EXPECT_EQ(read.reserved1, 7);
}

// A module's rate must survive a write of its other settings: a rate the
// ring did not show right would be written back as another one.
TEST_F(EthernetDialog, TheRateRingShowsAndKeepsTheModulesRate) {
    struct Case {
        int32_t rate;
        int ringValue;       // shown; -1 = ring hidden
        const char *label;   // the selected item's text
        int32_t writtenBack; // after ReadConverterPanel
    } cases[] = {
        {28800, 9, "28800", 28800},
        {300, 0, "300", 300},
        {230400, 13, "230400", 230400},
        {460800, kConverterKeptRateValue, "460800", 460800},
        {921600, kConverterKeptRateValue, "921600", 921600},
        {-1, -1, "", -1},
    };
    for (const Case &c : cases) {
        ConnectionRecord r = NetEntry({10, 0, 0, 5}, "m", c.rate).record;
        ctx_.editedConverter = r;
        ShowConverterSettings(ctx_, &r);
        // Touching the IP mode must not bring a hidden ring back.
        Choose(ETHCFG_PNL_RING_IP_MODE, 0);
        EXPECT_EQ(Shown(ETHCFG_PNL_RING_BAUDRATE), c.ringValue >= 0 ? 1 : 0) << c.rate;
        EXPECT_EQ(Shown(ETHCFG_PNL_STRG_SERIAL_INFO), c.ringValue >= 0 ? 1 : 0) << c.rate;
        if (c.ringValue >= 0) {
            EXPECT_EQ(Val(D(), ETHCFG_PNL_RING_BAUDRATE), c.ringValue) << c.rate;
            EXPECT_EQ(Text(D(), ETHCFG_PNL_RING_BAUDRATE), c.label) << c.rate;
        }
        ReadConverterPanel(ctx_, &r);
        EXPECT_EQ(r.serialBaud, c.writtenBack) << c.rate;
    }
    int items = 0;
    tk::GetNumListItems(D(), ETHCFG_PNL_RING_BAUDRATE, &items);
    EXPECT_EQ(items, kConverterBaudCount) << "the extra item belongs to one module only";
}

// Modes the rings do not offer are shown as they are and read back
// unchanged (the library then refuses to write them, saying why), never
// replaced by what the ring showed for the module before.
TEST_F(EthernetDialog, ModesTheRingsLackAreShownAndKept) {
    struct Case {
        int32_t ipMode, deviceMode;
        const char *ipLabel, *opLabel;
    } cases[] = {{1, 1, "DHCP", "TCP server"},
                 {2, 1, "mode 2", "TCP server"},
                 {0, 5, "STATIC", "mode 5"},
                 {0, 3, "STATIC", "UDP"}};
    for (const Case &c : cases) {
        ConnectionRecord r = NetEntry({10, 0, 0, 5}, "m", 9600).record;
        r.ipMode = c.ipMode;
        r.deviceMode = c.deviceMode;
        ShowConverterSettings(ctx_, &r);
        EXPECT_EQ(Text(D(), ETHCFG_PNL_RING_IP_MODE), c.ipLabel);
        EXPECT_EQ(Text(D(), ETHCFG_PNL_RING_OP_MODE), c.opLabel);
        ConnectionRecord read = r;
        ReadConverterPanel(ctx_, &read);
        EXPECT_EQ(read.ipMode, c.ipMode);
        EXPECT_EQ(read.deviceMode, c.deviceMode);
    }
    int items = 0;
    tk::GetNumListItems(D(), ETHCFG_PNL_RING_IP_MODE, &items);
    EXPECT_EQ(items, 2);
    tk::GetNumListItems(D(), ETHCFG_PNL_RING_OP_MODE, &items);
    EXPECT_EQ(items, 4);
}

TEST_F(EthernetDialog, DhcpMakesTheAddressFieldsIndicators) {
    ConnectionRecord r = NetEntry({10, 0, 0, 5}, "m", 9600).record;
    r.ipMode = 1;
    ctx_.editedConverter = r;
    ShowConverterSettings(ctx_, &r);
    for (int control : kAddressFields)
        EXPECT_EQ(Mode(control), 0) << control;
    Choose(ETHCFG_PNL_RING_IP_MODE, 0);
    for (int control : kAddressFields)
        EXPECT_EQ(Mode(control), 1) << control;
    Choose(ETHCFG_PNL_RING_IP_MODE, 1);
    for (int control : kAddressFields)
        EXPECT_EQ(Mode(control), 0) << control;
}

TEST_F(EthernetDialog, OnlyTcpServerCanBeChosen) {
    for (int mode : {0, 1, 2, 3}) {
        ApplyOpModeRules(ctx_, 0);
        Choose(ETHCFG_PNL_RING_OP_MODE, mode);
        auto popups = tk::TakeCapturedPopups();
        ASSERT_EQ(popups.size(), mode == 1 ? 0u : 1u) << mode;
        if (mode != 1) {
            EXPECT_EQ(popups[0].title, "Error");
            EXPECT_EQ(popups[0].message, "This mode is currently not supported.");
        }
        EXPECT_EQ(Val(D(), ETHCFG_PNL_RING_OP_MODE), 1) << mode;
        for (int control : kRemoteFields)
            EXPECT_EQ(Mode(control), 0) << "mode " << mode << ", control " << control;
        EXPECT_EQ(Attr(D(), ETHCFG_PNL_PICB_SET_LOCAL_ADDR, tk::ATTR_DIMMED), 1) << mode;
    }
    ApplyOpModeRules(ctx_, 0);
    for (int control : kRemoteFields)
        EXPECT_EQ(Mode(control), 1) << "a TCP client's peer is editable";
}

TEST_F(EthernetDialog, OwnAddressFillsTheRemoteAddressOnly) {
    static std::string answer;
    static bool found;
    SetOwnAddressSource([](std::string *text) {
        *text = answer;
        return found;
    });
    struct Case {
        const char *address;
        bool found;
        std::vector<int> remote;
    } cases[] = {
        {"192.168.7.9", true, {192, 168, 7, 9}},
        {"", false, {1, 2, 3, 4}},
        {"host.example", true, {1, 2, 3, 4}},
    };
    for (const Case &c : cases) {
        answer = c.address;
        found = c.found;
        const int fields[4] = {ETHCFG_PNL_NUMR_REMOTE_IP_0, ETHCFG_PNL_NUMR_REMOTE_IP_1,
                               ETHCFG_PNL_NUMR_REMOTE_IP_2, ETHCFG_PNL_NUMR_REMOTE_IP_3};
        for (int i = 0; i < 4; ++i)
            tk::SetCtrlVal(D(), fields[i], i + 1);
        tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_REMOTE_PORT, 4321);
        Commit(D(), ETHCFG_PNL_PICB_SET_LOCAL_ADDR);
        ConnectionRecord r{};
        ReadConverterPanel(ctx_, &r);
        EXPECT_EQ(std::vector<int>(r.remoteIp, r.remoteIp + 4), c.remote) << c.address;
        EXPECT_EQ(r.remotePort, 4321);
    }
    SetOwnAddressSource(nullptr);
}

TEST_F(EthernetDialog, ThisComputersAddressIsNotLoopbackWhenItHasAnother) {
    std::string own;
    ASSERT_TRUE(PrimaryIpv4Address(&own));
    in_addr a{};
    ASSERT_EQ(inet_pton(AF_INET, own.c_str(), &a), 1) << own;
    bool onlyLoopback = true;
    ifaddrs *list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs *i = list; i; i = i->ifa_next)
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP) &&
            (ntohl(reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr) >> 24) != 127)
            onlyLoopback = false;
    freeifaddrs(list);
    if (!onlyLoopback) {
        EXPECT_NE(ntohl(a.s_addr) >> 24, 127u) << own;
    }
}

TEST_F(EthernetDialog, ClosingGoesBackWithoutSearchOrClearing) {
    AddEntry(NetEntry({192, 168, 0, 20}, "kept", 9600));
    Open("192.168.0.20");
    ctx_.devicesChanged = true;
    tk::CallPanelCallback(D(), tk::EVENT_CLOSE);
    EXPECT_EQ(Visible(D()), 0);
    EXPECT_EQ(Visible(panels_.con), 1);
    EXPECT_STREQ(ctx_.editedConverter.typeText, "kept");
    EXPECT_EQ(ListNumItems(ctx_.results), 1) << "no search ran";

    ctx_.devicesChanged = false;
    Open("192.168.0.20");
    Commit(D(), ETHCFG_PNL_PICT_WIZNET_CNF_QUIT);
    EXPECT_EQ(Visible(panels_.con), 1) << "nothing written: back to the connect panel";
    EXPECT_EQ(ctx_.editedConverter.typeText[0], '\0');
}

TEST_F(EthernetDialog, ReadAndWriteWaitWhileBusy) {
    AddEntry(NetEntry({127, 0, 0, 199}, "m", 9600));
    Open("127.0.0.199");
    ctx_.busy = true;
    ctx_.messages.Status("before", 1);
    Commit(D(), ETHCFG_PNL_PICT_READ_WIZNET_DEV);
    Commit(D(), ETHCFG_PNL_PICT_WRITE_WIZNET_DEV);
    EXPECT_EQ(Text(D(), ETHCFG_PNL_STRG_COMM_STATUS), "before");
    EXPECT_FALSE(ctx_.devicesChanged);
    EXPECT_TRUE(ctx_.busy);
}

// Two modules: one takes writes, one takes them without applying them.
constexpr const char *kConverterLab =
    "[converter "
    "good]\nKind=Converter\nModel=SIM-S2E\nHost=127.0.0.151\nUdpPort=@PORT@\nOP=1\nBR=9\n"
    "Sensor=no\nBootMs=100\n"
    "[converter stubborn]\nKind=Converter\nModel=SIM-S2E\nHost=127.0.0.152\nUdpPort=@PORT@\nOP=1\n"
    "Sensor=no\nConverterFault=unconfirmed\nBootMs=100\n";

TEST_F(EthernetDialog, AWriteChangesTheModuleAndTheNextSearchShowsIt) {
    StartLab(kConverterLab);
    ctx_.skipBaudSearch = true;
    SearchAgain(ctx_);
    ASSERT_NE(EntryNamed("SIM-S2E 127.0.0.151"), nullptr);
    Open("127.0.0.151");
    ASSERT_EQ(Visible(D()), 1);
    EXPECT_EQ(Text(D(), ETHCFG_PNL_RING_BAUDRATE), "28800");

    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_REMOTE_PORT, 7123);
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_REMOTE_IP_3, 42);
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_SUBNET_MASK_3, 128);
    Commit(D(), ETHCFG_PNL_PICT_WRITE_WIZNET_DEV);
    EXPECT_EQ(Status(D(), ETHCFG_PNL_STRG_COMM_STATUS),
              std::make_pair(std::string("Writing device ... OK"), 0));
    EXPECT_TRUE(ctx_.devicesChanged);
    EXPECT_FALSE(ctx_.busy);

    Commit(D(), ETHCFG_PNL_PICT_WIZNET_CNF_QUIT);
    EXPECT_EQ(Visible(D()), 0);
    EXPECT_EQ(Visible(panels_.search), 1) << "leaving after a write searches again";
    EXPECT_EQ(ctx_.editedConverter.type, 0);
    const ConnectionEntry *after = EntryNamed("SIM-S2E 127.0.0.151");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->record.remotePort, 7123);
    EXPECT_EQ(after->record.remoteIp[3], 42);
    EXPECT_EQ(after->record.subnetMask[3], 128);
    EXPECT_EQ(after->record.serialBaud, 28800) << "a write of other settings keeps the rate";
}

TEST_F(EthernetDialog, ARefusedWriteSaysWhySavesNothingAndStillSearchesOnQuit) {
    StartLab(kConverterLab);
    ctx_.skipBaudSearch = true;
    SearchAgain(ctx_);
    Open("127.0.0.152");
    ASSERT_EQ(Visible(D()), 1);
    int oldPort = Val(D(), ETHCFG_PNL_NUMR_REMOTE_PORT);
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_REMOTE_PORT, oldPort + 1);
    Commit(D(), ETHCFG_PNL_PICT_WRITE_WIZNET_DEV);
    auto status = Status(D(), ETHCFG_PNL_STRG_COMM_STATUS);
    EXPECT_EQ(status.second, -1);
    EXPECT_EQ(status.first.rfind("Writing device ... FAIL: ", 0), 0u) << status.first;
    EXPECT_NE(status.first.find("remote port"), std::string::npos) << "the cause names the field";
    EXPECT_EQ(Val(D(), ETHCFG_PNL_NUMR_REMOTE_PORT), oldPort + 1)
        << "the typed value stays for another try";

    // The module restarts with its old settings after a refused write.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Commit(D(), ETHCFG_PNL_PICT_WIZNET_CNF_QUIT);
    EXPECT_EQ(Visible(panels_.search), 1);
    const ConnectionEntry *after = EntryNamed("SIM-S2E 127.0.0.152");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->record.remotePort, oldPort) << "nothing was saved";
}

TEST_F(EthernetDialog, ReadRefreshesThePanelFromTheModuleOrSaysWhyNot) {
    StartLab(kConverterLab);
    ctx_.skipBaudSearch = true;
    SearchAgain(ctx_);
    Open("127.0.0.151");
    int port = Val(D(), ETHCFG_PNL_NUMR_LOCAL_PORT);
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_LOCAL_PORT, port + 1);
    Commit(D(), ETHCFG_PNL_PICT_READ_WIZNET_DEV);
    EXPECT_EQ(Status(D(), ETHCFG_PNL_STRG_COMM_STATUS),
              std::make_pair(std::string("Reading device ... OK"), 0));
    EXPECT_EQ(Val(D(), ETHCFG_PNL_NUMR_LOCAL_PORT), port);

    lab_.reset(); // the module is gone
    tk::SetCtrlVal(D(), ETHCFG_PNL_NUMR_LOCAL_PORT, port + 1);
    Commit(D(), ETHCFG_PNL_PICT_READ_WIZNET_DEV);
    auto status = Status(D(), ETHCFG_PNL_STRG_COMM_STATUS);
    EXPECT_EQ(status.second, -1);
    EXPECT_EQ(status.first.rfind("Reading device ... FAIL: ", 0), 0u) << status.first;
    EXPECT_EQ(Val(D(), ETHCFG_PNL_NUMR_LOCAL_PORT), port)
        << "refreshed from the record all the same";
    EXPECT_FALSE(ctx_.devicesChanged) << "a read is no write";
}

// Values a module must not be given are refused before anything is sent:
// no module answers at this address, so a write that went out would fail
// with the library's cause instead.
TEST_F(EthernetDialog, ABadValueIsNamedAndNothingIsSent) {
    AddEntry(NetEntry({127, 0, 0, 199}, "m", 9600));
    struct Case {
        int control, value;
        const char *status;
    } cases[] = {
        {ETHCFG_PNL_NUMR_SUBNET_MASK_1, 0, "Subnet mask: 255.0.255.0 is not a subnet mask"},
        {ETHCFG_PNL_NUMR_LOCAL_IP_2, 300, "Device IP address: part 300 is outside 0 to 255"},
        {ETHCFG_PNL_NUMR_REMOTE_IP_0, 256, "Destination IP address: part 256 is outside 0 to 255"},
        {ETHCFG_PNL_NUMR_LOCAL_PORT, 0, "Device port nbr.: 0 is not a port 1 to 65535"},
    };
    for (const Case &c : cases) {
        Open("127.0.0.199");
        const int mask[4] = {255, 255, 255, 0};
        const int maskFields[4] = {ETHCFG_PNL_NUMR_SUBNET_MASK_0, ETHCFG_PNL_NUMR_SUBNET_MASK_1,
                                   ETHCFG_PNL_NUMR_SUBNET_MASK_2, ETHCFG_PNL_NUMR_SUBNET_MASK_3};
        for (int i = 0; i < 4; ++i)
            tk::SetCtrlVal(D(), maskFields[i], mask[i]);
        tk::SetCtrlVal(D(), c.control, c.value);
        Commit(D(), ETHCFG_PNL_PICT_WRITE_WIZNET_DEV);
        EXPECT_EQ(Status(D(), ETHCFG_PNL_STRG_COMM_STATUS),
                  std::make_pair(std::string(c.status), -1));
        EXPECT_EQ(Val(D(), c.control), c.value) << "the typed value stays to be corrected";
        EXPECT_FALSE(ctx_.devicesChanged) << c.status << ": nothing was written";
        EXPECT_FALSE(ctx_.busy);
        Commit(D(), ETHCFG_PNL_PICT_WIZNET_CNF_QUIT);
    }
}
