// Which of this computer's addresses the converter dialog offers.
#include "own_address.h"

#include "udp.h"

namespace {

OwnAddressSource g_source = nullptr;

bool IsLoopback(uint32_t address) {
    return (address >> 24) == 127;
}

// The default route's source; without a default route the first address of
// an interface that is up, loopback only when there is nothing else.
bool SystemAddress(std::string *text) {
    uint32_t address = 0;
    if (koralink::DefaultRouteSource(&address) && !IsLoopback(address)) {
        *text = koralink::DottedIpv4(address);
        return true;
    }
    bool loopback = false;
    uint32_t fallback = 0;
    for (const koralink::InterfaceAddress &i : koralink::UpInterfaces()) {
        uint32_t a = i.ip;
        if (!IsLoopback(a)) {
            *text = koralink::DottedIpv4(a);
            return true;
        }
        if (!loopback)
            fallback = a, loopback = true;
    }
    if (loopback)
        *text = koralink::DottedIpv4(fallback);
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
