// This computer's own IPv4 address, as the converter dialog offers it for a
// converter's remote address: the address the computer would send from on
// its default route. The system side is the interface walk of the UDP
// backends.
#ifndef CORVIN_OWN_ADDRESS_H
#define CORVIN_OWN_ADDRESS_H

#include <string>

// Dotted text of the primary IPv4 address into *text. Loopback only when
// the computer has no other address. False when none can be found.
bool PrimaryIpv4Address(std::string *text);

// Replaces the platform lookup (tests); null restores it.
using OwnAddressSource = bool (*)(std::string *text);
void SetOwnAddressSource(OwnAddressSource source);

#endif
