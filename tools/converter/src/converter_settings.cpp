#include "converter_settings.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "search/converter_values.h"
#include "search/scan_report.h"
#include "search/text_format.h"

namespace {

const char *const kIpModes[] = {"static", "dhcp"};
const char *const kOpModes[] = {"client", "server", "mixed", "udp"};

template <size_t N>
std::optional<int> WordIndex(const char *const (&words)[N], std::string_view w) {
    for (size_t i = 0; i < N; ++i)
        if (w == words[i])
            return static_cast<int>(i);
    return std::nullopt;
}

template <size_t N> std::string IndexWord(const char *const (&words)[N], int32_t value) {
    return value >= 0 && static_cast<size_t>(value) < N ? words[value] : std::to_string(value);
}

// Decimal digits only, within [low, high].
std::optional<long> Number(std::string_view text, long low, long high) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

bool IsMask(const Ipv4 &m) {
    const int32_t parts[4] = {m[0], m[1], m[2], m[3]};
    return IsSubnetMask(parts);
}

std::string Text(const char *field, size_t size) {
    return std::string(field, strnlen(field, size));
}

std::string Mac(const ConnectionRecord &r) {
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", r.mac[0] & 0xFF,
                  r.mac[1] & 0xFF, r.mac[2] & 0xFF, r.mac[3] & 0xFF, r.mac[4] & 0xFF,
                  r.mac[5] & 0xFF);
    return text;
}

// typeText is "<model> <firmware>".
std::pair<std::string, std::string> ModelAndFirmware(const ConnectionRecord &r) {
    std::string type = Text(r.typeText, sizeof r.typeText);
    size_t blank = type.rfind(' ');
    if (blank == std::string::npos)
        return {type, ""};
    return {type.substr(0, blank), type.substr(blank + 1)};
}

std::string Baud(const ConnectionRecord &r) {
    return r.serialBaud > 0 ? std::to_string(r.serialBaud) : "-";
}

struct Field {
    const char *key;
    std::string value;
    bool number; // JSON: a number, not a string
};

std::vector<Field> Fields(const ConnectionRecord &r) {
    auto [model, firmware] = ModelAndFirmware(r);
    return {
        {"mac", Mac(r), false},
        {"model", model, false},
        {"firmware", firmware, false},
        {"ip-mode", IndexWord(kIpModes, r.ipMode), false},
        {"ip", Ipv4Text(r.localIp), false},
        {"mask", Ipv4Text(r.subnetMask), false},
        {"gateway", Ipv4Text(r.gateway), false},
        {"local-port", std::to_string(r.localPort), true},
        {"op-mode", IndexWord(kOpModes, r.deviceMode), false},
        {"remote-host", ConverterRemoteHost(r), false},
        {"remote-port", std::to_string(r.remotePort), true},
        {"baud", Baud(r), r.serialBaud > 0},
    };
}

} // namespace

bool IsWritableConverterRate(int32_t rate) {
    for (int32_t r : kWritableConverterRates)
        if (r == rate)
            return true;
    return false;
}

