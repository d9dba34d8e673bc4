// Discovery, read and write against simulated converters on loopback.
//
// Every test runs its own fleet on an ephemeral port and points
// KORALINK_LAN_TARGETS at that port, so tests running in parallel never see
// each other's modules.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "converter_sim.h"
#include "frame.h"
#include "lan.h"
#include "segcp.h"
#include "support/textutil.h"

using koralink::AccessLanDevice;
using koralink::LastLanError;
using koralink::SearchLan;

namespace {

// A TCP port free on addr right now, for a module's data port.
int FreeTcpPort(const char *addr) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, addr, &a.sin_addr);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

sim::ConverterConfig Module(uint8_t last, const std::string &ip, int localPort = 5000) {
    sim::ConverterConfig c;
    c.mac = {0x00, 0x08, 0xDC, 0x00, 0x00, last};
    c.fields = {
        {"LI", ip},     {"SM", "255.0.0.0"}, {"GW", "127.0.0.1"}, {"LP", std::to_string(localPort)},
        {"RP", "6000"}, {"RH", "127.0.0.1"}, {"OP", "1"},         {"BR", "12"}};
    c.bootMs = 200;
    c.sensor.serial = 40000u + last;
    c.sensor.version = "SIM-SENSOR " + std::to_string(last);
    return c;
}

class LanLab : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KORALINK_LAN_WINDOW_MS", "400", 1);
        setenv("KORALINK_LAN_QUIET_MS", "100", 1);
        setenv("KORALINK_LAN_ACCESS_MS", "600", 1);
        setenv("KORALINK_LAN_REBOOT_MS", "3000", 1);
        unsetenv("KORALINK_LAN_DIRECT");
        unsetenv("KORALINK_LAN_SEARCH_ID");
        list_ = ListCreate(sizeof(ConnectionRecord));
    }
    void TearDown() override { ListDispose(list_); }

    void Start(sim::ConverterFleet::Options options = {}) {
        fleet_ = std::make_unique<sim::ConverterFleet>(options);
        for (auto &c : modules_)
            fleet_->Add(c);
        std::string why;
        ASSERT_TRUE(fleet_->Start(&why)) << why;
        target_ = "127.255.255.255:" + std::to_string(fleet_->port());
        setenv("KORALINK_LAN_TARGETS", target_.c_str(), 1);
    }

    std::vector<ConnectionRecord> Search(int expectResult) {
        ListClear(list_);
        EXPECT_EQ(SearchLan(&list_), expectResult) << LastLanError();
        std::vector<ConnectionRecord> out(static_cast<size_t>(ListNumItems(list_)));
        for (size_t i = 0; i < out.size(); ++i)
            ListGetItem(list_, &out[i], static_cast<int>(i + 1));
        return out;
    }

    std::vector<sim::ConverterConfig> modules_;
    std::unique_ptr<sim::ConverterFleet> fleet_;
    std::string target_;
    ListType list_ = nullptr;
};

void ExpectIp(const int32_t *field, int a, int b, int c, int d, const char *what) {
    EXPECT_EQ(field[0], a) << what;
    EXPECT_EQ(field[1], b) << what;
    EXPECT_EQ(field[2], c) << what;
    EXPECT_EQ(field[3], d) << what;
}

} // namespace

TEST_F(LanLab, ThreeModulesFoundWithEveryFieldRight) {
    modules_ = {Module(0x23, "127.0.0.23"), Module(0x21, "127.0.0.21"), Module(0x22, "127.0.0.22")};
    modules_[1].model = "WIZ750SR-100";
    modules_[1].version = "1.4.4";
    modules_[1].fields["IM"] = "1";
    modules_[1].fields["OP"] = "0";
    modules_[2].fields["BR"] = "9";
    modules_[2].fields["GW"] = "127.0.0.254";
    modules_[2].fields["SM"] = "255.255.255.0";
    modules_[2].fields["LP"] = "5022";
    modules_[2].fields["RP"] = "7022";
    modules_[2].fields["RH"] = "127.0.0.99";
    Start();
    auto found = Search(3);
    ASSERT_EQ(found.size(), 3u);

    // Listed by address, whatever the order of the replies.
    const ConnectionRecord &a = found[0];
    EXPECT_EQ(a.type, KORALINK_TYPE_LAN);
    EXPECT_EQ(a.lanState, 2);
    EXPECT_STREQ(a.typeText, "WIZ750SR-100 1.4.4");
    EXPECT_STREQ(a.name, "WIZ750SR-100 127.0.0.21");
    EXPECT_STREQ(a.sensorText, "") << "the sensor is identified later, by the search engine";
    EXPECT_EQ(a.ipMode, 1);
    EXPECT_EQ(a.deviceMode, 0);
    const int mac21[6] = {0x00, 0x08, 0xDC, 0x00, 0x00, 0x21};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(a.mac[i], mac21[i]) << "mac byte " << i;

    const ConnectionRecord &b = found[1];
    EXPECT_STREQ(b.typeText, "WIZ750SR 1.4.5");
    EXPECT_STREQ(b.name, "WIZ750SR 127.0.0.22");
    ExpectIp(b.localIp, 127, 0, 0, 22, "own address");
    ExpectIp(b.subnetMask, 255, 255, 255, 0, "mask");
    ExpectIp(b.gateway, 127, 0, 0, 254, "gateway");
    ExpectIp(b.remoteIp, 127, 0, 0, 99, "remote");
    EXPECT_EQ(b.localPort, 5022);
    EXPECT_EQ(b.remotePort, 7022);
    EXPECT_EQ(b.serialBaud, 28800) << "BR 9 is 28800 baud";
    EXPECT_EQ(b.deviceMode, 1);
    EXPECT_EQ(b.ipMode, 0);

    EXPECT_EQ(found[2].serialBaud, 115200);
    EXPECT_EQ(found[2].mac[5], 0x23);
}

