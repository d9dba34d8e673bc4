// The values a converter module may be given, checked once for everyone who
// writes them (the settings dialog and the converter command), and the
// remote host as a module reports it.
#ifndef CORVIN_CONVERTER_VALUES_H
#define CORVIN_CONVERTER_VALUES_H

#include <cstdint>
#include <optional>
#include <string>

#include "koralink.h"

// A run of ones followed by zeros, each part 0..255.
bool IsSubnetMask(const int32_t parts[4]);
bool IsIpv4Part(int32_t part);
bool IsTcpPort(int32_t port); // 1..65535

// The settings a write carries, in the dialog's order.
enum class ConverterField { OwnAddress, SubnetMask, Gateway, LocalPort, RemoteHost, RemotePort };

struct ConverterValueFault {
    ConverterField field;
    std::string why; // e.g. "255.0.255.0 is not a subnet mask"
};

// The first value of the record a write must not send, or none. Addresses,
// mask and gateway count with a static address only (with DHCP the module
// is not given them); the remote port only where the module uses a peer
// (not as a TCP server, where the dialog cannot edit it).
std::optional<ConverterValueFault> CheckConverterValues(const ConnectionRecord &record);

// The remote host: the dotted address, or the domain name the library kept
// for a module whose remote host is a name (docs/converter-discovery.md).
std::string ConverterRemoteHost(const ConnectionRecord &record);

#endif
