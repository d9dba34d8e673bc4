// The system side of the own-address lookup on Windows.
#include "own_address_backend.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

namespace own_address {

// Connecting a UDP socket only selects the route: no datagram is sent. The
// destination is from the documentation range, so it never names a real
// peer.
bool DefaultRouteSource(uint32_t *address) {
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
        *address = ntohl(self.sin_addr.s_addr);
    return ok;
}

std::vector<uint32_t> UpInterfaceAddresses() {
    std::vector<uint32_t> addresses;
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
        return addresses;
    for (auto *a = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp)
            continue;
        for (auto *u = a->FirstUnicastAddress; u; u = u->Next)
            if (u->Address.lpSockaddr && u->Address.lpSockaddr->sa_family == AF_INET)
                addresses.push_back(
                    ntohl(reinterpret_cast<sockaddr_in *>(u->Address.lpSockaddr)->sin_addr.s_addr));
    }
    return addresses;
}

} // namespace own_address
