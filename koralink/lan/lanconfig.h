// Configuration of converter discovery, from the environment (read through
// config.h, which names an unusable value and uses the default instead).
//
//   KORALINK_LAN_TARGETS    where the discovery request goes: host or host:port,
//                           comma-separated, broadcast or unicast (port 50001
//                           when omitted). Unset: the broadcast address of every
//                           up IPv4 interface.
//   KORALINK_LAN_DIRECT     modules on other subnets, host or host:port; asked
//                           by unicast in addition to the targets.
//   KORALINK_LAN_WINDOW_MS  longest wait for replies (300)
//   KORALINK_LAN_QUIET_MS   the wait ends this long after the last reply (100)
//   KORALINK_LAN_ACCESS_MS  wait for one read or write answer (1500)
//   KORALINK_LAN_REBOOT_MS  wait for a module to answer after its restart (10000)
//   KORALINK_LAN_SEARCH_ID  search id the modules were given (none)
//   KORALINK_LAN_MAX_MODULES  modules one search accepts (256); a stranger on
//                           the network can forge any number of replies, and
//                           the program probes every module it lists
#ifndef KORALINK_LANCONFIG_H
#define KORALINK_LANCONFIG_H

#include <string>
#include <string_view>
#include <vector>

#include "udp.h"

namespace koralink {

struct LanConfig {
    std::vector<UdpEndpoint> targets; // targets then direct addresses, no repeats
    int windowMs = 300;
    int quietMs = 100;
    int accessMs = 1500;
    int resendMs = 500; // resend of a read or write while waiting
    int rebootMs = 10000;
    std::string searchId;
    size_t maxModules = 256;
};

// Parses a "host[:port],..." list and appends to *out. False with the cause
// on an entry that is empty, does not resolve or has a bad port.
bool ParseTargetList(std::string_view text, std::vector<UdpEndpoint> *out, std::string *why);

// Reads the environment.
LanConfig LoadLanConfig();

} // namespace koralink

#endif
