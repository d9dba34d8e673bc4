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
    std::vector<PortInfo> real = EnumerateSystemPorts(SettingText(Setting::SysfsRoot), &problems);
    for (const std::string &problem : problems) {
        ReportOnce(problem);
    }
    return MergePortMap(std::move(real), mapEntries);
}

bool ResolvePort(int comNumber, PortInfo *out) {
    if (comNumber < kMinComNumber || comNumber > kMaxComNumber) {
        return false;
    }
    PortInfo found;
    bool known = false;
    for (PortInfo &port : ReadConfiguredPortMap()) {
        if (port.comNumber == comNumber) {
            found = std::move(port);
            known = true;
            break;
        }
    }
    if (!known && !SettingFlag(Setting::PortMapOnly)) {
        std::vector<std::string> problems;
        known = ResolveSystemPort(comNumber, SettingText(Setting::SysfsRoot), &found, &problems);
        for (const std::string &problem : problems) {
            ReportOnce(problem);
        }
    }
    if (known && out != nullptr) {
        *out = std::move(found);
    }
    return known;
}

} // namespace koralink