TEST_F(LanLab, DuplicateRepliesCollapseToOneRecordPerModule) {
    modules_ = {Module(0x31, "127.0.0.31"), Module(0x32, "127.0.0.32")};
    modules_[0].faults.duplicates = 3;
    Start();
    // The same fleet reached twice, by broadcast and by unicast.
    std::string twice = target_ + ",127.0.0.1:" + std::to_string(fleet_->port());
    setenv("KORALINK_LAN_TARGETS", twice.c_str(), 1);
    auto found = Search(2);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].mac[5], found[1].mac[5]);
}

TEST_F(LanLab, ModulesOnOneFactoryAddressAreTwoRecords) {
    // Fresh modules all come up on the same default address; only the MAC
    // tells them apart, and each must stay reachable for configuration.
    modules_ = {Module(0x34, "127.0.0.30"), Module(0x33, "127.0.0.30")};
    Start();
    auto found = Search(2);
    ASSERT_EQ(found.size(), 2u) << "two modules on one address were taken for one";
    EXPECT_EQ(found[0].mac[5], 0x33) << "same address: listed by MAC";
    EXPECT_EQ(found[1].mac[5], 0x34);
    found[0].localIp[3] = 35;
    ASSERT_GE(AccessLanDevice(&found[0], 2), 1) << LastLanError();
    EXPECT_EQ(fleet_->Saved(1, "LI"), "127.0.0.35");
    EXPECT_EQ(fleet_->Saved(0, "LI"), "127.0.0.30") << "the other module was written";
}

TEST_F(LanLab, RepliesBeyondTheLimitAreDroppedAndSaidSo) {
    for (uint8_t i = 0; i < 6; ++i) {
        modules_.push_back(Module(static_cast<uint8_t>(0xD0 + i), "127.0.0.130"));
        modules_.back().fields["OP"] = "0"; // no data port: they share one address
    }
    Start();
    setenv("KORALINK_LAN_MAX_MODULES", "4", 1);
    auto found = Search(4);
    EXPECT_EQ(found.size(), 4u);
    EXPECT_NE(std::string(LastLanError()).find("more than 4 converters answered"),
              std::string::npos)
        << LastLanError();
    unsetenv("KORALINK_LAN_MAX_MODULES");
    EXPECT_EQ(Search(6).size(), 6u);
    EXPECT_STREQ(LastLanError(), "");
}

TEST_F(LanLab, UnusableTimingsFallBackInsteadOfSwitchingDiscoveryOff) {
    modules_ = {Module(0x3A, "127.0.0.58")};
    Start();
    for (const char *name : {"KORALINK_LAN_WINDOW_MS", "KORALINK_LAN_QUIET_MS"}) {
        setenv(name, "abc", 1);
        EXPECT_EQ(Search(1).size(), 1u) << name << "=abc";
        unsetenv(name);
    }
}

TEST_F(LanLab, DomainNameAsRemoteHostKeptBesideTheRecord) {
    modules_ = {Module(0x41, "127.0.0.41")};
    modules_[0].fields["RH"] = "logger.example";
    Start();
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    ExpectIp(found[0].remoteIp, 0, 0, 0, 0, "a name leaves the address empty");
    EXPECT_EQ(koralink::segcp::GetRemoteName(found[0]), "logger.example");

    // Writing the record back unchanged keeps the name on the module.
    found[0].localPort = 5041;
    ASSERT_GE(AccessLanDevice(&found[0], 2), 1) << LastLanError();
    EXPECT_EQ(fleet_->Saved(0, "RH"), "logger.example");
}

