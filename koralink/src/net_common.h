// Network helpers every platform shares: address text, name resolution and
// the checks of a TCP target before any socket exists. The system calls
// behind them sit in one file per platform (net_posix.cpp, winsock_win.cpp).
#ifndef KORALINK_NET_COMMON_H
#define KORALINK_NET_COMMON_H

#include <cstdint>
#include <string>

namespace koralink {

// Strict dotted quad ("192.168.0.7"): four decimal parts 0-255, no leading
// zeros (which some resolvers read as octal), nothing else. Host byte order.
bool ParseDottedIpv4(const std::string &text, uint32_t *ip);
std::string DottedIpv4(uint32_t ip);

// IPv4 address of a dotted text or a host name; false when it does not
// resolve.
bool ResolveIpv4(const std::string &host, uint32_t *ip);

// A TCP target as the library accepts it: a dotted address and a port
// 1-65535. On failure *cause says which part is wrong.
bool CheckTcpTarget(const std::string &ipText, int port, uint32_t *ip, std::string *cause);

// The system's name lookup (first IPv4 address); per platform.
bool SystemLookupIpv4(const std::string &host, uint32_t *ip);

// Makes the system's sockets usable (Winsock's start-up; nothing on POSIX).
// Once per process; false with the cause when the system refuses.
bool StartNetwork(std::string *cause);

} // namespace koralink

#endif
