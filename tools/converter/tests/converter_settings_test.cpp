// The converter command's KEY=VALUE words and what it prints.
#include <gtest/gtest.h>

#include <cstring>

#include "converter_settings.h"

namespace {

ConnectionRecord Module() {
    ConnectionRecord r;
    std::memset(&r, 0, sizeof r);
    r.type = KORALINK_TYPE_LAN;
    std::strcpy(r.typeText, "SIM-S2E 1.4.5");
    const int mac[6] = {0x00, 0x08, 0xDC, 0x00, 0x0A, 0xFF};
    const int ip[4] = {192, 168, 11, 2}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 11, 1},
              remote[4] = {192, 168, 11, 3};
    for (int i = 0; i < 6; ++i)
        r.mac[i] = mac[i];
    for (int i = 0; i < 4; ++i)
        r.localIp[i] = ip[i], r.subnetMask[i] = mask[i], r.gateway[i] = gw[i],
        r.remoteIp[i] = remote[i];
    r.localPort = 5000;
    r.remotePort = 5001;
    r.deviceMode = 1;
    r.serialBaud = 28800;
    return r;
}

} // namespace

TEST(ConverterSetting, GoodWordsChangeTheirFieldOnly) {
    struct Case {
        const char *word;
        void (*check)(const ConnectionRecord &);
    } cases[] = {
        {"ip-mode=dhcp", [](const ConnectionRecord &r) { EXPECT_EQ(r.ipMode, 1); }},
        {"op-mode=udp", [](const ConnectionRecord &r) { EXPECT_EQ(r.deviceMode, 3); }},
        {"op-mode=client", [](const ConnectionRecord &r) { EXPECT_EQ(r.deviceMode, 0); }},
        {"ip=10.0.0.255", [](const ConnectionRecord &r) { EXPECT_EQ(r.localIp[3], 255); }},
        {"mask=255.255.0.0", [](const ConnectionRecord &r) { EXPECT_EQ(r.subnetMask[2], 0); }},
        {"mask=0.0.0.0", [](const ConnectionRecord &r) { EXPECT_EQ(r.subnetMask[0], 0); }},
        {"gateway=10.0.0.1", [](const ConnectionRecord &r) { EXPECT_EQ(r.gateway[0], 10); }},
        {"remote-host=127.0.0.9", [](const ConnectionRecord &r) { EXPECT_EQ(r.remoteIp[3], 9); }},
        {"local-port=65535", [](const ConnectionRecord &r) { EXPECT_EQ(r.localPort, 65535); }},
        {"remote-port=1", [](const ConnectionRecord &r) { EXPECT_EQ(r.remotePort, 1); }},
        {"baud=28800", [](const ConnectionRecord &r) { EXPECT_EQ(r.serialBaud, 28800); }},
        {"baud=300", [](const ConnectionRecord &r) { EXPECT_EQ(r.serialBaud, 300); }},
    };
    for (const Case &c : cases) {
        ConverterEdit edit;
        std::string why;
        ASSERT_TRUE(ParseSetting(c.word, &edit, &why)) << c.word << ": " << why;
        ConnectionRecord r = Module(), before = Module();
        ApplyEdit(edit, &r);
        c.check(r);
        // Everything the word does not name stays; compare the printed form
        // with the one line the word changes taken out.
        std::string key = std::string(c.word).substr(0, std::string(c.word).find('='));
        auto without = [&](const ConnectionRecord &x) {
            std::string text = ConverterSettingsText(x), out;
            for (size_t at = 0, end; at < text.size(); at = end + 1) {
                end = text.find('\n', at);
                std::string line = text.substr(at, end - at);
                if (line.rfind(key + "=", 0) != 0)
                    out += line + "\n";
            }
            return out;
        };
        EXPECT_EQ(without(r), without(before)) << c.word;
    }
}

