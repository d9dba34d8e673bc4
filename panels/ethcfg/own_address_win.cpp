// The primary IPv4 address on Windows.
#include "own_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <vector>

namespace {

OwnAddressSource g_source = nullptr;

std::string Dotted(const in_addr &address) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool IsLoopback(const in_addr &address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

// The source address Windows picks for the default route. Connecting a UDP
// socket only selects the route: no datagram is sent. The destination is
// from the documentation range, so it never names a real peer.
bool DefaultRouteSource(in_addr *out) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return false;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(9);
    inet_pton(AF_INET, "192.0.2.1", &peer.sin_addr);
    sockaddr_in self{};
    int length = sizeof self;
    bool ok = connect(s, reinterpret_cast<sockaddr *>(&peer), sizeof peer) == 0 &&
              getsockname(s, reinterpret_cast<sockaddr *>(&self), &length) == 0 &&
              self.sin_addr.s_addr != htonl(INADDR_ANY);
    closesocket(s);
    if (ok)
        *out = self.sin_addr;
    return ok;
}

// Without a default route: the first address of an adapter that is up,
// loopback only when there is nothing else.
bool FirstInterfaceAddress(in_addr *out) {
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<unsigned char> buffer(16384);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG r = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && r == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        r = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
    }
    if (r != NO_ERROR)
        return false;
    bool found = false, loopback = false;
    in_addr fallback{};
    for (auto *a = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); a && !found;
         a = a->Next) {
        if (a->OperStatus != IfOperStatusUp)
            continue;
        for (auto *u = a->FirstUnicastAddress; u && !found; u = u->Next) {
            if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET)
                continue;
            in_addr address = reinterpret_cast<sockaddr_in *>(u->Address.lpSockaddr)->sin_addr;
            if (!IsLoopback(address)) {
                *out = address;
                found = true;
            } else if (!loopback) {
                fallback = address;
                loopback = true;
            }
        }
    }
    if (!found && loopback)
        *out = fallback;
    return found || loopback;
}

bool PlatformAddress(std::string *text) {
    in_addr address{};
    bool routed = DefaultRouteSource(&address) && !IsLoopback(address);
    if (!routed && !FirstInterfaceAddress(&address))
        return false;
    *text = Dotted(address);
    return true;
}

} // namespace

bool PrimaryIpv4Address(std::string *text) {
    if (!text)
        return false;
    return g_source ? g_source(text) : PlatformAddress(text);
}

void SetOwnAddressSource(OwnAddressSource source) {
    g_source = source;
}
