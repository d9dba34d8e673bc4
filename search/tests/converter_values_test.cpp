// The values a converter write may carry, and the remote host as shown.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_link.h"
#include "search/converter_values.h"

namespace {

void Set(int32_t *to, std::vector<int32_t> parts) {
    for (int i = 0; i < 4; ++i)
        to[i] = parts[i];
}

TEST(ConverterValues, TheFirstBadValueIsNamedWithItsField) {
    struct Case {
        const char *what;
        void (*edit)(ConnectionRecord *);
        bool refused;
        ConverterField field;
        const char *why;
    } cases[] = {
        {"as found", [](ConnectionRecord *) {}, false, {}, ""},
        {"mask with a hole",
         [](ConnectionRecord *r) {
             Set(r->subnetMask, {255, 0, 255, 0});
         },
         true, ConverterField::SubnetMask, "255.0.255.0 is not a subnet mask"},
        {"mask 255.255.255.128",
         [](ConnectionRecord *r) {
             Set(r->subnetMask, {255, 255, 255, 128});
         },
         false,
         {},
         ""},
        {"mask all zeros",
         [](ConnectionRecord *r) {
             Set(r->subnetMask, {0, 0, 0, 0});
         },
         false,
         {},
         ""},
        {"own address part 300", [](ConnectionRecord *r) { r->localIp[2] = 300; }, true,
         ConverterField::OwnAddress, "part 300 is outside 0 to 255"},
        {"gateway part -1", [](ConnectionRecord *r) { r->gateway[0] = -1; }, true,
         ConverterField::Gateway, "part -1 is outside 0 to 255"},
        {"DHCP: addresses are not sent",
         [](ConnectionRecord *r) {
             r->ipMode = 1;
             Set(r->subnetMask, {255, 0, 255, 0});
             r->localIp[0] = 999;
         },
         false,
         {},
         ""},
        {"local port 0", [](ConnectionRecord *r) { r->localPort = 0; }, true,
         ConverterField::LocalPort, "0 is not a port 1 to 65535"},
        {"local port 65536", [](ConnectionRecord *r) { r->localPort = 65536; }, true,
         ConverterField::LocalPort, "65536 is not a port 1 to 65535"},
        {"remote part 256", [](ConnectionRecord *r) { r->remoteIp[3] = 256; }, true,
         ConverterField::RemoteHost, "part 256 is outside 0 to 255"},
        {"client, remote port 0",
         [](ConnectionRecord *r) {
             r->deviceMode = 0;
             r->remotePort = 0;
         },
         true, ConverterField::RemotePort, "0 is not a port 1 to 65535"},
        {"server, remote port 0 (unused, not editable)",
         [](ConnectionRecord *r) { r->remotePort = 0; },
         false,
         {},
         ""},
    };
    for (const Case &c : cases) {
        ConnectionRecord r = LanRecord("Conv", 192, 168, 0, 20, 5000);
        r.deviceMode = 1;
        r.remotePort = 7000;
        c.edit(&r);
        auto fault = CheckConverterValues(r);
        ASSERT_EQ(fault.has_value(), c.refused) << c.what;
        if (fault) {
            EXPECT_EQ(fault->field, c.field) << c.what;
            EXPECT_EQ(fault->why, c.why) << c.what;
        }
    }
}

TEST(ConverterValues, RemoteHostIsTheNameTheLibraryKept) {
    struct Case {
        bool magic, flag;
        const char *name;
        std::vector<int32_t> address;
        const char *shown;
    } cases[] = {
        {true, true, "plant.example", {0, 0, 0, 0}, "plant.example"},
        {true, false, "plant.example", {0, 0, 0, 0}, "0.0.0.0"},
        {false, true, "plant.example", {0, 0, 0, 0}, "0.0.0.0"},
        {true, true, "", {0, 0, 0, 0}, "0.0.0.0"},
    };
    for (const Case &c : cases) {
        ConnectionRecord r = LanRecord("Conv", 192, 168, 0, 20, 5000);
        if (c.magic)
            std::memcpy(r.reserved0, "KLN\1", 4);
        r.reserved1 = c.flag ? 1 : 0;
        std::strcpy(reinterpret_cast<char *>(r.reserved0 + 12), c.name);
        Set(r.remoteIp, c.address);
        EXPECT_EQ(ConverterRemoteHost(r), c.shown) << c.name;
    }
    ConnectionRecord unterminated = LanRecord("Conv", 192, 168, 0, 20, 5000);
    std::memcpy(unterminated.reserved0, "KLN\1", 4);
    unterminated.reserved1 = 1;
    std::memset(unterminated.reserved0 + 12, 'a', sizeof unterminated.reserved0 - 12);
    EXPECT_EQ(ConverterRemoteHost(unterminated), "0.0.0.0");
}

} // namespace
