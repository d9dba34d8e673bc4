// Converter protocol from memory: reply parsing, record mapping, write checks.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "segcp.h"

using namespace koralink::segcp;

namespace {

const Mac kMac = {0x00, 0x08, 0xDC, 0x0A, 0x0D, 0x00}; // CR and NUL inside the MAC on purpose

std::string Header(const Mac &mac = kMac) {
    std::string h = "MA";
    h.append(reinterpret_cast<const char *>(mac.data()), 6);
    return h + "\r\n";
}

std::string FullBody(const std::string &rh = "192.168.11.3") {
    return "PW \r\nMC00:08:DC:0A:0D:00\r\nVR1.4.5\r\nMNWIZ750SR\r\nSTOPEN\r\nIM0\r\nOP1\r\n"
           "LI192.168.11.2\r\nSM255.255.255.0\r\nGW192.168.11.1\r\nLP5000\r\nRP6000\r\nRH" +
           rh + "\r\nBR9\r\n";
}

bool Parse(const std::string &bytes, ModuleSettings *s, std::string *why = nullptr) {
    return ParseReply(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), s, why);
}

std::string Replace(std::string s, const std::string &from, const std::string &to) {
    size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    return s.replace(p, from.size(), to);
}

} // namespace

TEST(SegcpReply, FullReplyGivesEverySetting) {
    ModuleSettings s;
    std::string why;
    ASSERT_TRUE(Parse(Header() + FullBody(), &s, &why)) << why;
    EXPECT_EQ(s.mac, kMac) << "the MAC must be taken positionally, CR and NUL included";
    EXPECT_EQ(s.model, "WIZ750SR");
    EXPECT_EQ(s.version, "1.4.5");
    EXPECT_EQ(s.ipMode, 0);
    EXPECT_EQ(s.opMode, 1);
    EXPECT_EQ(s.localIp, (Ipv4{192, 168, 11, 2}));
    EXPECT_EQ(s.mask, (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(s.gateway, (Ipv4{192, 168, 11, 1}));
    EXPECT_EQ(s.localPort, 5000);
    EXPECT_EQ(s.remotePort, 6000);
    EXPECT_EQ(s.remoteIp, (Ipv4{192, 168, 11, 3}));
    EXPECT_TRUE(s.remoteName.empty());
    EXPECT_EQ(s.baudIndex, 9);
}

TEST(SegcpReply, ToleratesWhatModulesReallySend) {
    ModuleSettings s;
    std::string why;
    // Unknown fields and error lines are ignored; lower-case MAC text is fine;
    // lines may end in LF only.
    std::string body = Replace(FullBody(), "MC00:08:DC:0A:0D:00", "MC00:08:dc:0a:0d:00");
    body = Replace(body, "VR1.4.5\r\n", "VR1.4.5\nUNRS-232/TTL\r\nERNOTAVAIL:XX\r\n");
    ASSERT_TRUE(Parse(Header() + body, &s, &why)) << why;

    // A bootloader answers only the short list: a record without serial data.
    std::string boot = "PW \r\nMC00:08:DC:0A:0D:00\r\nVR1.0\r\nMNWIZ750SR\r\nSTBOOT\r\nIM1\r\n"
                       "OP0\r\nLI10.0.0.2\r\nSM255.0.0.0\r\nGW10.0.0.1\r\n";
    ASSERT_TRUE(Parse(Header() + boot, &s, &why)) << why;
    EXPECT_EQ(s.baudIndex, -1);
    EXPECT_EQ(s.localPort, -1);

    // Empty RH reads back as one space: no remote at all.
    ASSERT_TRUE(Parse(Header() + FullBody(" "), &s, &why)) << why;
    EXPECT_EQ(s.remoteIp, Ipv4{});
    EXPECT_TRUE(s.remoteName.empty());
}

TEST(SegcpReply, DomainNameAsRemoteHost) {
    ModuleSettings s;
    ASSERT_TRUE(Parse(Header() + FullBody("logger.plant-3.example"), &s));
    EXPECT_EQ(s.remoteName, "logger.plant-3.example");
    EXPECT_EQ(s.remoteIp, Ipv4{});
}

TEST(SegcpReply, BadRepliesAreSkippedWhole) {
    const std::string good = Header() + FullBody();
    Mac other = kMac;
    other[5] = 0x01;
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"header only", Header()},
        {"truncated header", good.substr(0, 7)},
        {"header without CR LF", "MA" + good.substr(2, 6) + "xx" + FullBody()},
        {"not MA", "XA" + good.substr(2)},
        {"MAC header not matching MC", Header(other) + FullBody()},
        {"no PW echo", Header() + FullBody().substr(5)},
        {"cut in the middle", good.substr(0, good.size() / 2)},
        {"missing LI", Replace(good, "LI192.168.11.2\r\n", "")},
        {"missing BR outside the bootloader", Replace(good, "BR9\r\n", "")},
        {"repeated field", good + "LP5001\r\n"},
        {"octet over 255", Replace(good, "LI192.168.11.2", "LI192.168.11.256")},
        {"five octets", Replace(good, "SM255.255.255.0", "SM255.255.255.0.1")},
        {"empty octet", Replace(good, "GW192.168.11.1", "GW192..11.1")},
        {"non-numeric port", Replace(good, "LP5000", "LP50x0")},
        {"negative port", Replace(good, "RP6000", "RP-1")},
        {"port over 65535", Replace(good, "LP5000", "LP65536")},
        {"huge port", Replace(good, "LP5000", "LP99999999999999999999")},
        {"IP mode 7", Replace(good, "IM0", "IM7")},
        {"op mode 9", Replace(good, "OP1", "OP9")},
        {"baud index 20", Replace(good, "BR9", "BR20")},
        {"baud index with sign", Replace(good, "BR9", "BR+9")},
        {"empty model", Replace(good, "MNWIZ750SR", "MN ")},
        {"oversized value", Replace(good, "MNWIZ750SR", "MN" + std::string(200, 'W'))},
        {"remote name with a space", Replace(good, "RH192.168.11.3", "RHmy host")},
        {"remote name too long for the record",
         Replace(good, "RH192.168.11.3", "RH" + std::string(60, 'h'))},
        {"NUL inside a value", Replace(good, "VR1.4.5", std::string("VR1.4\0.5", 8))},
        {"non-ASCII byte", Replace(good, "MNWIZ750SR", "MNWIZ\xC3\xA9")},
        {"2000-byte datagram", good + std::string(2000 - good.size(), 'A')},
    };
    for (const Case &c : cases) {
        ModuleSettings s;
        s.model = "untouched";
        EXPECT_FALSE(Parse(c.bytes, &s)) << c.what << " was accepted";
        EXPECT_EQ(s.model, "untouched") << c.what << " left a half-filled result";
    }
}

