// Enumeration on recorded sysfs trees and on variations of them built in a
// temporary directory.
#include "portenum.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace fs = std::filesystem;
using koralink::EnumerateSysfsPorts;
using koralink::PortInfo;

namespace {

const std::string kMixed = std::string(PORTS_FIXTURE_DIR) + "/pc-mixed";

const PortInfo *FindTty(const std::vector<PortInfo> &ports, const std::string &tty) {
    for (const PortInfo &port : ports) {
        if (port.ttyName == tty) {
            return &port;
        }
    }
    return nullptr;
}

// A writable copy of a fixture tree (symlinks kept as links).
class TreeCopy {
  public:
    explicit TreeCopy(const std::string &from) {
        char pattern[] = "/tmp/ports-test-XXXXXX";
        const char *made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        dir_ = made != nullptr ? made : "/nonexistent";
        fs::copy(from, dir_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    ~TreeCopy() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    const std::string &Root() const { return dir_; }
    std::string Path(const std::string &relative) const { return dir_ + "/" + relative; }

  private:
    std::string dir_;
};

void WriteFile(const std::string &path, const std::string &text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

} // namespace

TEST(SysfsEnumeration, MixedMachineListsAdaptersAndRealUartsOnly) {
    std::vector<PortInfo> ports = EnumerateSysfsPorts(kMixed);
    std::set<std::string> ttys;
    for (const PortInfo &port : ports) {
        ttys.insert(port.ttyName);
    }
    EXPECT_EQ(ttys, (std::set<std::string>{"ttyS1", "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyACM1"}))
        << "console ttyS0, the 8250 placeholders ttyS2/ttyS3 and virtual terminals must be left "
           "out";
    for (size_t i = 1; i < ports.size(); ++i) {
        EXPECT_LT(ports[i - 1].comNumber, ports[i].comNumber) << "ports must come sorted by number";
    }
}

TEST(SysfsEnumeration, NumbersAndNamesFollowTheDocumentedRule) {
    // These numbers are printed in docs/com-numbers.md; users write them
    // into scripts, so a change here is a change of the documented rule.
    std::vector<PortInfo> ports = EnumerateSysfsPorts(kMixed);
    struct Expected {
        const char *tty;
        int com;
        int type;
        const char *name;
    } expected[] = {
        {"ttyS1", 2, koralink::PORT_TYPE_COM, "Communications Port (COM2)"},
        {"ttyUSB0", 239, koralink::PORT_TYPE_USB, "FT232R USB UART (COM239)"},
        {"ttyUSB1", 127, koralink::PORT_TYPE_USB, "CP2102 USB to UART Bridge Controller (COM127)"},
        {"ttyACM0", 173, koralink::PORT_TYPE_USB, "Pico (COM173)"},
        {"ttyACM1", 67, koralink::PORT_TYPE_USB, "USB Serial Port (COM67)"},
    };
    for (const Expected &e : expected) {
        const PortInfo *port = FindTty(ports, e.tty);
        ASSERT_NE(port, nullptr) << e.tty << " missing";
        EXPECT_EQ(port->comNumber, e.com) << e.tty;
        EXPECT_EQ(port->type, e.type) << e.tty;
        EXPECT_EQ(port->name, e.name) << e.tty;
        EXPECT_EQ(port->devicePath, std::string("/dev/") + e.tty);
        EXPECT_EQ(port->typeText, koralink::DefaultPortTypeText(e.type));
        EXPECT_FALSE(port->fromPortMap);
    }
}

TEST(SysfsEnumeration, UsbDetailsComeFromTheUsbDeviceNotTheHubOrRootHub) {
    std::vector<PortInfo> ports = EnumerateSysfsPorts(kMixed);
    const PortInfo *cp = FindTty(ports, "ttyUSB1");
    ASSERT_NE(cp, nullptr);
    EXPECT_EQ(cp->vendorId, 0x10c4);
    EXPECT_EQ(cp->productId, 0xea60);
    EXPECT_EQ(cp->manufacturer, "Silicon Labs");
    EXPECT_EQ(cp->serialNumber, "0001");
    EXPECT_EQ(cp->usbLocation, "1-1.4:1.0");
    const PortInfo *acm = FindTty(ports, "ttyACM1");
    ASSERT_NE(acm, nullptr);
    EXPECT_EQ(acm->vendorId, 0x2341);
    EXPECT_EQ(acm->product, "");
    EXPECT_EQ(acm->label, "USB Serial Port") << "an adapter without product string";
}

TEST(SysfsEnumeration, AdapterKeepsItsNumberWhenOthersComeAndGoOrAreRenamed) {
    std::vector<PortInfo> before = EnumerateSysfsPorts(kMixed);
    TreeCopy tree(kMixed);
    // Unplug the CP2102 and let the FT232R come up as ttyUSB1 instead.
    fs::remove(tree.Path("sys/class/tty/ttyUSB1"));
    fs::rename(tree.Path("sys/class/tty/ttyUSB0"), tree.Path("sys/class/tty/ttyUSB1"));
    std::vector<PortInfo> after = EnumerateSysfsPorts(tree.Root());
    const PortInfo *ft = FindTty(after, "ttyUSB1");
    ASSERT_NE(ft, nullptr);
    EXPECT_EQ(ft->product, "FT232R USB UART");
    EXPECT_EQ(ft->comNumber, FindTty(before, "ttyUSB0")->comNumber);
    EXPECT_EQ(FindTty(after, "ttyACM0")->comNumber, FindTty(before, "ttyACM0")->comNumber);
}

TEST(SysfsEnumeration, SameSerialOnTwoAdaptersGivesTwoNumbers) {
    // Cheap clones all report the same serial string; each must still get a
    // number of its own.
    TreeCopy tree(kMixed);
    std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
    WriteFile(tree.Path(usb + "1-1/1-1.4/idVendor"), "0403\n");
    WriteFile(tree.Path(usb + "1-1/1-1.4/idProduct"), "6001\n");
    WriteFile(tree.Path(usb + "1-1/1-1.4/serial"), "A10K5T3Q\n");
    std::vector<PortInfo> ports = EnumerateSysfsPorts(tree.Root());
    const PortInfo *a = FindTty(ports, "ttyUSB0");
    const PortInfo *b = FindTty(ports, "ttyUSB1");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_NE(a->comNumber, b->comNumber);
    EXPECT_TRUE(a->comNumber == 239 || b->comNumber == 239);
    EXPECT_TRUE(a->comNumber == 240 || b->comNumber == 240) << "collision takes the next number";
}

TEST(SysfsEnumeration, ConsoleListWithSeveralNamesAndMissingConsole) {
    TreeCopy tree(kMixed);
    WriteFile(tree.Path("sys/devices/virtual/tty/console/active"), "ttyS1 tty0 ttyUSB0\n");
    std::vector<PortInfo> ports = EnumerateSysfsPorts(tree.Root());
    EXPECT_EQ(FindTty(ports, "ttyS1"), nullptr) << "a console on ttyS1 must not be listed";
    EXPECT_EQ(FindTty(ports, "ttyUSB0"), nullptr) << "a console on a USB adapter neither";
    ASSERT_NE(FindTty(ports, "ttyS0"), nullptr) << "ttyS0 is an ordinary port here";
    EXPECT_EQ(FindTty(ports, "ttyS0")->comNumber, 1);

    fs::remove(tree.Path("sys/class/tty/console"));
    ports = EnumerateSysfsPorts(tree.Root());
    EXPECT_NE(FindTty(ports, "ttyS1"), nullptr);
}

TEST(SysfsEnumeration, PlaceholderLineWithoutTypeAttributeAndRealLineWithout) {
    TreeCopy tree(kMixed);
    // A UART driver without a 'type' attribute (not 8250) counts as real.
    fs::remove(tree.Path("sys/devices/pnp0/00:05/tty/ttyS1/type"));
    // ttyS3 has no 'type' either but hangs on the serial8250 placeholder.
    std::vector<PortInfo> ports = EnumerateSysfsPorts(tree.Root());
    EXPECT_NE(FindTty(ports, "ttyS1"), nullptr);
    EXPECT_EQ(FindTty(ports, "ttyS3"), nullptr);
}

TEST(SysfsEnumeration, LinksLeavingTheRootAreIgnored) {
    TreeCopy tree(kMixed);
    // An absolute link would read the machine's own sysfs instead of the
    // fixture; the reader must not follow it out of the root.
    fs::remove(tree.Path("sys/devices/pnp0/00:05/tty/ttyS1/device"));
    fs::create_directory_symlink("/sys/devices",
                                 tree.Path("sys/devices/pnp0/00:05/tty/ttyS1/device"));
    std::vector<PortInfo> ports = EnumerateSysfsPorts(tree.Root());
    EXPECT_EQ(FindTty(ports, "ttyS1"), nullptr);
    EXPECT_NE(FindTty(ports, "ttyUSB0"), nullptr);
}

TEST(SysfsEnumeration, MissingOrEmptyRootGivesNoPorts) {
    EXPECT_TRUE(EnumerateSysfsPorts("/nonexistent/root").empty());
    TreeCopy tree(kMixed);
    fs::remove_all(tree.Path("sys/class"));
    EXPECT_TRUE(EnumerateSysfsPorts(tree.Root()).empty());
}

TEST(SysfsEnumeration, RunningSystemNeverListsItsConsole) {
    std::ifstream active("/sys/class/tty/console/active");
    std::set<std::string> console;
    for (std::string word; active >> word;) {
        console.insert(word);
    }
    for (const PortInfo &port : EnumerateSysfsPorts("/")) {
        EXPECT_EQ(console.count(port.ttyName), 0u) << port.ttyName << " is the console";
        EXPECT_GE(port.comNumber, 1);
        EXPECT_LE(port.comNumber, 255);
    }
}
