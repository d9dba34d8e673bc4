#include "search/converter_values.h"

#include <cstring>

#include "search/search_texts.h"
#include "search/text_format.h"

namespace {

constexpr int32_t kDhcp = 1;
constexpr int32_t kTcpServer = 1;

// The raw parts, so that a part out of range is shown as typed.
std::string PartsText(const int32_t parts[4]) {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::optional<ConverterValueFault> CheckAddress(ConverterField field, const int32_t parts[4]) {
    for (int i = 0; i < 4; ++i)
        if (!IsIpv4Part(parts[i]))
            return ConverterValueFault{
                field, UiTextWith(search_texts::kPartOutOfRange, std::to_string(parts[i]))};
    return std::nullopt;
}

std::optional<ConverterValueFault> CheckPort(ConverterField field, int32_t port) {
    if (IsTcpPort(port))
        return std::nullopt;
    return ConverterValueFault{field, UiTextWith(search_texts::kNotAPort, std::to_string(port))};
}

} // namespace

bool IsIpv4Part(int32_t part) {
    return part >= 0 && part <= 255;
}

bool IsTcpPort(int32_t port) {
    return port >= 1 && port <= 65535;
}

bool IsSubnetMask(const int32_t parts[4]) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        if (!IsIpv4Part(parts[i]))
            return false;
        bits = bits << 8 | static_cast<uint32_t>(parts[i]);
    }
    uint32_t inverted = ~bits;
    return (inverted & (inverted + 1)) == 0;
}

std::optional<ConverterValueFault> CheckConverterValues(const ConnectionRecord &r) {
    if (r.ipMode != kDhcp) {
        if (auto fault = CheckAddress(ConverterField::OwnAddress, r.localIp))
            return fault;
        if (auto fault = CheckAddress(ConverterField::SubnetMask, r.subnetMask))
            return fault;
        if (!IsSubnetMask(r.subnetMask))
            return ConverterValueFault{
                ConverterField::SubnetMask,
                UiTextWith(search_texts::kNotASubnetMask, PartsText(r.subnetMask))};
        if (auto fault = CheckAddress(ConverterField::Gateway, r.gateway))
            return fault;
    }
    if (auto fault = CheckPort(ConverterField::LocalPort, r.localPort))
        return fault;
    if (auto fault = CheckAddress(ConverterField::RemoteHost, r.remoteIp))
        return fault;
    if (r.deviceMode != kTcpServer)
        if (auto fault = CheckPort(ConverterField::RemotePort, r.remotePort))
            return fault;
    return std::nullopt;
}

std::string ConverterRemoteHost(const ConnectionRecord &r) {
    const unsigned char *k = r.reserved0;
    if (k[0] == 'K' && k[1] == 'L' && k[2] == 'N' && k[3] == 1 && (r.reserved1 & 1)) {
        const char *name = reinterpret_cast<const char *>(k + 12);
        size_t length = strnlen(name, sizeof r.reserved0 - 12);
        if (length > 0 && length < sizeof r.reserved0 - 12)
            return std::string(name, length);
    }
    return Ipv4Text(r.remoteIp);
}
