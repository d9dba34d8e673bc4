// The real SetupAPI behind the walk's seam.
#include "setupapi_win.h"

#include <windows.h>

#include <setupapi.h>

#include <cstring>

namespace portquest {

namespace {

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(DevInfoRecord) == sizeof(SP_DEVINFO_DATA),
              "the walk's element record must be SetupAPI's SP_DEVINFO_DATA");

HDEVINFO Handle(DevSet set) {
    return reinterpret_cast<HDEVINFO>(set);
}

SP_DEVINFO_DATA Data(const DevInfoRecord *record) {
    SP_DEVINFO_DATA data;
    std::memcpy(&data, record, sizeof data);
    return data;
}

} // namespace

bool WindowsSetupApi::ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                                         uint32_t *requiredSize) {
    DWORD required = 0;
    BOOL ok =
        SetupDiClassGuidsFromNameA(className, reinterpret_cast<GUID *>(list), listSize, &required);
    *requiredSize = required;
    return ok != FALSE;
}

DevSet WindowsSetupApi::GetClassDevs(const Guid *classGuid, uint32_t flags) {
    HDEVINFO set =
        SetupDiGetClassDevsA(reinterpret_cast<const GUID *>(classGuid), nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) {
        return kInvalidDevSet;
    }
    return reinterpret_cast<DevSet>(set);
}

bool WindowsSetupApi::EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) {
    SP_DEVINFO_DATA data = Data(record);
    BOOL ok = SetupDiEnumDeviceInfo(Handle(set), index, &data);
    std::memcpy(record, &data, sizeof data);
    return ok != FALSE;
}

bool WindowsSetupApi::GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record,
                                                uint32_t property, uint32_t *dataType,
                                                unsigned char *buffer, uint32_t bufferSize,
                                                uint32_t *requiredSize) {
    SP_DEVINFO_DATA data = Data(record);
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

bool WindowsSetupApi::DestroyDeviceInfoList(DevSet set) {
    return SetupDiDestroyDeviceInfoList(Handle(set)) != FALSE;
}

uint32_t WindowsSetupApi::LastError() {
    return GetLastError();
}

bool WindowsSetupApi::GetDeviceInstanceId(DevSet set, DevInfoRecord *record, char *buffer,
                                          uint32_t bufferSize) {
    SP_DEVINFO_DATA data = Data(record);
    return SetupDiGetDeviceInstanceIdA(Handle(set), &data, buffer, bufferSize, nullptr) != FALSE;
}

bool WindowsSetupApi::ReadPortName(DevSet set, DevInfoRecord *record, char *buffer,
                                   uint32_t bufferSize) {
    SP_DEVINFO_DATA data = Data(record);
    HKEY key =
        SetupDiOpenDevRegKey(Handle(set), &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD type = 0;
    DWORD size = bufferSize;
    LONG r =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    // The caller's buffer is zero-filled and one byte longer than
    // bufferSize, so a value stored without its NUL still ends.
    return r == ERROR_SUCCESS && type == REG_SZ;
}

} // namespace portquest
