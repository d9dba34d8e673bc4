// Windows backend: the real SetupAPI, plus the DLL's entry point.
#include "portquest.h"
#include "setupapi_seam.h"

#include <windows.h>

#include <setupapi.h>

#include <cstring>

namespace portquest {

namespace {

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(DevInfoRecord) == sizeof(SP_DEVINFO_DATA),
              "the walk's element record must be SetupAPI's SP_DEVINFO_DATA");

class WindowsSetupApi : public SetupApi {
  public:
    bool ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                            uint32_t *requiredSize) override {
        DWORD required = 0;
        BOOL ok = SetupDiClassGuidsFromNameA(className, reinterpret_cast<GUID *>(list), listSize,
                                             &required);
        *requiredSize = required;
        return ok != FALSE;
    }

    DevSet GetClassDevs(const Guid *classGuid, uint32_t flags) override {
        HDEVINFO set = SetupDiGetClassDevsA(reinterpret_cast<const GUID *>(classGuid), nullptr,
                                            nullptr, flags);
        if (set == INVALID_HANDLE_VALUE) {
            return kInvalidDevSet;
        }
        return reinterpret_cast<DevSet>(set);
    }

    bool EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) override {
        SP_DEVINFO_DATA data;
        std::memcpy(&data, record, sizeof data);
        BOOL ok = SetupDiEnumDeviceInfo(Handle(set), index, &data);
        std::memcpy(record, &data, sizeof data);
        return ok != FALSE;
    }

    bool GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record, uint32_t property,
                                   uint32_t *dataType, unsigned char *buffer, uint32_t bufferSize,
                                   uint32_t *requiredSize) override {
        SP_DEVINFO_DATA data;
        std::memcpy(&data, record, sizeof data);
        DWORD type = 0;
        DWORD required = 0;
        BOOL ok = SetupDiGetDeviceRegistryPropertyA(Handle(set), &data, property, &type, buffer,
                                                    bufferSize, &required);
        // Keep the error of the call itself: nothing below may touch it.
        if (dataType != nullptr) {
            *dataType = type;
        }
        if (requiredSize != nullptr) {
            *requiredSize = required;
        }
        return ok != FALSE;
    }

    bool DestroyDeviceInfoList(DevSet set) override {
        return SetupDiDestroyDeviceInfoList(Handle(set)) != FALSE;
    }

    uint32_t LastError() override { return GetLastError(); }

  private:
    static HDEVINFO Handle(DevSet set) { return reinterpret_cast<HDEVINFO>(set); }
};

} // namespace

} // namespace portquest

extern "C" int PortQuest(const char *nameFragment, int *portNumbers, int maxPorts) {
    portquest::WindowsSetupApi api;
    return portquest::QuestPorts(api, nameFragment, portNumbers, maxPorts);
}

// The library needs no set-up or clean-up on any attach or detach.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
