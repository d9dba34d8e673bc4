// UDP seam of the converter part: one socket for a discovery or an access,
// and the broadcast addresses of this computer's interfaces. One backend
// file per platform (udp_posix.cpp, udp_win.cpp).
#ifndef KORALINK_LAN_UDP_H
#define KORALINK_LAN_UDP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net_common.h"

namespace koralink {

struct UdpEndpoint {
    uint32_t ip = 0; // host byte order
    uint16_t port = 0;
    bool operator==(const UdpEndpoint &) const = default;
};

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;

    // Binds the wildcard address on an ephemeral port with broadcasts
    // allowed: modules broadcast their replies to the request's source port,
    // and only a wildcard-bound socket receives those.
    bool Open(std::string *why);
    bool Send(const UdpEndpoint &to, const uint8_t *data, size_t length, std::string *why);
    // Waits up to timeoutMs for one datagram. Returns its length (a datagram
    // longer than capacity is reported as capacity + 1 and dropped), 0 on
    // timeout, -1 on error.
    long Receive(uint8_t *buffer, size_t capacity, int timeoutMs, UdpEndpoint *from);

  private:
    int fd_ = -1;
};

// One IPv4 address of an interface that is up, in the system's order.
struct InterfaceAddress {
    uint32_t ip = 0;
    uint32_t broadcast = 0; // 0: the interface cannot broadcast
    bool loopback = false;
};
// The system's interface walk; per platform.
std::vector<InterfaceAddress> UpInterfaces();
// The source address the system picks for its default route; false when it
// has none. Per platform.
bool DefaultRouteSource(uint32_t *address);

// Broadcast address of every interface that is up, has IPv4 and can
// broadcast (loopback excluded), each once.
std::vector<uint32_t> InterfaceBroadcasts();
std::string FormatEndpoint(const UdpEndpoint &e);

} // namespace koralink

#endif
