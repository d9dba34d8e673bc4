// Discovery configuration from the environment.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include "config.h"
#include "lanconfig.h"

using namespace koralink;

TEST(LanTargets, HostAndPortList) {
    std::vector<UdpEndpoint> t;
    std::string why;
    ASSERT_TRUE(ParseTargetList("127.255.255.255, 127.0.0.5:6000,127.0.0.5:6000", &t, &why)) << why;
    ASSERT_EQ(t.size(), 2u) << "a repeated target would be asked twice";
    EXPECT_EQ(t[0], (UdpEndpoint{0x7FFFFFFF, 50001})) << "the port defaults to 50001";
    EXPECT_EQ(t[1], (UdpEndpoint{0x7F000005, 6000}));
}

TEST(LanTargets, BadEntriesAreReported) {
    for (const char *bad : {"", "127.0.0.1,", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:x",
                            "127.0.0.1:", ":5000", "0.0.0.0"}) {
        std::vector<UdpEndpoint> t;
        std::string why;
        EXPECT_FALSE(ParseTargetList(bad, &t, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

TEST(LanConfigEnv, DirectAddressesAddToTheTargets) {
    setenv("KORALINK_LAN_TARGETS", "127.255.255.255:7000", 1);
    setenv("KORALINK_LAN_DIRECT", "127.0.0.9", 1);
    setenv("KORALINK_LAN_WINDOW_MS", "500", 1);
    LanConfig c = LoadLanConfig();
    ASSERT_EQ(c.targets.size(), 2u);
    EXPECT_EQ(c.targets[1], (UdpEndpoint{0x7F000009, 50001}));
    EXPECT_EQ(c.windowMs, 500);
    EXPECT_EQ(c.quietMs, 100);
    EXPECT_EQ(c.maxModules, 256u);
    unsetenv("KORALINK_LAN_DIRECT");
    unsetenv("KORALINK_LAN_WINDOW_MS");
}

TEST(LanConfigEnv, UnusableValuesAreNamedAndReplacedByTheDefault) {
    // A garbled value used to switch discovery off without a word.
    const char *saved = std::getenv("KORALINK_LAN_TARGETS");
    const std::string before = saved ? saved : "";
    setenv("KORALINK_LAN_TARGETS", "127.255.255.255:7000", 1);
    const struct {
        const char *name, *value;
        const char *warning; // after "koralink: <name>=<value> "
        std::function<bool(const LanConfig &)> usesDefault;
    } cases[] = {
        {"KORALINK_LAN_QUIET_MS", "soon", "is not a number of milliseconds; using 100",
         [](const LanConfig &c) { return c.quietMs == 100; }},
        {"KORALINK_LAN_WINDOW_MS", "5", "is outside 10..10000 ms; using 300",
         [](const LanConfig &c) { return c.windowMs == 300; }},
        {"KORALINK_LAN_MAX_MODULES", "0", "is outside 1..65535; using 256",
         [](const LanConfig &c) { return c.maxModules == 256; }},
        {"KORALINK_LAN_SEARCH_ID", "far too long id",
         "cannot be used (at most 9 printable characters without spaces); using no search id",
         [](const LanConfig &c) { return c.searchId.empty(); }},
        {"KORALINK_LAN_DIRECT", "127.0.0.9,",
         "cannot be used (empty entry in the converter "
         "target list); using no direct addresses",
         [](const LanConfig &c) { return c.targets.size() == 1; }},
        {"KORALINK_LAN_TARGETS", ":",
         "cannot be used (bad port in converter target \":\"); "
         "using the broadcast address of every interface",
         [](const LanConfig &c) {
             return std::none_of(c.targets.begin(), c.targets.end(),
                                 [](const UdpEndpoint &e) { return e.port == 7000; });
         }},
    };
    for (const auto &c : cases) {
        setenv(c.name, c.value, 1);
        const std::string warning =
            std::string("koralink: ") + c.name + "=" + c.value + " " + c.warning + "\n";
        testing::internal::CaptureStderr();
        LanConfig first = LoadLanConfig();
        LanConfig second = LoadLanConfig();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), warning) << "said once, in these words";
        EXPECT_TRUE(c.usesDefault(first) && c.usesDefault(second)) << c.name;
        EXPECT_NE(SettingWarnings().find(warning), std::string::npos) << SettingWarnings();
        unsetenv(c.name);
        if (std::string(c.name) == "KORALINK_LAN_TARGETS")
            setenv(c.name, "127.255.255.255:7000", 1);
    }
    if (saved)
        setenv("KORALINK_LAN_TARGETS", before.c_str(), 1);
    else
        unsetenv("KORALINK_LAN_TARGETS");
}
