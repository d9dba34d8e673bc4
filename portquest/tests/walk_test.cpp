// The port walk against a scripted SetupAPI: the cases real machines rarely
// show (odd names, failing and growing property reads, full arrays).
#include "setupapi_seam.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using portquest::DevInfoRecord;
using portquest::DevSet;
using portquest::Guid;
using portquest::QuestPorts;

namespace {

struct FakeDevice {
    std::string name;
    // Error of every read of the name (0: reads work).
    uint32_t readError = 0;
    // The name gets this many characters longer after each size report,
    // for so many reads (-1: for ever).
    int growReads = 0;
    // Property data without a terminating NUL, filling the buffer exactly.
    bool unterminated = false;
    // The buffer-less query reports success with size 0.
    bool emptyProperty = false;
    // For the device list; empty: the backend cannot read it.
    std::string instanceId = std::string();
    std::string portName = std::string();
};

class FakeSetupApi : public portquest::SetupApi {
  public:
    std::vector<FakeDevice> devices;
    uint32_t guidCount = 1;
    bool failGuidRead = false;
    bool failClassDevs = false;

    int setsOpened = 0;
    int setsDestroyed = 0;
    int nameReads = 0;
    int enumCalls = 0;
    bool badRecordSeen = false;

    bool ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                            uint32_t *requiredSize) override {
        EXPECT_STREQ(className, "Ports");
        *requiredSize = guidCount;
        if (list == nullptr || listSize < guidCount) {
            return Fail(portquest::kErrorInsufficientBuffer);
        }
        if (failGuidRead) {
            return Fail(portquest::kErrorInvalidData);
        }
        for (uint32_t i = 0; i < guidCount; ++i) {
            list[i] = portquest::kPortsClassGuid;
            list[i].data1 += i; // only the first one is the Ports class
        }
        return true;
    }

    DevSet GetClassDevs(const Guid *classGuid, uint32_t flags) override {
        EXPECT_EQ(std::memcmp(classGuid, &portquest::kPortsClassGuid, sizeof(Guid)), 0)
            << "the set must be opened for the first class GUID";
        EXPECT_EQ(flags, portquest::kDigcfPresent) << "only present devices may be listed";
        if (failClassDevs) {
            lastError_ = portquest::kErrorInvalidData;
            return portquest::kInvalidDevSet;
        }
        ++setsOpened;
        return 0x5e7;
    }

    bool EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) override {
        EXPECT_EQ(set, 0x5e7);
        ++enumCalls;
        if (record->cbSize != sizeof(DevInfoRecord)) {
            badRecordSeen = true;
            return Fail(portquest::kErrorInvalidUserBuffer);
        }
        if (index >= devices.size()) {
            return Fail(portquest::kErrorNoMoreItems);
        }
        record->devInst = index;
        grown_ = 0;
        return true;
    }

    bool GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record, uint32_t property, uint32_t *,
                                   unsigned char *buffer, uint32_t bufferSize,
                                   uint32_t *requiredSize) override {
        EXPECT_EQ(set, 0x5e7);
        EXPECT_EQ(property, portquest::kSpdrpFriendlyName);
        ++nameReads;
        const FakeDevice &device = devices.at(record->devInst);
        if (device.readError != 0) {
            return Fail(device.readError);
        }
        if (device.emptyProperty) {
            *requiredSize = 0;
            return true;
        }
        std::string name = device.name + std::string(grown_, '+');
        uint32_t size = static_cast<uint32_t>(name.size() + (device.unterminated ? 0 : 1));
        if (buffer != nullptr && (device.growReads < 0 || grown_ < device.growReads)) {
            // Another device was plugged in and the name changed between
            // the size query and this read.
            ++grown_;
            *requiredSize = size + 1;
            return Fail(portquest::kErrorInsufficientBuffer);
        }
        *requiredSize = size;
        if (buffer == nullptr || bufferSize < size) {
            return Fail(portquest::kErrorInsufficientBuffer);
        }
        std::memcpy(buffer, name.data(), size); // with or without the NUL
        return true;
    }

    bool DestroyDeviceInfoList(DevSet set) override {
        EXPECT_EQ(set, 0x5e7);
        ++setsDestroyed;
        return true;
    }

    uint32_t LastError() override { return lastError_; }

    bool GetDeviceInstanceId(DevSet, DevInfoRecord *record, char *buffer,
                             uint32_t bufferSize) override {
        return Copy(devices.at(record->devInst).instanceId, buffer, bufferSize);
    }

    bool ReadPortName(DevSet, DevInfoRecord *record, char *buffer, uint32_t bufferSize) override {
        return Copy(devices.at(record->devInst).portName, buffer, bufferSize);
    }

  private:
    static bool Copy(const std::string &text, char *buffer, uint32_t bufferSize) {
        if (text.empty() || text.size() >= bufferSize) {
            return false;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return true;
    }

    bool Fail(uint32_t error) {
        lastError_ = error;
        return false;
    }
    uint32_t lastError_ = 0;
    int grown_ = 0;
};

