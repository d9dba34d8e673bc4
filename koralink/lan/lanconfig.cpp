#include "lanconfig.h"

#include <algorithm>
#include <cstdlib>

#include "segcp.h"

namespace koralink {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool EnvMs(const char *name, int low, int high, int *out, std::string *why) {
    const char *v = std::getenv(name);
    if (!v || !*v)
        return true;
    char *end = nullptr;
    long n = std::strtol(v, &end, 10);
    if (*end != '\0' || n < low || n > high) {
        *why = std::string(name) + " must be a number of milliseconds from " + std::to_string(low) +
               " to " + std::to_string(high);
        return false;
    }
    *out = static_cast<int>(n);
    return true;
}

} // namespace

bool ParseTargetList(std::string_view text, std::vector<UdpEndpoint> *out, std::string *why) {
    while (true) {
        size_t comma = text.find(',');
        std::string_view entry = Trim(text.substr(0, comma));
        if (entry.empty()) {
            *why = "empty entry in the converter target list";
            return false;
        }
        UdpEndpoint e{0, static_cast<uint16_t>(segcp::kPort)};
        std::string_view host = entry;
        size_t colon = entry.rfind(':');
        if (colon != std::string_view::npos) {
            host = entry.substr(0, colon);
            std::string_view port = entry.substr(colon + 1);
            int p = 0;
            bool ok = !port.empty() && port.size() <= 5;
            for (char c : port) {
                ok = ok && c >= '0' && c <= '9';
                p = ok ? p * 10 + (c - '0') : 0;
            }
            if (!ok || p < 1 || p > 65535) {
                *why = "bad port in converter target \"" + std::string(entry) + "\"";
                return false;
            }
            e.port = static_cast<uint16_t>(p);
        }
        if (host.empty() || !ResolveIpv4(std::string(host), &e.ip) || e.ip == 0) {
            *why = "converter target \"" + std::string(entry) + "\" is not a known host";
            return false;
        }
        if (std::find(out->begin(), out->end(), e) == out->end())
            out->push_back(e);
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

bool LoadLanConfig(LanConfig *cfg, std::string *why) {
    LanConfig c;
    const char *targets = std::getenv("KORALINK_LAN_TARGETS");
    if (targets) {
        if (!ParseTargetList(targets, &c.targets, why))
            return false;
    } else {
        for (uint32_t b : InterfaceBroadcasts())
            c.targets.push_back({b, static_cast<uint16_t>(segcp::kPort)});
    }
    const char *direct = std::getenv("KORALINK_LAN_DIRECT");
    if (direct && *direct && !ParseTargetList(direct, &c.targets, why))
        return false;
    if (!EnvMs("KORALINK_LAN_WINDOW_MS", 10, 10000, &c.windowMs, why) ||
        !EnvMs("KORALINK_LAN_QUIET_MS", 10, 10000, &c.quietMs, why) ||
        !EnvMs("KORALINK_LAN_ACCESS_MS", 50, 30000, &c.accessMs, why) ||
        !EnvMs("KORALINK_LAN_REBOOT_MS", 100, 120000, &c.rebootMs, why))
        return false;
    c.resendMs = std::clamp(c.accessMs / 3, 20, 500);
    if (const char *id = std::getenv("KORALINK_LAN_SEARCH_ID")) {
        if (!segcp::ValidSearchId(id)) {
            *why = "KORALINK_LAN_SEARCH_ID must be at most 9 printable characters without spaces";
            return false;
        }
        c.searchId = id;
    }
    *cfg = std::move(c);
    return true;
}

} // namespace koralink
