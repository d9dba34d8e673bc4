// The library's view of the ports: the system's real ports and the port
// map, as the environment configures them.
#include "portenum.h"

#include "config.h"

namespace koralink {

std::vector<PortInfo> EnumeratePorts() {
    std::vector<PortInfo> mapEntries = ReadConfiguredPortMap();
    if (SettingFlag(Setting::PortMapOnly)) {
        return mapEntries;
    }
    std::vector<std::string> problems;
    std::vector<PortInfo> real = EnumerateSysfsPorts(SettingText(Setting::SysfsRoot), &problems);
    for (const std::string &problem : problems) {
        ReportOnce(problem);
    }
    return MergePortMap(std::move(real), mapEntries);
}

bool ResolvePort(int comNumber, PortInfo *out) {
    if (comNumber < kMinComNumber || comNumber > kMaxComNumber) {
        return false;
    }
    for (PortInfo &port : EnumeratePorts()) {
        if (port.comNumber == comNumber) {
            if (out != nullptr) {
                *out = std::move(port);
            }
            return true;
        }
    }
    return false;
}

} // namespace koralink
