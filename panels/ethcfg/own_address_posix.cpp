// The system side of the own-address lookup on POSIX systems.
#include "own_address_backend.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace own_address {

// Connecting a UDP socket only selects the route: no datagram is sent. The
// destination is from the documentation range, so it never names a real
// peer.
bool DefaultRouteSource(uint32_t *address) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(9);
    inet_pton(AF_INET, "192.0.2.1", &peer.sin_addr);
    sockaddr_in self{};
    socklen_t length = sizeof self;
    bool ok = connect(fd, reinterpret_cast<sockaddr *>(&peer), sizeof peer) == 0 &&
              getsockname(fd, reinterpret_cast<sockaddr *>(&self), &length) == 0 &&
              self.sin_addr.s_addr != htonl(INADDR_ANY);
    close(fd);
    if (ok)
        *address = ntohl(self.sin_addr.s_addr);
    return ok;
}

std::vector<uint32_t> UpInterfaceAddresses() {
    std::vector<uint32_t> addresses;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (ifaddrs *i = list; i != nullptr; i = i->ifa_next)
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP))
            addresses.push_back(
                ntohl(reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr));
    freeifaddrs(list);
    return addresses;
}

} // namespace own_address
