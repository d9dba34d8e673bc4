// The "Ports" devices with the details koralink's port list needs. Kept out
// of walk.cpp so that portquest.dll carries no C++ library code.
#include "setupapi_seam.h"

#include <cstring>

namespace portquest {

namespace {

struct Listing {
    SetupApi &api;
    std::vector<PortDevice> devices;
};

bool VisitForList(void *context, DevSet set, DevInfoRecord *record, NameRead read,
                  const char *name) {
    Listing &l = *static_cast<Listing *>(context);
    PortDevice device;
    if (read == NameRead::Ok) {
        device.friendlyName = name;
    }
    // Instance IDs are at most 200 characters; port names a few.
    char text[256] = {};
    if (l.api.GetDeviceInstanceId(set, record, text, sizeof text - 1)) {
        device.instanceId = text;
    }
    std::memset(text, 0, sizeof text);
    if (l.api.ReadPortName(set, record, text, sizeof text - 1)) {
        device.portName = text;
    }
    l.devices.push_back(std::move(device));
    return true;
}

} // namespace

std::vector<PortDevice> ListPortDevices(SetupApi &api) {
    Listing l{api, {}};
    WalkPorts(api, VisitForList, &l);
    return std::move(l.devices);
}

} // namespace portquest
