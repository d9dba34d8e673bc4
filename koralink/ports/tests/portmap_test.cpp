// Port-map files: parsing, defaults, overrides and the environment switches.
#include "portenum.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using koralink::PortInfo;

namespace {

std::vector<PortInfo> Parse(const std::string &text) {
    return koralink::ParsePortMap(text.data(), text.size());
}

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        const char *old = std::getenv(name);
        hadOld_ = old != nullptr;
        old_ = hadOld_ ? old : "";
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld_) {
            setenv(name_.c_str(), old_.c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

  private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

class TempFile {
  public:
    explicit TempFile(const std::string &text) {
        char pattern[] = "/tmp/portmap-test-XXXXXX";
        int fd = mkstemp(pattern);
        EXPECT_GE(fd, 0);
        path_ = pattern;
        if (fd >= 0) {
            EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            close(fd);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char *Path() const { return path_.c_str(); }

  private:
    std::string path_;
};

const char *kMap = "[COM5]\n"
                   "Path=/dev/pts/7\n"
                   "Type=USB\n"
                   "Name=Sim sensor A (COM5)\n"
                   "TypeText=Simulated adapter\n"
                   "[COM2]\n"
                   "Path=/dev/pts/9\n"
                   "Type=com\n";

} // namespace

TEST(PortMap, EntriesWithGivenAndDefaultTexts) {
    std::vector<PortInfo> ports = Parse(kMap);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].comNumber, 2) << "entries come sorted by number";
    EXPECT_EQ(ports[0].devicePath, "/dev/pts/9");
    EXPECT_EQ(ports[0].type, koralink::PORT_TYPE_COM) << "Type is read in any letter case";
    EXPECT_EQ(ports[0].name, "Communications Port (COM2)");
    EXPECT_EQ(ports[0].typeText, "Serial port");
    EXPECT_TRUE(ports[0].fromPortMap);
    EXPECT_EQ(ports[1].comNumber, 5);
    EXPECT_EQ(ports[1].type, koralink::PORT_TYPE_USB);
    EXPECT_EQ(ports[1].name, "Sim sensor A (COM5)");
    EXPECT_EQ(ports[1].typeText, "Simulated adapter");

    std::vector<PortInfo> usbDefault = Parse("[COM40]\nPath=/dev/x\nType=USB\n");
    ASSERT_EQ(usbDefault.size(), 1u);
    EXPECT_EQ(usbDefault[0].name, "USB Serial Port (COM40)");
    EXPECT_EQ(usbDefault[0].typeText, "USB serial adapter");
}

TEST(PortMap, InvalidSectionsAreSkippedAndTheRestKept) {
    std::vector<PortInfo> ports = Parse("[COM0]\nPath=/dev/a\nType=USB\n"
                                        "[COM256]\nPath=/dev/b\nType=USB\n"
                                        "[COM3]\nType=USB\n"
                                        "[COM4]\nPath=/dev/d\nType=LAN\n"
                                        "[COM6]\nPath=/dev/e\n"
                                        "[PORT7]\nPath=/dev/f\nType=COM\n"
                                        "[COM-8]\nPath=/dev/g\nType=COM\n"
                                        "[COM9]\nPath=\nType=COM\n"
                                        "[COM10]\nPath=/dev/ok\nType=COM\n"
                                        "[COM010]\nPath=/dev/second\nType=COM\n");
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].comNumber, 10);
    EXPECT_EQ(ports[0].devicePath, "/dev/ok") << "the first section naming a number wins";
}

TEST(PortMap, GarbageDoesNotCrash) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage.push_back(static_cast<char>((i * 7919) & 0xff));
    }
    for (const PortInfo &port : Parse(garbage)) {
        EXPECT_GE(port.comNumber, 1);
        EXPECT_LE(port.comNumber, 255);
    }
    EXPECT_TRUE(Parse("").empty());
    EXPECT_TRUE(Parse("[COM1\nPath=/dev/x\nType=COM").size() <= 1);
    EXPECT_TRUE(koralink::ParsePortMap(nullptr, 0).empty());
    EXPECT_TRUE(koralink::ReadPortMapFile("/nonexistent/portmap.ini").empty());
    EXPECT_TRUE(koralink::ReadPortMapFile(nullptr).empty());
}

TEST(PortMap, EntryReplacesTheRealPortOfItsNumber) {
    std::vector<PortInfo> real(2);
    real[0].comNumber = 2;
    real[0].ttyName = "ttyS1";
    real[1].comNumber = 34;
    real[1].ttyName = "ttyUSB0";
    std::vector<PortInfo> merged = koralink::MergePortMap(real, Parse(kMap));
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].comNumber, 2);
    EXPECT_EQ(merged[0].devicePath, "/dev/pts/9");
    EXPECT_TRUE(merged[0].ttyName.empty());
    EXPECT_EQ(merged[1].comNumber, 5);
    EXPECT_EQ(merged[2].ttyName, "ttyUSB0");
}

TEST(PortMapEnvironment, PortMapOnlyListsNothingElse) {
    TempFile map(kMap);
    ScopedEnv path("KORALINK_PORTMAP", map.Path());
    ScopedEnv only("KORALINK_PORTMAP_ONLY", "1");
    ScopedEnv root("KORALINK_SYSFS_ROOT", PORTS_FIXTURE_DIR "/pc-mixed");
    std::vector<PortInfo> ports = koralink::EnumeratePorts();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_TRUE(ports[0].fromPortMap && ports[1].fromPortMap);
    PortInfo found;
    EXPECT_TRUE(koralink::ResolvePort(5, &found));
    EXPECT_EQ(found.devicePath, "/dev/pts/7");
    EXPECT_FALSE(koralink::ResolvePort(239, &found)) << "the fixture's FT232R must stay hidden";
    EXPECT_FALSE(koralink::ResolvePort(0, &found));
    EXPECT_FALSE(koralink::ResolvePort(256, &found));
}

TEST(PortMapEnvironment, MapOverlaysTheSysfsTree) {
    TempFile map(kMap);
    ScopedEnv path("KORALINK_PORTMAP", map.Path());
    ScopedEnv only("KORALINK_PORTMAP_ONLY", "0");
    ScopedEnv root("KORALINK_SYSFS_ROOT", PORTS_FIXTURE_DIR "/pc-mixed");
    std::vector<PortInfo> ports = koralink::EnumeratePorts();
    ASSERT_EQ(ports.size(), 6u) << "five fixture ports, COM2 replaced, COM5 added";
    PortInfo found;
    ASSERT_TRUE(koralink::ResolvePort(2, &found));
    EXPECT_EQ(found.devicePath, "/dev/pts/9") << "the map's COM2 must replace ttyS1";
    ASSERT_TRUE(koralink::ResolvePort(239, &found));
    EXPECT_EQ(found.name, "FT232R USB UART (COM239)");
}

TEST(PortMapEnvironment, NoMapAndMapOnlyListsNothing) {
    ScopedEnv path("KORALINK_PORTMAP", nullptr);
    ScopedEnv only("KORALINK_PORTMAP_ONLY", "1");
    EXPECT_TRUE(koralink::EnumeratePorts().empty());
}
