// The COM-number rule and the display names.
#include "portenum.h"

#include <gtest/gtest.h>

using koralink::PortInfo;

namespace {
std::vector<PortInfo> Unnumbered(size_t count) {
    return std::vector<PortInfo>(count);
}
} // namespace

TEST(ComNumberRule, SerialLinesCountFromComOne) {
    EXPECT_EQ(koralink::SerialLineComNumber(0), 1);
    EXPECT_EQ(koralink::SerialLineComNumber(254), 255);
    EXPECT_EQ(koralink::SerialLineComNumber(255), 0) << "COM256 does not exist";
    EXPECT_EQ(koralink::SerialLineComNumber(-1), 0);
}

TEST(ComNumberRule, UsbKeyPrefersSerialAndTellsInterfacesApart) {
    EXPECT_EQ(koralink::UsbStableKey(0x403, 0x6001, "A10K5T3Q", "1-2", 0),
              "serial:0403:6001:A10K5T3Q:0");
    EXPECT_EQ(koralink::UsbStableKey(0x2341, 0x43, "", "1-6", 0), "path:1-6:0");
    EXPECT_NE(koralink::UsbStableKey(0x403, 0x6010, "FT1", "1-2", 0),
              koralink::UsbStableKey(0x403, 0x6010, "FT1", "1-2", 1));
    // The worked example of docs/com-numbers.md.
    EXPECT_EQ(koralink::Fnv1a32("serial:0403:6001:A10K5T3Q:0"), 3326533799u);
    EXPECT_EQ(koralink::UsbPreferredComNumber("serial:0403:6001:A10K5T3Q:0"), 239);
}

TEST(ComNumberRule, PreferredNumbersStayInTheUsbRange) {
    for (int i = 0; i < 2000; ++i) {
        int n = koralink::UsbPreferredComNumber("key" + std::to_string(i));
        ASSERT_GE(n, koralink::kFirstUsbComNumber);
        ASSERT_LE(n, 255);
    }
}

TEST(ComNumberRule, CollisionsTakeTheNextFreeNumberInKeyOrder) {
    // Find two keys with the same preferred number, and one preferring 255.
    std::string a, b, top;
    for (int i = 0; i < 100000 && (b.empty() || top.empty()); ++i) {
        std::string key = "k" + std::to_string(i);
        int n = koralink::UsbPreferredComNumber(key);
        if (n == 255 && top.empty()) {
            top = key;
        } else if (n == 100 && a.empty()) {
            a = key;
        } else if (n == 100 && b.empty()) {
            b = key;
        }
    }
    ASSERT_FALSE(b.empty());
    ASSERT_FALSE(top.empty());
    std::vector<PortInfo> ports = Unnumbered(4);
    ports[3].comNumber = 101; // a serial line already has COM101
    // Listed in reverse key order: the result must not depend on it.
    std::vector<std::string> keys = {b < a ? a : b, b < a ? b : a, top, ""};
    koralink::AssignUsbComNumbers(ports, keys);
    EXPECT_EQ(ports[1].comNumber, 100) << "the smaller key wins its preferred number";
    EXPECT_EQ(ports[0].comNumber, 102) << "COM101 is taken, so the next free one";
    EXPECT_EQ(ports[2].comNumber, 255);
    EXPECT_EQ(ports[3].comNumber, 101) << "numbers already set are kept";

    // A second key preferring 255 wraps to the bottom of the USB range.
    std::vector<PortInfo> wrap = Unnumbered(2);
    koralink::AssignUsbComNumbers(wrap, {top, top});
    EXPECT_EQ(wrap[0].comNumber + wrap[1].comNumber, 255 + koralink::kFirstUsbComNumber);
}

TEST(ComNumberRule, FullRangeLeavesTheRestUnnumbered) {
    size_t count = 255 - koralink::kFirstUsbComNumber + 2;
    std::vector<PortInfo> ports = Unnumbered(count);
    std::vector<std::string> keys;
    for (size_t i = 0; i < count; ++i) {
        keys.push_back("adapter" + std::to_string(i));
    }
    koralink::AssignUsbComNumbers(ports, keys);
    int zero = 0;
    bool seen[256] = {};
    for (const PortInfo &port : ports) {
        if (port.comNumber == 0) {
            ++zero;
            continue;
        }
        EXPECT_FALSE(seen[port.comNumber]) << "COM" << port.comNumber << " given twice";
        seen[port.comNumber] = true;
    }
    EXPECT_EQ(zero, 1);
}

TEST(PortNames, DesignationAlwaysFitsAndUtf8IsNotCut) {
    EXPECT_EQ(koralink::MakePortName("FT232R USB UART", 34), "FT232R USB UART (COM34)");
    std::string fitted = koralink::MakePortName("CP2102 USB to UART Bridge Controller", 127, 32);
    EXPECT_EQ(fitted, "CP2102 USB to UART Bri (COM127)");
    EXPECT_EQ(fitted.size(), 31u);
    // "Ü" is two bytes; the cut must fall before it, not inside.
    std::string name = koralink::MakePortName(std::string("Adapter \xC3\x9C"), 5, 17);
    EXPECT_EQ(name, "Adapter  (COM5)");
    EXPECT_LE(koralink::MakePortName("Whatever", 200, 8).size(), 7u);
    EXPECT_EQ(koralink::MakePortName("Whatever", 200, 1), "");
}

TEST(PortNames, FittingAFixedFieldKeepsTheDesignation) {
    // ConnectionRecord.name holds 31 bytes.
    EXPECT_EQ(koralink::FitPortName("CP2102 USB to UART Bridge Controller (COM127)", 127, 32),
              "CP2102 USB to UART Bri (COM127)");
    EXPECT_EQ(koralink::FitPortName("Pico (COM173)", 173, 32), "Pico (COM173)");
    EXPECT_EQ(koralink::FitPortName("A port-map name that is far too long for it", 5, 16),
              "A port-map name");
    EXPECT_EQ(koralink::FitPortName("Long name ending in another (COM9)", 5, 16), "Long name endin")
        << "only the port's own designation is kept whole";
    EXPECT_EQ(koralink::FitPortName("x", 1, 0), "");
}

TEST(PortNames, SectionNames) {
    EXPECT_EQ(koralink::ParseComSectionName("COM1"), 1);
    EXPECT_EQ(koralink::ParseComSectionName("com255"), 255);
    EXPECT_EQ(koralink::ParseComSectionName("COM007"), 7);
    for (const char *bad : {"COM0", "COM256", "COM", "COM-1", "COM+1", "COM 1", "COM1x", "COM1000",
                            "PORT1", "CO", "", "COM99999999999"}) {
        EXPECT_EQ(koralink::ParseComSectionName(bad), 0) << bad;
    }
    EXPECT_EQ(koralink::ParseComSectionName(nullptr), 0);
}