TEST(SegcpRequest, ReadRequestMatchesTheWireFormat) {
    auto f = BuildRequest(kBroadcastMac, "", {{"MC", ""}, {"LI", ""}});
    const uint8_t expected[] = {0x4D, 0x41, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0x0D, 0x0A, 0x50, 0x57, 0x20, 0x0D, 0x0A, 0x4D,
                                0x43, 0x0D, 0x0A, 0x4C, 0x49, 0x0D, 0x0A};
    ASSERT_EQ(f.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(f.data(), expected, sizeof expected), 0);
    // The full read list must stay under the size every module can answer.
    EXPECT_LT(BuildReadRequest(kBroadcastMac, "123456789").size(), 384u);
}

TEST(SegcpBaud, IndexAndRates) {
    EXPECT_EQ(BaudFromIndex(0), 300);
    EXPECT_EQ(BaudFromIndex(9), 28800) << "index 9 is 28800 baud on the module";
    EXPECT_EQ(BaudFromIndex(12), 115200);
    EXPECT_EQ(BaudFromIndex(13), 230400);
    EXPECT_EQ(BaudFromIndex(19), 8000000);
    EXPECT_EQ(BaudFromIndex(20), -1);
    EXPECT_EQ(BaudFromIndex(-1), -1);
    EXPECT_EQ(IndexFromBaud(28800), 9);
    EXPECT_EQ(IndexFromBaud(22800), 9) << "the dialog's ring label for index 9";
    EXPECT_EQ(IndexFromBaud(230400), 13);
    EXPECT_EQ(IndexFromBaud(460800), -1) << "not every module family takes index 14";
    EXPECT_EQ(IndexFromBaud(9601), -1);
}

namespace {

ConnectionRecord ParsedRecord(const std::string &rh = "192.168.11.3") {
    ModuleSettings s;
    EXPECT_TRUE(Parse(Header() + FullBody(rh), &s));
    ConnectionRecord r;
    std::memset(&r, 0, sizeof r);
    FillRecord(s, &r);
    return r;
}

} // namespace

