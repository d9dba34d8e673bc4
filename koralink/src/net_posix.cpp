// POSIX side of the network helpers: the resolver; sockets need no start-up.
#include "net_common.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace koralink {

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

bool StartNetwork(std::string * /*cause*/) {
    return true;
}

} // namespace koralink