TEST(ConverterSetting, BadWordsAreRefusedNamingTheKey) {
    const char *cases[] = {
        "ip=192.168.1",
        "ip=192.168.1.256",
        "ip=1.2.3.4.5",
        "ip= 1.2.3.4",
        "ip=1..2.3",
        "ip=0001.2.3.4",
        "mask=255.0.255.0",
        "mask=255.255.255.1",
        "gateway=router",
        "remote-host=plant.example",
        "local-port=0",
        "local-port=65536",
        "remote-port=-1",
        "remote-port=12ab",
        "baud=22800",
        "baud=460800",
        "baud=",
        "ip-mode=DHCP",
        "ip-mode=pppoe",
        "op-mode=server ",
        "op-mode=4",
        "mac=00:08:DC:00:00:01",
        "model=X",
        "speed=9600",
        "ip",
        "=1",
    };
    for (const char *word : cases) {
        ConverterEdit edit;
        std::string why;
        EXPECT_FALSE(ParseSetting(word, &edit, &why)) << word;
        std::string key = std::string(word).substr(0, std::string(word).find('='));
        if (!key.empty()) {
            EXPECT_EQ(why.rfind(key + ": ", 0), 0u) << word << " -> " << why;
        }
        EXPECT_TRUE(edit.Empty()) << word;
    }
}

TEST(ConverterSetting, AKeyGivenTwiceIsRefused) {
    ConverterEdit edit;
    std::string why;
    ASSERT_TRUE(ParseSetting("remote-port=7000", &edit, &why));
    EXPECT_FALSE(ParseSetting("remote-port=7001", &edit, &why));
    EXPECT_EQ(why, "remote-port: given twice");
    EXPECT_EQ(*edit.remotePort, 7000);
}

// A write cannot carry a rate outside the table: the module keeps it when
// the user did not ask for another.
TEST(ConverterSetting, ARateTheWriteCannotCarryIsLeftToTheModule) {
    struct Case {
        int32_t reported;
        const char *word;
        int32_t sent;
    } cases[] = {{460800, "remote-port=7000", -1},
                 {-1, "remote-port=7000", -1},
                 {28800, "remote-port=7000", 28800},
                 {460800, "baud=57600", 57600}};
    for (const Case &c : cases) {
        ConverterEdit edit;
        std::string why;
        ASSERT_TRUE(ParseSetting(c.word, &edit, &why));
        ConnectionRecord r = Module();
        r.serialBaud = c.reported;
        ApplyEdit(edit, &r);
        EXPECT_EQ(r.serialBaud, c.sent) << c.reported << " " << c.word;
    }
}

TEST(ConverterOutput, TextListLineAndJson) {
    ConnectionRecord r = Module();
    EXPECT_EQ(ConverterListLine(r),
              "192.168.11.2 00:08:DC:00:0A:FF SIM-S2E 1.4.5 server 5000 28800\n");
    EXPECT_EQ(ConverterSettingsText(r),
              "mac=00:08:DC:00:0A:FF\nmodel=SIM-S2E\nfirmware=1.4.5\nip-mode=static\n"
              "ip=192.168.11.2\nmask=255.255.255.0\ngateway=192.168.11.1\nlocal-port=5000\n"
              "op-mode=server\nremote-host=192.168.11.3\nremote-port=5001\nbaud=28800\n");
    r.serialBaud = -1;
    r.deviceMode = 5;
    std::string json = ConverterJson(r);
    EXPECT_NE(json.find("\"baud\":null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"op-mode\":\"5\""), std::string::npos) << "unknown modes as numbers";
    EXPECT_NE(json.find("\"local-port\":5000"), std::string::npos) << json;

    // A remote host that is a name, as the library keeps it.
    std::memcpy(r.reserved0, "KLN\1", 4);
    std::strcpy(reinterpret_cast<char *>(r.reserved0 + 12), "logger.plant.example");
    r.reserved1 = 1;
    EXPECT_NE(ConverterSettingsText(r).find("remote-host=logger.plant.example\n"),
              std::string::npos);
}
