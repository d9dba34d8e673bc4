// The primary IPv4 address on POSIX systems.
#include "own_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// The source address the kernel picks for the default route. Connecting a
// UDP socket only selects the route: no datagram is sent. The destination is
// from the documentation range, so it never names a real peer.
bool DefaultRouteSource(in_addr *out) {
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
        *out = self.sin_addr;
    return ok;
}

// Without a default route: the first address of an interface that is up,
// loopback only when there is nothing else.
bool FirstInterfaceAddress(in_addr *out) {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false, loopback = false;
    in_addr fallback{};
    for (ifaddrs *i = list; i != nullptr && !found; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
            continue;
        in_addr a = reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr;
        if (!IsLoopback(a)) {
            *out = a;
            found = true;
        } else if (!loopback) {
            fallback = a;
            loopback = true;
        }
    }
    freeifaddrs(list);
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
