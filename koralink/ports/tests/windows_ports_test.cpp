// COM ports from SetupAPI's "Ports" devices: which number, which kind, which
// name. The SetupAPI calls themselves run under wine (koralink/windows).
#include "portenum.h"

#include <gtest/gtest.h>

using koralink::PortInfo;
using koralink::WindowsPortDevice;

namespace {

struct Case {
    const char *what;
    WindowsPortDevice device;
    int number; // 0: not a COM port
    int type;
    const char *name;
};

const Case kCases[] = {
    {"CDC or vendor driver on the USB bus",
     {"USB Serial Device (COM34)", "USB\\VID_2341&PID_0043\\8543", "COM34"},
     34,
     koralink::PORT_TYPE_USB,
     "USB Serial Device (COM34)"},
    {"FTDI's own bus is USB too",
     {"USB Serial Port (COM9)", "FTDIBUS\\VID_0403+PID_6001+A10K3JQ2A\\0000", "COM9"},
     9,
     koralink::PORT_TYPE_USB,
     "USB Serial Port (COM9)"},
    {"enumerator in lower case",
     {"x (COM5)", "usb\\vid_1a86&pid_7523\\5&1", "COM5"},
     5,
     koralink::PORT_TYPE_USB,
     "x (COM5)"},
    {"motherboard port",
     {"Communications Port (COM1)", "ACPI\\PNP0501\\1", "COM1"},
     1,
     koralink::PORT_TYPE_COM,
     "Communications Port (COM1)"},
    {"Bluetooth link is a plain COM port",
     {"Standard Serial over Bluetooth link (COM12)", "BTHENUM\\{00001101}_LOCALMFG&0000\\7&1",
      "COM12"},
     12,
     koralink::PORT_TYPE_COM,
     "Standard Serial over Bluetooth link (COM12)"},
    {"port name wins over a stale friendly name",
     {"USB Serial Port (COM4)", "USB\\VID_067B&PID_2303\\6&1", "COM5"},
     5,
     koralink::PORT_TYPE_USB,
     "USB Serial Port (COM5)"},
    {"no port name: the designation at the end of the name",
     {"COMBO Adapter (COM4) ", "ROOT\\PORTS\\0002", ""},
     4,
     koralink::PORT_TYPE_COM,
     "COMBO Adapter (COM4)"},
    {"no friendly name: the generic label",
     {"", "USB\\VID_10C4&PID_EA60\\0001", "com7"},
     7,
     koralink::PORT_TYPE_USB,
     "USB Serial Port (COM7)"},
    {"friendly name without designation",
     {"Sensor cable", "ROOT\\PORTS\\0000", "COM3"},
     3,
     koralink::PORT_TYPE_COM,
     "Sensor cable (COM3)"},
    {"parallel port of the same class",
     {"Printer Port (LPT1)", "ACPI\\PNP0401\\0", "LPT1"},
     0,
     0,
     ""},
    {"neither port name nor designation", {"Mystery device", "ROOT\\PORTS\\0001", ""}, 0, 0, ""},
    {"number out of range", {"Bad Port (COM256)", "ROOT\\PORTS\\0003", "COM256"}, 0, 0, ""},
    {"number zero", {"Bad Port (COM0)", "ROOT\\PORTS\\0004", ""}, 0, 0, ""},
};

} // namespace

TEST(WindowsPorts, EachDeviceGivesItsPort) {
    for (const Case &c : kCases) {
        std::vector<PortInfo> ports = koralink::PortsOfWindowsDevices({c.device});
        if (c.number == 0) {
            EXPECT_TRUE(ports.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(ports.size(), 1u) << c.what;
        EXPECT_EQ(ports[0].comNumber, c.number) << c.what;
        EXPECT_EQ(ports[0].type, c.type) << c.what;
        EXPECT_EQ(ports[0].name, c.name) << c.what;
        EXPECT_EQ(ports[0].typeText, koralink::DefaultPortTypeText(c.type)) << c.what;
        EXPECT_EQ(ports[0].devicePath, "\\\\.\\COM" + std::to_string(c.number)) << c.what;
    }
}

TEST(WindowsPorts, SortedByNumberAndTheFirstDeviceOfANumberWins) {
    std::vector<PortInfo> ports = koralink::PortsOfWindowsDevices({
        {"USB Serial Port (COM7)", "USB\\VID_0403&PID_6001\\A1", "COM7"},
        {"Bluetooth Link (COM7)", "BTHENUM\\X\\1", "COM7"},
        {"Communications Port (COM1)", "ACPI\\PNP0501\\1", "COM1"},
    });
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].comNumber, 1);
    EXPECT_EQ(ports[1].comNumber, 7);
    EXPECT_EQ(ports[1].type, koralink::PORT_TYPE_USB);
}
