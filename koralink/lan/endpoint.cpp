// What every UDP backend shares.
#include "udp.h"

namespace koralink {

std::string FormatEndpoint(const UdpEndpoint &e) {
    return DottedIpv4(e.ip) + ":" + std::to_string(e.port);
}

std::vector<uint32_t> InterfaceBroadcasts() {
    std::vector<uint32_t> out;
    for (const InterfaceAddress &a : UpInterfaces()) {
        if (a.loopback || a.broadcast == 0 || (a.ip >> 24) == 127)
            continue;
        bool dup = false;
        for (uint32_t o : out)
            dup = dup || o == a.broadcast;
        if (!dup)
            out.push_back(a.broadcast);
    }
    return out;
}

} // namespace koralink
