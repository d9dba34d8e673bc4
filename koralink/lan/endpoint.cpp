// What every UDP backend shares.
#include "udp.h"

namespace koralink {

std::string FormatEndpoint(const UdpEndpoint &e) {
    return std::to_string(e.ip >> 24) + "." + std::to_string((e.ip >> 16) & 255) + "." +
           std::to_string((e.ip >> 8) & 255) + "." + std::to_string(e.ip & 255) + ":" +
           std::to_string(e.port);
}

} // namespace koralink
