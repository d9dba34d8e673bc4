// The system side of the own-address lookup: one backend per system
// (own_address_posix.cpp, own_address_win.cpp). Addresses in host order.
#ifndef CORVIN_OWN_ADDRESS_BACKEND_H
#define CORVIN_OWN_ADDRESS_BACKEND_H

#include <cstdint>
#include <vector>

namespace own_address {

// The source address the system picks for its default route; false when it
// has none.
bool DefaultRouteSource(uint32_t *address);
// The IPv4 addresses of the interfaces that are up, in the system's order.
std::vector<uint32_t> UpInterfaceAddresses();

} // namespace own_address

#endif
