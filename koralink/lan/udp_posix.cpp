#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
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

bool ResolveIpv4(const std::string &host, uint32_t *ip) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
        *ip = ntohl(a.s_addr);
        return true;
    }
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

std::vector<uint32_t> InterfaceBroadcasts() {
    std::vector<uint32_t> out;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK) ||
            !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr)
            continue;
        uint32_t b = ntohl(reinterpret_cast<sockaddr_in *>(i->ifa_broadaddr)->sin_addr.s_addr);
        bool dup = false;
        for (uint32_t o : out)
            dup = dup || o == b;
        if (b != 0 && !dup)
            out.push_back(b);
    }
    freeifaddrs(list);
    return out;
}

} // namespace koralink
