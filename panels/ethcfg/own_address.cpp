// Which of this computer's addresses the converter dialog offers.
#include "own_address.h"

#include <cstdio>

#include "own_address_backend.h"

namespace {

OwnAddressSource g_source = nullptr;

bool IsLoopback(uint32_t address) {
    return (address >> 24) == 127;
}

std::string Dotted(uint32_t a) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255,
                  a & 255);
    return text;
}

// The default route's source; without a default route the first address of
// an interface that is up, loopback only when there is nothing else.
bool SystemAddress(std::string *text) {
    uint32_t address = 0;
    if (own_address::DefaultRouteSource(&address) && !IsLoopback(address)) {
        *text = Dotted(address);
        return true;
    }
    bool loopback = false;
    uint32_t fallback = 0;
    for (uint32_t a : own_address::UpInterfaceAddresses()) {
        if (!IsLoopback(a)) {
            *text = Dotted(a);
            return true;
        }
        if (!loopback)
            fallback = a, loopback = true;
    }
    if (loopback)
        *text = Dotted(fallback);
    return loopback;
}

} // namespace

bool PrimaryIpv4Address(std::string *text) {
    if (!text)
        return false;
    return g_source ? g_source(text) : SystemAddress(text);
}

void SetOwnAddressSource(OwnAddressSource source) {
    g_source = source;
}
