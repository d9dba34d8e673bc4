#include "lanconfig.h"

#include <algorithm>

#include "config.h"
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

// Check of a target list that keeps what it parsed.
TextCheck TargetList(std::vector<UdpEndpoint> *out) {
    return [out](const std::string &value, std::string *why) {
        out->clear();
        return ParseTargetList(value, out, why);
    };
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

LanConfig LoadLanConfig() {
    LanConfig c;
    if (SettingText(Setting::LanTargets, TargetList(&c.targets)).empty()) {
        c.targets.clear();
        for (uint32_t b : InterfaceBroadcasts())
            c.targets.push_back({b, static_cast<uint16_t>(segcp::kPort)});
    }
    std::vector<UdpEndpoint> direct;
    if (!SettingText(Setting::LanDirect, TargetList(&direct)).empty())
        for (const UdpEndpoint &e : direct)
            if (std::find(c.targets.begin(), c.targets.end(), e) == c.targets.end())
                c.targets.push_back(e);
    c.windowMs = SettingNumber(Setting::LanWindowMs);
    c.quietMs = SettingNumber(Setting::LanQuietMs);
    c.accessMs = SettingNumber(Setting::LanAccessMs);
    c.rebootMs = SettingNumber(Setting::LanRebootMs);
    c.resendMs = std::clamp(c.accessMs / 3, 20, 500);
    c.searchId = SettingText(Setting::LanSearchId, [](const std::string &id, std::string *why) {
        *why = "at most 9 printable characters without spaces";
        return segcp::ValidSearchId(id);
    });
    c.maxModules = static_cast<size_t>(SettingNumber(Setting::LanMaxModules));
    return c;
}

} // namespace koralink