std::optional<Ipv4> ParseDottedIpv4(std::string_view text) {
    Ipv4 out{};
    for (size_t part = 0; part < 4; ++part) {
        size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        auto value = Number(text.substr(0, dot), 0, 255);
        if (!value || dot > 3)
            return std::nullopt;
        out[part] = static_cast<int>(*value);
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return out;
}

bool ConverterEdit::Empty() const {
    return !ipMode && !deviceMode && !localPort && !remotePort && !baud && !ip && !mask &&
           !gateway && !remoteHost;
}

bool ParseSetting(std::string_view word, ConverterEdit *edit, std::string *why) {
    size_t equals = word.find('=');
    std::string key(word.substr(0, equals));
    auto fail = [&](const std::string &what) {
        *why = (key.empty() ? std::string("(no key)") : key) + ": " + what;
        return false;
    };
    if (equals == std::string_view::npos)
        return fail("expected KEY=VALUE");
    std::string_view value = word.substr(equals + 1);
    auto once = [&](auto &slot, auto parsed) {
        if (slot)
            return fail("given twice");
        slot = parsed;
        return true;
    };
    auto address = [&](std::optional<Ipv4> &slot, bool mask) {
        auto parsed = ParseDottedIpv4(value);
        if (!parsed)
            return fail("'" + std::string(value) + "' is not a dotted IPv4 address");
        if (mask && !IsMask(*parsed))
            return fail("'" + std::string(value) + "' is not a subnet mask");
        return once(slot, *parsed);
    };
    auto port = [&](std::optional<int> &slot) {
        auto parsed = Number(value, 0, 65535);
        if (!parsed || !IsTcpPort(static_cast<int32_t>(*parsed)))
            return fail("'" + std::string(value) + "' is not a port 1 to 65535");
        return once(slot, static_cast<int>(*parsed));
    };

    if (key == "ip-mode") {
        auto mode = WordIndex(kIpModes, value);
        return mode ? once(edit->ipMode, *mode) : fail("must be static or dhcp");
    }
    if (key == "op-mode") {
        auto mode = WordIndex(kOpModes, value);
        return mode ? once(edit->deviceMode, *mode) : fail("must be client, server, mixed or udp");
    }
    if (key == "ip")
        return address(edit->ip, false);
    if (key == "mask")
        return address(edit->mask, true);
    if (key == "gateway")
        return address(edit->gateway, false);
    if (key == "remote-host")
        return address(edit->remoteHost, false);
    if (key == "local-port")
        return port(edit->localPort);
    if (key == "remote-port")
        return port(edit->remotePort);
    if (key == "baud") {
        auto rate = Number(value, 1, 99999999);
        if (!rate || !IsWritableConverterRate(static_cast<int32_t>(*rate)))
            return fail("'" + std::string(value) +
                        "' is not a converter rate (300 600 1200 1800 2400 4800 9600 14400 "
                        "19200 28800 38400 57600 115200 230400)");
        return once(edit->baud, static_cast<int32_t>(*rate));
    }
    for (const char *readOnly : {"mac", "model", "firmware"})
        if (key == readOnly)
            return fail("cannot be set");
    return fail("unknown key");
}

void ApplyEdit(const ConverterEdit &edit, ConnectionRecord *r) {
    auto copy = [](const std::optional<Ipv4> &from, int32_t *to) {
        if (from)
            for (size_t i = 0; i < 4; ++i)
                to[i] = (*from)[i];
    };
    if (edit.ipMode)
        r->ipMode = *edit.ipMode;
    if (edit.deviceMode)
        r->deviceMode = *edit.deviceMode;
    if (edit.localPort)
        r->localPort = *edit.localPort;
    if (edit.remotePort)
        r->remotePort = *edit.remotePort;
    copy(edit.ip, r->localIp);
    copy(edit.mask, r->subnetMask);
    copy(edit.gateway, r->gateway);
    copy(edit.remoteHost, r->remoteIp);
    if (edit.baud)
        r->serialBaud = *edit.baud;
    else if (!IsWritableConverterRate(r->serialBaud))
        r->serialBaud = -1;
}

std::string ConverterListLine(const ConnectionRecord &r) {
    auto [model, firmware] = ModelAndFirmware(r);
    return Ipv4Text(r.localIp) + " " + Mac(r) + " " + (model.empty() ? "-" : model) + " " +
           (firmware.empty() ? "-" : firmware) + " " + IndexWord(kOpModes, r.deviceMode) + " " +
           std::to_string(r.localPort) + " " + Baud(r) + "\n";
}

std::string ConverterSettingsText(const ConnectionRecord &r) {
    std::string text;
    for (const Field &f : Fields(r))
        text += std::string(f.key) + "=" + f.value + "\n";
    return text;
}

std::string ConverterJson(const ConnectionRecord &r) {
    std::string json = "{";
    for (const Field &f : Fields(r)) {
        if (json.size() > 1)
            json += ",";
        std::string value = f.number ? f.value : JsonString(f.value);
        if (std::string(f.key) == "baud" && !f.number)
            value = "null";
        json += JsonString(f.key) + ":" + value;
    }
    return json + "}";
}
