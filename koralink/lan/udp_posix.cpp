#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "udp.h"

namespace koralink {

namespace {

sockaddr_in ToSockaddr(const UdpEndpoint &e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(e.ip);
    a.sin_port = htons(e.port);
    return a;
}

bool Fail(std::string *why, const char *what) {
    if (why)
        *why = std::string(what) + ": " + std::strerror(errno);
    return false;
}

} // namespace

UdpSocket::~UdpSocket() {
    if (fd_ >= 0)
        close(fd_);
}

bool UdpSocket::Open(std::string *why) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return Fail(why, "cannot create a UDP socket");
    int on = 1;
    if (setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return Fail(why, "cannot allow broadcasts");
    sockaddr_in any = ToSockaddr({INADDR_ANY, 0});
    if (bind(fd_, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0)
        return Fail(why, "cannot open a UDP port");
    return true;
}

bool UdpSocket::Send(const UdpEndpoint &to, const uint8_t *data, size_t length, std::string *why) {
    sockaddr_in a = ToSockaddr(to);
    ssize_t n = sendto(fd_, data, length, 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
    if (n != static_cast<ssize_t>(length))
        return Fail(why, ("cannot send to " + FormatEndpoint(to)).c_str());
    return true;
}

long UdpSocket::Receive(uint8_t *buffer, size_t capacity, int timeoutMs, UdpEndpoint *from) {
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    if (r == 0)
        return 0;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    // MSG_TRUNC gives the real size, so an oversized datagram is recognised
    // instead of being parsed cut.
    ssize_t n = recvfrom(fd_, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr *>(&a), &len);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? 0 : -1;
    from->ip = ntohl(a.sin_addr.s_addr);
    from->port = ntohs(a.sin_port);
    if (static_cast<size_t>(n) > capacity)
        return static_cast<long>(capacity) + 1;
    return n == 0 ? static_cast<long>(capacity) + 1 : n; // an empty datagram is junk too
}

std::vector<InterfaceAddress> UpInterfaces() {
    std::vector<InterfaceAddress> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
            continue;
        InterfaceAddress a;
        a.ip = ntohl(reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr);
        a.loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        if ((i->ifa_flags & IFF_BROADCAST) && i->ifa_broadaddr)
            a.broadcast = ntohl(reinterpret_cast<sockaddr_in *>(i->ifa_broadaddr)->sin_addr.s_addr);
        out.push_back(a);
    }
    freeifaddrs(list);
    return out;
}

// Connecting a UDP socket only selects the route: no datagram is sent. The
// destination is from the documentation range, so it never names a real
// peer.
bool DefaultRouteSource(uint32_t *address) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in peer = ToSockaddr({0xC0000201u, 9}); // 192.0.2.1
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

} // namespace koralink
