// The system's ports on Linux: sysfs.
#include "portenum.h"

namespace koralink {

std::vector<PortInfo> EnumerateSystemPorts(const std::string &sysfsRoot) {
    return EnumerateSysfsPorts(sysfsRoot);
}

bool ResolveSystemPort(int comNumber, const std::string &sysfsRoot, PortInfo *out) {
    for (PortInfo &port : EnumerateSysfsPorts(sysfsRoot)) {
        if (port.comNumber == comNumber) {
            *out = std::move(port);
            return true;
        }
    }
    return false;
}

} // namespace koralink
