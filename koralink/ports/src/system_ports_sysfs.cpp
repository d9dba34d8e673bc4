// The system's ports on Linux: sysfs.
#include "portenum.h"

namespace koralink {

std::vector<PortInfo> EnumerateSystemPorts(const std::string &sysfsRoot) {
    return EnumerateSysfsPorts(sysfsRoot);
}

} // namespace koralink
