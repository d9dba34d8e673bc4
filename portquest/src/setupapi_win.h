// The real SetupAPI behind the walk's seam (Windows only): a thin
// pass-through, shared by portquest.dll and koralink's port list. Stateless;
// callers make one on the stack where they need it.
#ifndef PORTQUEST_SETUPAPI_WINDOWS_H
#define PORTQUEST_SETUPAPI_WINDOWS_H

#include "setupapi_seam.h"

namespace portquest {

class WindowsSetupApi : public SetupApi {
  public:
    bool ClassGuidsFromName(const char *className, Guid *list, uint32_t listSize,
                            uint32_t *requiredSize) override;
    DevSet GetClassDevs(const Guid *classGuid, uint32_t flags) override;
    bool EnumDeviceInfo(DevSet set, uint32_t index, DevInfoRecord *record) override;
    bool GetDeviceRegistryProperty(DevSet set, DevInfoRecord *record, uint32_t property,
                                   uint32_t *dataType, unsigned char *buffer, uint32_t bufferSize,
                                   uint32_t *requiredSize) override;
    bool DestroyDeviceInfoList(DevSet set) override;
    uint32_t LastError() override;
    bool GetDeviceInstanceId(DevSet set, DevInfoRecord *record, char *buffer,
                             uint32_t bufferSize) override;
    bool ReadPortName(DevSet set, DevInfoRecord *record, char *buffer,
                      uint32_t bufferSize) override;
};

} // namespace portquest

#endif
