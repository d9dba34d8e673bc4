// Linux backend: the serial ports sysfs shows, numbered and named by the
// same rule as the koralink library, served through SetupAPI-shaped calls.
// KORALINK_SYSFS_ROOT moves the sysfs root (tests replay recorded trees).
#include "portenum.h"
#include "portquest.h"
#include "setupapi_seam.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <vector>

namespace portquest {

namespace {

struct DeviceList {
    std::vector<std::string> friendlyNames;
};

bool SameGuid(const Guid &a, const Guid &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SysfsSetupApi : public SetupApi {
  public:
    bool ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                            uint32_t *requiredSize) override {
        // Class names compare without regard to letter case, as on Windows.
        bool ports = className != nullptr && strcasecmp(className, "Ports") == 0;
        if (requiredSize != nullptr) {
            *requiredSize = ports ? 1 : 0;
        }
        if (!ports) {
            return Fail(kErrorInvalidClass);
        }
        if (list == nullptr || listSize < 1) {
            return Fail(kErrorInsufficientBuffer);
        }
        list[0] = kPortsClassGuid;
        return true;
    }

    DevSet GetClassDevs(const Guid *classGuid, uint32_t) override {
        if (classGuid == nullptr || !SameGuid(*classGuid, kPortsClassGuid)) {
            lastError_ = kErrorInvalidClass;
            return kInvalidDevSet;
        }
        const char *root = std::getenv("KORALINK_SYSFS_ROOT");
        DeviceList *devices = new (std::nothrow) DeviceList;
        if (devices == nullptr) {
            lastError_ = kErrorInvalidData;
            return kInvalidDevSet;
        }
        try {
            for (const koralink::PortInfo &port :
                 koralink::EnumerateSysfsPorts(root != nullptr && *root != '\0' ? root : "/")) {
                devices->friendlyNames.push_back(port.name);
            }
        } catch (const std::bad_alloc &) {
            delete devices;
            lastError_ = kErrorInvalidData;
            return kInvalidDevSet;
        }
        return reinterpret_cast<DevSet>(devices);
    }

    bool EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) override {
        const DeviceList *devices = List(set);
        if (devices == nullptr || record == nullptr || record->cbSize != sizeof(DevInfoRecord)) {
            return Fail(kErrorInvalidUserBuffer);
        }
        if (index >= devices->friendlyNames.size()) {
            return Fail(kErrorNoMoreItems);
        }
        record->classGuid = kPortsClassGuid;
        record->devInst = index + 1;
        return true;
    }

    bool GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record, uint32_t property,
                                   uint32_t *dataType, unsigned char *buffer, uint32_t bufferSize,
                                   uint32_t *requiredSize) override {
        const DeviceList *devices = List(set);
        if (devices == nullptr || record == nullptr || record->devInst == 0 ||
            record->devInst > devices->friendlyNames.size()) {
            return Fail(kErrorInvalidData);
        }
        if (property != kSpdrpFriendlyName) {
            return Fail(kErrorInvalidData);
        }
        const std::string &name = devices->friendlyNames[record->devInst - 1];
        uint32_t size = static_cast<uint32_t>(name.size() + 1);
        if (dataType != nullptr) {
            *dataType = kRegSz;
        }
        if (requiredSize != nullptr) {
            *requiredSize = size;
        }
        if (buffer == nullptr || bufferSize < size) {
            return Fail(kErrorInsufficientBuffer);
        }
        std::memcpy(buffer, name.c_str(), size);
        return true;
    }

    bool DestroyDeviceInfoList(DevSet set) override {
        delete List(set);
        return true;
    }

    uint32_t LastError() override { return lastError_; }

  private:
    static DeviceList *List(DevSet set) {
        return set == kInvalidDevSet ? nullptr : reinterpret_cast<DeviceList *>(set);
    }
    bool Fail(uint32_t error) {
        lastError_ = error;
        return false;
    }

    uint32_t lastError_ = 0;
};

} // namespace

} // namespace portquest

extern "C" __attribute__((visibility("default"))) int PortQuest(const char *nameFragment,
                                                                int *portNumbers, int maxPorts) {
    portquest::SysfsSetupApi api;
    return portquest::QuestPorts(api, nameFragment, portNumbers, maxPorts);
}
