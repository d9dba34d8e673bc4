// The device-information calls the port walk needs, shaped like the SetupAPI
// functions of the same names so that the Windows backend is a thin
// pass-through and other backends can imitate them.
#ifndef PORTQUEST_SETUPAPI_SEAM_H
#define PORTQUEST_SETUPAPI_SEAM_H

#include <cstdint>
#include <string>
#include <vector>

namespace portquest {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

// Same layout as SP_DEVINFO_DATA on 32- and on 64-bit Windows: the size
// field must hold sizeof(this record), 28 or 32 bytes.
struct DevInfoRecord {
    uint32_t cbSize;
    Guid classGuid;
    uint32_t devInst;
    uintptr_t reserved;
};

using DevSet = intptr_t;
constexpr DevSet kInvalidDevSet = -1; // INVALID_HANDLE_VALUE

constexpr uint32_t kDigcfPresent = 0x2;
constexpr uint32_t kSpdrpFriendlyName = 12;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorInvalidUserBuffer = 1784;
constexpr uint32_t kErrorInvalidClass = 0xE0000209;

// {4d36e978-e325-11ce-bfc1-08002be10318}
constexpr Guid kPortsClassGuid = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class SetupApi {
  public:
    virtual ~SetupApi() = default;
    // SetupDiClassGuidsFromNameA
    virtual bool ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                                    uint32_t *requiredSize) = 0;
    // SetupDiGetClassDevsA without enumerator and parent window.
    virtual DevSet GetClassDevs(const Guid *classGuid, uint32_t flags) = 0;
    // SetupDiEnumDeviceInfo
    virtual bool EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) = 0;
    // SetupDiGetDeviceRegistryPropertyA
    virtual bool GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record, uint32_t property,
                                           uint32_t *dataType, unsigned char *buffer,
                                           uint32_t bufferSize, uint32_t *requiredSize) = 0;
    // SetupDiDestroyDeviceInfoList
    virtual bool DestroyDeviceInfoList(DevSet set) = 0;
    // GetLastError, for the call just made.
    virtual uint32_t LastError() = 0;

    // Only the device list of koralink reads these two; a backend without
    // them reports every device as having neither.
    // SetupDiGetDeviceInstanceIdA: "USB\VID_0403&PID_6001\A10K3JQ2".
    virtual bool GetDeviceInstanceId(DevSet /*set*/, DevInfoRecord * /*record*/, char * /*buffer*/,
                                     uint32_t /*bufferSize*/) {
        return false;
    }
    // The "PortName" value ("COM5") of the device's hardware key.
    virtual bool ReadPortName(DevSet /*set*/, DevInfoRecord * /*record*/, char * /*buffer*/,
                              uint32_t /*bufferSize*/) {
        return false;
    }
};

// The whole of PortQuest, against any backend.
int QuestPorts(SetupApi &api, const char *nameFragment, int *portNumbers, int maxPorts);

// How the friendly name of a device could be read: Skip when it has none
// (or one that never settles), Fail when the read failed.
enum class NameRead { Ok, Skip, Fail };

// Called for each present "Ports" device until it returns false; name is
// valid during the call and only when read is NameRead::Ok.
using PortVisitor = bool (*)(void *context, DevSet set, DevInfoRecord *record, NameRead read,
                             const char *name);

// The walk itself: the present devices of the first "Ports" class GUID.
void WalkPorts(SetupApi &api, PortVisitor visit, void *context);

// One present device of the "Ports" class, as far as it could be read.
struct PortDevice {
    std::string friendlyName; // "USB Serial Port (COM5)"; empty when unreadable
    std::string instanceId;   // "USB\VID_0403&PID_6001\A10K3JQ2"; empty when unreadable
    std::string portName;     // "COM5"; empty when the device has none
};

// Every present "Ports" device in the order the system lists them
// (port_devices.cpp). Unlike QuestPorts a device whose name cannot be read
// is kept: its port name may still say which port it is.
std::vector<PortDevice> ListPortDevices(SetupApi &api);

// The port number a friendly name designates: the first "COM" in it read as
// "COM%d" (white space and a sign allowed before the digits); 0 when that
// fails or the number is outside 1..255.
int PortNumberOfName(const char *friendlyName);

} // namespace portquest

#endif