TEST(SegcpRecord, FilledAsTheDialogExpects) {
    ConnectionRecord r = ParsedRecord();
    EXPECT_EQ(r.type, 2);
    EXPECT_EQ(r.lanState, 2);
    EXPECT_STREQ(r.typeText, "WIZ750SR 1.4.5");
    EXPECT_STREQ(r.name, "WIZ750SR 192.168.11.2");
    EXPECT_EQ(r.serialBaud, 28800);
    EXPECT_EQ(r.localIp[0], 192) << "first dotted part goes to [0]";
    EXPECT_EQ(r.localIp[3], 2);
    EXPECT_EQ(r.mac[3], 0x0A);
    EXPECT_EQ(r.remoteIp[3], 3);
    EXPECT_EQ(GetRemoteName(r), "");

    ConnectionRecord named = ParsedRecord("broker.example");
    EXPECT_EQ(GetRemoteName(named), "broker.example");
    EXPECT_EQ(named.remoteIp[0], 0);
    EXPECT_EQ(named.reserved1 & kRemoteIsName, kRemoteIsName);

    // A long model name is cut to the field, never overrunning it.
    ModuleSettings s;
    ASSERT_TRUE(
        Parse(Header() + Replace(FullBody(), "MNWIZ750SR", "MN" + std::string(60, 'M')), &s));
    FillRecord(s, &r);
    EXPECT_EQ(std::strlen(r.typeText), sizeof r.typeText - 1);
    EXPECT_EQ(std::strlen(r.name), sizeof r.name - 1);
}

TEST(SegcpRecord, ReachedAtRoundTripsAndNeedsTheMagic) {
    ConnectionRecord r;
    std::memset(&r, 0, sizeof r);
    ReachedAt at;
    EXPECT_FALSE(GetReachedAt(r, &at)) << "a zeroed record must not look reachable";
    SetReachedAt(&r, {0x7F000001, 50001});
    ASSERT_TRUE(GetReachedAt(r, &at));
    EXPECT_EQ(at.ip, 0x7F000001u);
    EXPECT_EQ(at.port, 50001);
}

TEST(SegcpWrite, ValuesTheProtocolCannotCarryAreRefused) {
    struct Case {
        const char *what;
        void (*edit)(ConnectionRecord &);
    } cases[] = {
        {"octet 256", [](ConnectionRecord &r) { r.localIp[2] = 256; }},
        {"negative octet", [](ConnectionRecord &r) { r.subnetMask[0] = -1; }},
        {"gateway octet", [](ConnectionRecord &r) { r.gateway[3] = 1000; }},
        {"remote octet", [](ConnectionRecord &r) { r.remoteIp[1] = 300; }},
        {"local port", [](ConnectionRecord &r) { r.localPort = 65536; }},
        {"remote port", [](ConnectionRecord &r) { r.remotePort = -5; }},
        {"rate", [](ConnectionRecord &r) { r.serialBaud = 250000; }},
        {"rate above the index", [](ConnectionRecord &r) { r.serialBaud = 460800; }},
        {"op mode", [](ConnectionRecord &r) { r.deviceMode = 4; }},
        {"ip mode", [](ConnectionRecord &r) { r.ipMode = 2; }},
    };
    for (const Case &c : cases) {
        ConnectionRecord r = ParsedRecord();
        c.edit(r);
        WritePlan p;
        std::string why;
        EXPECT_FALSE(PlanWrite(r, &p, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what << " refused without a cause";
    }
    // With DHCP the own address is not sent, so it is not checked either.
    ConnectionRecord r = ParsedRecord();
    r.ipMode = 1;
    r.localIp[0] = 999;
    WritePlan p;
    std::string why;
    EXPECT_TRUE(PlanWrite(r, &p, &why)) << why;
    for (const Command &c : WriteCommands(p))
        EXPECT_TRUE(c.code != "LI" || c.value.empty()) << "LI written with DHCP";
}

TEST(SegcpWrite, RemoteHostNameOrAddress) {
    ConnectionRecord r = ParsedRecord("broker.example");
    WritePlan p;
    std::string why;
    ASSERT_TRUE(PlanWrite(r, &p, &why)) << why;
    EXPECT_EQ(p.remoteHost, "broker.example") << "the kept name must be written back";
    r.remoteIp[0] = 10;
    r.remoteIp[3] = 7;
    ASSERT_TRUE(PlanWrite(r, &p, &why)) << why;
    EXPECT_EQ(p.remoteHost, "10.0.0.7") << "an address typed over the name replaces it";
}

TEST(SegcpWrite, ConfirmationComparesEveryWrittenField) {
    ConnectionRecord r = ParsedRecord();
    WritePlan p;
    std::string why;
    ASSERT_TRUE(PlanWrite(r, &p, &why)) << why;
    ModuleSettings s;
    ASSERT_TRUE(Parse(Header() + FullBody(), &s));
    EXPECT_EQ(Unconfirmed(p, s), "");
    s.localPort = 5001;
    s.baudIndex = 12;
    EXPECT_EQ(Unconfirmed(p, s), "local port, serial rate");
    ASSERT_TRUE(Parse(Header() + FullBody("192.168.11.3.example"), &s));
    EXPECT_EQ(Unconfirmed(p, s), "remote host");
}
