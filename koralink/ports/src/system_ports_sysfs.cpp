// The system's ports on Linux: sysfs.
#include "portenum.h"

namespace koralink {

std::vector<PortInfo> EnumerateSystemPorts(const std::string &sysfsRoot,
                                           std::vector<std::string> *problems) {
    return EnumerateSysfsPorts(sysfsRoot, problems);
}

bool ResolveSystemPort(int comNumber, const std::string &sysfsRoot, PortInfo *out,
                       std::vector<std::string> *problems) {
    for (PortInfo &port : EnumerateSysfsPorts(sysfsRoot, problems)) {
        if (port.comNumber == comNumber) {
            *out = std::move(port);
            return true;
        }
    }
    return false;
}

} // namespace koralink
