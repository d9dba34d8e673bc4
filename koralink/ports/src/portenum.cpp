// The library's view of the ports: the system's real ports and the port
// map, as the environment configures them.
#include "portenum.h"

#include <cstdlib>
#include <cstring>

namespace koralink {

namespace {
const char *Env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}
} // namespace

std::vector<PortInfo> EnumeratePorts() {
    std::vector<PortInfo> mapEntries = ReadPortMapFile(Env("KORALINK_PORTMAP"));
    if (std::strcmp(Env("KORALINK_PORTMAP_ONLY"), "1") == 0) {
        return mapEntries;
    }
    const char *root = Env("KORALINK_SYSFS_ROOT");
    return MergePortMap(EnumerateSystemPorts(*root != '\0' ? root : "/"), mapEntries);
}

bool ResolvePort(int comNumber, PortInfo *out) {
    if (comNumber < kMinComNumber || comNumber > kMaxComNumber) {
        return false;
    }
    PortInfo found;
    bool known = false;
    for (PortInfo &port : ReadPortMapFile(Env("KORALINK_PORTMAP"))) {
        if (port.comNumber == comNumber) {
            found = std::move(port);
            known = true;
            break;
        }
    }
    if (!known && std::strcmp(Env("KORALINK_PORTMAP_ONLY"), "1") != 0) {
        const char *root = Env("KORALINK_SYSFS_ROOT");
        known = ResolveSystemPort(comNumber, *root != '\0' ? root : "/", &found);
    }
    if (known && out != nullptr) {
        *out = std::move(found);
    }
    return known;
}

} // namespace koralink
