// Discovery configuration from the environment.
#include <cstdlib>

#include <gtest/gtest.h>

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
    LanConfig c;
    std::string why;
    ASSERT_TRUE(LoadLanConfig(&c, &why)) << why;
    ASSERT_EQ(c.targets.size(), 2u);
    EXPECT_EQ(c.targets[1], (UdpEndpoint{0x7F000009, 50001}));
    EXPECT_EQ(c.windowMs, 500);
    EXPECT_EQ(c.quietMs, 100);

    setenv("KORALINK_LAN_QUIET_MS", "soon", 1);
    EXPECT_FALSE(LoadLanConfig(&c, &why)) << "a garbled time must not silently become a default";
    unsetenv("KORALINK_LAN_QUIET_MS");
    setenv("KORALINK_LAN_SEARCH_ID", "far too long id", 1);
    EXPECT_FALSE(LoadLanConfig(&c, &why));
    unsetenv("KORALINK_LAN_SEARCH_ID");
    unsetenv("KORALINK_LAN_DIRECT");
    unsetenv("KORALINK_LAN_WINDOW_MS");
}