class PortWalk : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(api.setsOpened, api.setsDestroyed) << "the device set must be released";
        EXPECT_FALSE(api.badRecordSeen) << "the element record needs the platform's size";
    }
    void Devices(std::initializer_list<const char *> names) {
        for (const char *name : names) {
            api.devices.push_back(FakeDevice{name});
        }
    }
    std::vector<int> List(const char *fragment, int maxPorts = 16) {
        std::vector<int> out(static_cast<size_t>(maxPorts) + 1, -7);
        int count = QuestPorts(api, fragment, out.data(), maxPorts);
        EXPECT_EQ(out[static_cast<size_t>(maxPorts)], -7) << "written past maxPorts";
        EXPECT_GE(count, 0);
        out.resize(static_cast<size_t>(count));
        return out;
    }
    int Single(const char *fragment) { return QuestPorts(api, fragment, nullptr, 0); }

    FakeSetupApi api;
};

using Ports = std::vector<int>;

} // namespace

TEST_F(PortWalk, CommunicationsDoesNotCountAsCom) {
    Devices({"Communications Port (COM1)"});
    EXPECT_EQ(Single("Communications"), 1);
    EXPECT_EQ(List(""), Ports{1});
}

TEST_F(PortWalk, OnlyTheFirstComIsParsed) {
    Devices({"COMBO Adapter (COM4)", "Modem COM 6 (COM9)", "USB Serial Port (COM5)"});
    EXPECT_EQ(List(""), (Ports{6, 5})) << "COMBO... is not a port designation";
    EXPECT_EQ(Single("COMBO"), 0);
}

TEST_F(PortWalk, NumbersOutsideOneToTwoFiftyFiveAreSkipped) {
    Devices({"Port (COM0)", "Port (COM256)", "Port (COM255)", "Port (COM-3)", "Port (COM+7)",
             "Port (COM \t 12)", "Port (COM99999999999999999999)", "Port (COM)", "Port COMX",
             "No designation"});
    EXPECT_EQ(List("Port"), (Ports{255, 7, 12}));
}

TEST_F(PortWalk, FragmentIsCaseSensitiveAndEmptyMatchesAll) {
    Devices({"USB Serial Port (COM3)", "Prolific USB-to-Serial Comm Port (COM4)",
             "Communications Port (COM1)"});
    EXPECT_EQ(List(""), (Ports{3, 4, 1}));
    EXPECT_EQ(List("usb"), Ports{});
    EXPECT_EQ(List("USB"), (Ports{3, 4}));
    EXPECT_EQ(Single("Prolific"), 4);
    EXPECT_EQ(Single("nothing like it"), 0);
}

TEST_F(PortWalk, SinglePortModeWritesNothing) {
    Devices({"A (COM8)", "B (COM9)"});
    int array[2] = {-1, -1};
    EXPECT_EQ(QuestPorts(api, "", nullptr, 5), 8);
    EXPECT_EQ(QuestPorts(api, "", array, 0), 8);
    EXPECT_EQ(QuestPorts(api, "", array, -3), 8);
    EXPECT_EQ(QuestPorts(api, "B", array, 0), 9);
    EXPECT_EQ(array[0], -1);
    EXPECT_EQ(array[1], -1);
    EXPECT_EQ(api.setsOpened, 4);
}

TEST_F(PortWalk, FullArrayKeepsTheFirstMatchesAndFinishesTheWalk) {
    Devices({"A (COM1)", "B (COM2)", "C (COM3)"});
    EXPECT_EQ(List("", 2), (Ports{1, 2}));
    EXPECT_EQ(api.nameReads, 6) << "every device is still examined";
}

TEST_F(PortWalk, NoPortsDevices) {
    EXPECT_EQ(List(""), Ports{});
    EXPECT_EQ(Single(""), 0);
}

