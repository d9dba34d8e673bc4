// UDP backend for Windows: Winsock, and the interfaces' broadcast addresses
// from GetAdaptersAddresses.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <vector>

#include "support/windows_text.h"
#include "udp.h"

namespace koralink {

namespace {

// SIO_UDP_CONNRESET of mstcpip.h, which older MinGW headers lack.
constexpr DWORD kSioUdpConnReset = IOC_IN | IOC_VENDOR | 12;

bool StartWinsock(std::string *why) {
    // Reference-counted by Winsock and never undone: the library may be
    // used until the process ends.
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0 && why)
        *why = "no network: " + SystemErrorText(static_cast<DWORD>(result));
    return result == 0;
}

sockaddr_in ToSockaddr(const UdpEndpoint &e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(e.ip);
    a.sin_port = htons(e.port);
    return a;
}

bool Fail(std::string *why, const std::string &what) {
    if (why)
        *why = what + ": " + SystemErrorText(static_cast<DWORD>(WSAGetLastError()));
    return false;
}

// Socket handles are kernel handles, which 64-bit Windows keeps within 32
// bits, so the int of the shared class holds one.
SOCKET Sock(int fd) {
    return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

} // namespace

UdpSocket::~UdpSocket() {
    if (fd_ >= 0)
        closesocket(Sock(fd_));
}

bool UdpSocket::Open(std::string *why) {
    if (!StartWinsock(why))
        return false;
    SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return Fail(why, "cannot create a UDP socket");
    fd_ = static_cast<int>(s);
    BOOL on = TRUE;
    if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), sizeof on) !=
        0)
        return Fail(why, "cannot allow broadcasts");
    // A datagram to a port nobody listens on earns an ICMP reply, which
    // Windows turns into WSAECONNRESET on the socket's next receive: with a
    // list of discovery targets one silent address would end the search.
    BOOL off = FALSE;
    DWORD unused = 0;
    WSAIoctl(s, kSioUdpConnReset, &off, sizeof off, nullptr, 0, &unused, nullptr, nullptr);
    sockaddr_in any = ToSockaddr({INADDR_ANY, 0});
    if (bind(s, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0)
        return Fail(why, "cannot open a UDP port");
    return true;
}

bool UdpSocket::Send(const UdpEndpoint &to, const uint8_t *data, size_t length, std::string *why) {
    sockaddr_in a = ToSockaddr(to);
    int n = sendto(Sock(fd_), reinterpret_cast<const char *>(data), static_cast<int>(length), 0,
                   reinterpret_cast<sockaddr *>(&a), sizeof a);
    if (n != static_cast<int>(length))
        return Fail(why, "cannot send to " + FormatEndpoint(to));
    return true;
}

long UdpSocket::Receive(uint8_t *buffer, size_t capacity, int timeoutMs, UdpEndpoint *from) {
    SOCKET s = Sock(fd_);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{};
    if (timeoutMs > 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
    }
    int r = select(0, &readable, nullptr, nullptr, &tv);
    if (r == SOCKET_ERROR)
        return -1;
    if (r == 0)
        return 0;
    sockaddr_in a{};
    int len = sizeof a;
    int n = recvfrom(s, reinterpret_cast<char *>(buffer), static_cast<int>(capacity), 0,
                     reinterpret_cast<sockaddr *>(&a), &len);
    if (n == SOCKET_ERROR) {
        int e = WSAGetLastError();
        // Winsock has no MSG_TRUNC: an oversized datagram fails with
        // WSAEMSGSIZE (its head in the buffer, the rest gone) and is junk.
        if (e == WSAEMSGSIZE) {
            from->ip = ntohl(a.sin_addr.s_addr);
            from->port = ntohs(a.sin_port);
            return static_cast<long>(capacity) + 1;
        }
        return e == WSAECONNRESET || e == WSAEWOULDBLOCK || e == WSAEINTR ? 0 : -1;
    }
    from->ip = ntohl(a.sin_addr.s_addr);
    from->port = ntohs(a.sin_port);
    return n == 0 ? static_cast<long>(capacity) + 1 : n; // an empty datagram is junk too
}

bool ResolveIpv4(const std::string &host, uint32_t *ip) {
    if (!StartWinsock(nullptr))
        return false;
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
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<unsigned char> buffer(16384);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG r = ERROR_BUFFER_OVERFLOW;
    // The list can grow between the size query and the read; a few tries.
    for (int attempt = 0; attempt < 4 && r == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        r = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
    }
    if (r != NO_ERROR)
        return out;
    for (auto *a = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); a; a = a->Next) {
        // Loopback, tunnels and point-to-point links cannot broadcast.
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            a->IfType == IF_TYPE_TUNNEL || a->IfType == IF_TYPE_PPP)
            continue;
        for (auto *u = a->FirstUnicastAddress; u; u = u->Next) {
            if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET)
                continue;
            unsigned prefix = u->OnLinkPrefixLength;
            if (prefix == 0 || prefix >= 31)
                continue;
            uint32_t ip = ntohl(
                reinterpret_cast<const sockaddr_in *>(u->Address.lpSockaddr)->sin_addr.s_addr);
            uint32_t b = ip | (0xffffffffu >> prefix);
            bool dup = false;
            for (uint32_t o : out)
                dup = dup || o == b;
            if ((ip >> 24) != 127 && !dup)
                out.push_back(b);
        }
    }
    return out;
}

} // namespace koralink