TEST_F(LanLab, FaithfulModeRepliesByBroadcast) {
    modules_ = {Module(0x51, "127.0.0.51")};
    sim::ConverterFleet::Options o;
    o.faithful = true; // replies to 127.255.255.255:<request source port>
    Start(o);
    EXPECT_EQ(Search(1).size(), 1u);
}

TEST_F(LanLab, DirectAddressOnAnotherSubnetIsAskedByUnicast) {
    modules_ = {Module(0x61, "127.0.0.61")};
    sim::ConverterFleet::Options o;
    o.broadcastIp.clear(); // no broadcast reaches this one
    Start(o);
    EXPECT_EQ(Search(0).size(), 0u) << "the broadcast must not reach it";
    std::string direct = "127.0.0.1:" + std::to_string(fleet_->port());
    setenv("KORALINK_LAN_DIRECT", direct.c_str(), 1);
    EXPECT_EQ(Search(1).size(), 1u);
}

TEST_F(LanLab, SilentLateAndMalformedModulesAreLeftOut) {
    modules_ = {Module(0x71, "127.0.0.71"), Module(0x72, "127.0.0.72"), Module(0x73, "127.0.0.73"),
                Module(0x74, "127.0.0.74")};
    modules_[1].faults.silent = true;
    modules_[2].faults.replyDelayMs = 3000; // after the window
    modules_[3].faults.malformed = true;
    Start();
    setenv("KORALINK_LAN_WINDOW_MS", "500", 1);
    auto t0 = std::chrono::steady_clock::now();
    auto found = Search(1);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mac[5], 0x71);
    // Not a speed figure: a search that waited for the late module would take
    // 3 s; the window is 0.5 s.
    EXPECT_LT(ms, 2500) << "the search waited for a module past its window";
}

TEST_F(LanLab, SearchEndsOnceRepliesStop) {
    modules_ = {Module(0x75, "127.0.0.75")};
    Start();
    setenv("KORALINK_LAN_WINDOW_MS", "8000", 1);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Search(1).size(), 1u);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_LT(ms, 5000) << "the quiet time did not end the collection early";
}

TEST_F(LanLab, ResultCodes) {
    modules_ = {Module(0x76, "127.0.0.76")};
    Start();
    EXPECT_EQ(SearchLan(nullptr), -2);
    ListType wrong = ListCreate(10);
    EXPECT_EQ(SearchLan(&wrong), -2) << "a list of another item size would be overrun";
    ListDispose(wrong);
    EXPECT_EQ(std::string(LastLanError()), "no list for the converters found");
    // (An unusable target list is no failure any more: it is named and the
    // default used, which would broadcast beyond loopback; see
    // LanConfigEnv.UnusableValuesAreNamedAndReplacedByTheDefault.)
}

TEST_F(LanLab, ReadRefreshesTheRecord) {
    modules_ = {Module(0x81, "127.0.0.81")};
    Start();
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    ConnectionRecord r = found[0];
    CopyText(r.sensorText, "kept");
    fleet_->With(0, [](sim::ConverterModule &m) {
        std::string f = "MA";
        f.append(reinterpret_cast<const char *>(m.config().mac.data()), 6);
        f += "\r\nPW \r\nLP5081\r\nBR11\r\n";
        m.Handle(reinterpret_cast<const uint8_t *>(f.data()), f.size());
    });
    ASSERT_GE(AccessLanDevice(&r, 1), 1) << LastLanError();
    EXPECT_EQ(r.localPort, 5081);
    EXPECT_EQ(r.serialBaud, 57600);
    EXPECT_STREQ(r.sensorText, "kept") << "fields the module does not report must stay";

    fleet_->With(0, [](sim::ConverterModule &m) { m.config().faults.silent = true; });
    ConnectionRecord before = r;
    EXPECT_LT(AccessLanDevice(&r, 1), 1);
    EXPECT_NE(std::string(LastLanError()), "");
    EXPECT_EQ(std::memcmp(&before, &r, sizeof r), 0) << "a failed read changed the record";
}

