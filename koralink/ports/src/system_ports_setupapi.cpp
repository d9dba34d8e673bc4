// The system's ports on Windows: the "Ports" devices SetupAPI lists, read
// with portquest's walk.
#include "portenum.h"

#include "setupapi_win.h"

namespace koralink {

std::vector<PortInfo> EnumerateSystemPorts(const std::string & /*sysfsRoot*/,
                                           std::vector<std::string> * /*problems*/) {
    portquest::WindowsSetupApi api;
    std::vector<WindowsPortDevice> devices;
    for (portquest::PortDevice &d : portquest::ListPortDevices(api))
        devices.push_back(
            {std::move(d.friendlyName), std::move(d.instanceId), std::move(d.portName)});
    return PortsOfWindowsDevices(devices);
}

bool ResolveSystemPort(int comNumber, const std::string & /*sysfsRoot*/, PortInfo *out,
                       std::vector<std::string> * /*problems*/) {
    out->comNumber = comNumber;
    out->devicePath = "\\\\.\\COM" + std::to_string(comNumber);
    return true;
}

} // namespace koralink
