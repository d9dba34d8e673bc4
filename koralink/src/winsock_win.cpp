// Windows side of the network helpers: the one Winsock start-up of the
// library (TCP lines, converter discovery and the own-address lookup all
// come through here) and the resolver.
#include "net_common.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/windows_text.h"

namespace koralink {

bool StartNetwork(std::string *cause) {
    // Reference-counted by Winsock and never undone: the library may be
    // used until the process ends.
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0 && cause)
        *cause = "no network: " + SystemErrorText(static_cast<DWORD>(result));
    return result == 0;
}

bool SystemLookupIpv4(const std::string &host, uint32_t *ip) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
        return false;
    *ip = ntohl(reinterpret_cast<sockaddr_in *>(res->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(res);
    return true;
}

} // namespace koralink
