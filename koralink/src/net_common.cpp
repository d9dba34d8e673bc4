#include "net_common.h"

namespace koralink {

bool ParseDottedIpv4(const std::string &text, uint32_t *ip) {
    uint32_t value = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        size_t begin = at;
        unsigned number = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 3)
            number = number * 10 + static_cast<unsigned>(text[at++] - '0');
        size_t digits = at - begin;
        if (digits == 0 || number > 255 || (digits > 1 && text[begin] == '0'))
            return false;
        value = value << 8 | number;
    }
    if (at != text.size())
        return false;
    *ip = value;
    return true;
}

std::string DottedIpv4(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}

bool ResolveIpv4(const std::string &host, uint32_t *ip) {
    if (host.empty())
        return false;
    if (ParseDottedIpv4(host, ip))
        return true;
    std::string unused;
    return StartNetwork(&unused) && SystemLookupIpv4(host, ip);
}

bool CheckTcpTarget(const std::string &ipText, int port, uint32_t *ip, std::string *cause) {
    if (!ParseDottedIpv4(ipText, ip)) {
        *cause = "not an IPv4 address";
        return false;
    }
    if (port < 1 || port > 65535) {
        *cause = "port number out of range";
        return false;
    }
    return true;
}

} // namespace koralink