TEST_F(PortWalk, ClassAndSetFailuresGiveZero) {
    Devices({"A (COM1)"});
    api.guidCount = 0;
    EXPECT_EQ(Single(""), 0);
    EXPECT_EQ(api.setsOpened, 0);
    api.guidCount = 2;
    api.failGuidRead = true;
    EXPECT_EQ(List(""), Ports{});
    api.failGuidRead = false;
    api.failClassDevs = true;
    EXPECT_EQ(Single(""), 0);
    api.failClassDevs = false;
    EXPECT_EQ(Single(""), 1) << "two class GUIDs: the first one is used";
}

TEST_F(PortWalk, DuplicatesAreAllReported) {
    Devices({"USB Serial Port (COM7)", "Bluetooth link (COM7)"});
    EXPECT_EQ(List(""), (Ports{7, 7}));
}

TEST_F(PortWalk, ReadFailureStopsTheWalkWithZero) {
    Devices({"A (COM1)", "B (COM2)"});
    api.devices.push_back(FakeDevice{"C (COM3)", 5 /* access denied */});
    Devices({"D (COM4)"});
    int out[8] = {0};
    EXPECT_EQ(QuestPorts(api, "", out, 8), 0) << "a failed read means failure, not 2";
    EXPECT_EQ(out[0], 1) << "entries written before the failure stay";
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 0) << "nothing after the failing device";
    EXPECT_EQ(Single("D"), 0);
    EXPECT_EQ(Single("A"), 1) << "single mode returns before reaching the failing device";
}

TEST_F(PortWalk, NameGrowingBetweenSizeQueryAndRead) {
    api.devices.push_back(FakeDevice{"Growing (COM11)", 0, 3});
    api.devices.push_back(FakeDevice{"Restless (COM12)", 0, -1});
    Devices({"Calm (COM13)"});
    EXPECT_EQ(List(""), (Ports{11, 13}))
        << "a name read after it grew must count; one that never settles is passed over";
}

TEST_F(PortWalk, NamesWithoutTerminatorOrWithoutDataAreHandled) {
    api.devices.push_back(FakeDevice{"Raw data (COM21)", 0, 0, true});
    api.devices.push_back(FakeDevice{"", 0, 0, false, true});
    Devices({"After (COM22)"});
    EXPECT_EQ(List(""), (Ports{21, 22}));
}

TEST_F(PortWalk, NullFragmentIsRefused) {
    Devices({"A (COM1)"});
    EXPECT_EQ(Single(nullptr), 0);
    EXPECT_EQ(api.setsOpened, 0);
}

TEST_F(PortWalk, DeviceListKeepsDevicesWhoseNameCannotBeRead) {
    api.devices.push_back(
        FakeDevice{"A (COM1)", 0, 0, false, false, "USB\\VID_1&PID_2\\3", "COM1"});
    api.devices.push_back(FakeDevice{"B (COM2)", 5 /* access denied */, 0, false, false,
                                     "ROOT\\PORTS\\0001", "COM2"});
    api.devices.push_back(FakeDevice{"", 0, 0, false, true, "ROOT\\PORTS\\0002"});
    std::vector<portquest::PortDevice> list = portquest::ListPortDevices(api);
    ASSERT_EQ(list.size(), 3u) << "a failed name read does not end the list";
    EXPECT_EQ(list[0].friendlyName, "A (COM1)");
    EXPECT_EQ(list[0].instanceId, "USB\\VID_1&PID_2\\3");
    EXPECT_EQ(list[0].portName, "COM1");
    EXPECT_EQ(list[1].friendlyName, "");
    EXPECT_EQ(list[1].portName, "COM2");
    EXPECT_EQ(list[2].instanceId, "ROOT\\PORTS\\0002");
    EXPECT_EQ(list[2].portName, "");
}

TEST(PortDesignation, ScanRules) {
    EXPECT_EQ(portquest::PortNumberOfName("(COM1)"), 1);
    EXPECT_EQ(portquest::PortNumberOfName("COM\n\v\f\r 42"), 42);
    EXPECT_EQ(portquest::PortNumberOfName("COM0255"), 255);
    EXPECT_EQ(portquest::PortNumberOfName("COM- 5"), 0) << "no blank between sign and digits";
    EXPECT_EQ(portquest::PortNumberOfName("com5"), 0) << "COM is matched case-sensitively";
    EXPECT_EQ(portquest::PortNumberOfName("COM-0"), 0);
    EXPECT_EQ(portquest::PortNumberOfName("COM\xA0"
                                          "5"),
              0)
        << "only C white space may precede the digits";
}