TEST_F(LanLab, WriteIsConfirmedSavedAndSurvivesTheRestart) {
    modules_ = {Module(0x91, "127.0.0.91"), Module(0x92, "127.0.0.92")};
    Start();
    auto found = Search(2);
    ASSERT_EQ(found.size(), 2u);
    ConnectionRecord r = found[0];
    r.localPort = 5091;
    r.remotePort = 7091;
    r.remoteIp[3] = 9;
    r.serialBaud = 22800; // as the dialog's ring names index 9
    r.deviceMode = 2;
    r.localIp[3] = 191; // a new own address
    ASSERT_GE(AccessLanDevice(&r, 2), 1) << LastLanError();

    EXPECT_EQ(fleet_->Saved(0, "LP"), "5091");
    EXPECT_EQ(fleet_->Saved(0, "RP"), "7091");
    EXPECT_EQ(fleet_->Saved(0, "RH"), "127.0.0.9");
    EXPECT_EQ(fleet_->Saved(0, "BR"), "9");
    EXPECT_EQ(fleet_->Saved(0, "OP"), "2");
    EXPECT_EQ(fleet_->Saved(0, "LI"), "127.0.0.191");
    EXPECT_EQ(fleet_->Reboots(0), 1);
    EXPECT_FALSE(fleet_->Booting(0)) << "the write returned before the module was back";
    EXPECT_EQ(fleet_->Saved(1, "LP"), "5000") << "another module was written";
    EXPECT_EQ(fleet_->Reboots(1), 0);

    EXPECT_EQ(r.serialBaud, 28800) << "the record shows the confirmed rate";
    EXPECT_STREQ(r.name, "WIZ750SR 127.0.0.191");
    auto again = Search(2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].localPort, 5091) << "the next search does not see the written value";
    EXPECT_EQ(again[1].localIp[3], 191);
}

TEST_F(LanLab, InvalidValueIsRefusedBeforeAnythingIsSent) {
    modules_ = {Module(0xA1, "127.0.0.101")};
    Start();
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    int seen = fleet_->datagrams();
    for (int variant = 0; variant < 3; ++variant) {
        ConnectionRecord r = found[0];
        if (variant == 0)
            r.gateway[1] = 256;
        if (variant == 1)
            r.remotePort = 70000;
        if (variant == 2)
            r.serialBaud = 12345;
        EXPECT_LT(AccessLanDevice(&r, 2), 1) << "variant " << variant;
        EXPECT_NE(std::string(LastLanError()), "");
    }
    EXPECT_EQ(fleet_->datagrams(), seen) << "a refused write still sent something";
    EXPECT_EQ(fleet_->Reboots(0), 0);
}

TEST_F(LanLab, UnconfirmedWriteIsAFailure) {
    modules_ = {Module(0xB1, "127.0.0.111")};
    modules_[0].faults.ignoreWrites = true;
    Start();
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    ConnectionRecord r = found[0];
    r.localPort = 5111;
    EXPECT_LT(AccessLanDevice(&r, 2), 1) << "a write the module did not take was reported done";
    EXPECT_NE(std::string(LastLanError()).find("local port"), std::string::npos) << LastLanError();
    // Caught before the save: a module that took only some values must not
    // keep that half-written state.
    EXPECT_NE(std::string(LastLanError()).find("nothing was saved"), std::string::npos)
        << LastLanError();
    EXPECT_EQ(fleet_->Saved(0, "LP"), "5000");
}

TEST_F(LanLab, ModuleNotBackAfterRestartIsAFailure) {
    modules_ = {Module(0xB2, "127.0.0.112")};
    modules_[0].bootMs = 3000;
    Start();
    setenv("KORALINK_LAN_REBOOT_MS", "400", 1);
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    found[0].localPort = 5112;
    EXPECT_LT(AccessLanDevice(&found[0], 2), 1);
    EXPECT_NE(std::string(LastLanError()).find("restart"), std::string::npos) << LastLanError();
}

TEST_F(LanLab, SensorBehindAConverterAnswersOnTheDataPort) {
    int port = FreeTcpPort("127.0.0.121");
    modules_ = {Module(0xC1, "127.0.0.121", port)};
    Start();
    auto found = Search(1);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(found[0].localPort, port);

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.121", &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0)
        << "the converter's data port is not open";
    koralink::Frame req;
    req.command = KORALINK_CMD_LINE_OK;
    uint8_t out[koralink::kMaxFrame];
    size_t n = koralink::EncodeFrame(req, out);
    ASSERT_EQ(write(fd, out, n), static_cast<ssize_t>(n));
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    koralink::FrameDecoder dec;
    koralink::Frame ans;
    bool got = false;
    uint8_t in[512];
    while (!got) {
        ssize_t k = read(fd, in, sizeof in);
        ASSERT_GT(k, 0) << "no answer from the sensor behind the converter";
        dec.Feed(in, static_cast<size_t>(k), &ans, &got);
    }
    close(fd);
    EXPECT_EQ(ans.kind, koralink::FrameKind::Answer);
    EXPECT_EQ(ans.parameter, 40000u + 0xC1);
}
