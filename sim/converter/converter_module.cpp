// Protocol state machine of one simulated converter module. Behaviour follows
// the 1.4.5 firmware: silent on errors over the network, an error stops the
// remaining reads of the frame and cancels its SV/RT/FR, writes still land.
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

#include "converter_sim.h"

namespace corvinsim {

namespace {

constexpr size_t kFirmwareBuffer = 512;

bool Digits(std::string_view s, size_t maxLen) {
    if (s.empty() || s.size() > maxLen)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool NumberIn(std::string_view s, long low, long high) {
    if (!Digits(s, 6))
        return false;
    long v = std::stol(std::string(s));
    return v >= low && v <= high;
}

bool DottedQuad(std::string_view s) {
    int parts = 0;
    size_t pos = 0;
    while (parts < 4) {
        size_t end = parts < 3 ? s.find('.', pos) : s.size();
        if (end == std::string_view::npos || !NumberIn(s.substr(pos, end - pos), 0, 255) ||
            end - pos > 3)
            return false;
        pos = end + 1;
        ++parts;
    }
    return true;
}

bool HostName(std::string_view s) {
    if (s.empty() || s.size() > 48)
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '.' || c == '_'))
            return false;
    return true;
}

std::string MacText(const ConverterMac &m) {
    char b[18];
    std::snprintf(b, sizeof b, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return b;
}

// Read/write fields kept as opaque text beyond the ones validated below.
const std::set<std::string> kPlainFields = {"DB", "PR", "SB", "FL", "PT", "PS", "PD", "IT", "CP",
                                            "NP", "DG", "KA", "KI", "KE", "RI", "TE", "SS", "EC"};

} // namespace

ConverterFields ConverterFactoryFields() {
    return {{"IM", "0"},
            {"OP", "1"},
            {"LI", "192.168.11.2"},
            {"SM", "255.255.255.0"},
            {"GW", "192.168.11.1"},
            {"DS", "8.8.8.8"},
            {"LP", "5000"},
            {"RP", "5000"},
            {"RH", "192.168.11.3"},
            {"BR", "12"},
            {"DB", "1"},
            {"PR", "0"},
            {"SB", "0"},
            {"FL", "0"},
            {"PT", "0"},
            {"PS", "0"},
            {"PD", "00"},
            {"IT", "0"},
            {"CP", "0"},
            {"NP", ""},
            {"SP", ""},
            {"DG", "0"},
            {"KA", "1"},
            {"KI", "7000"},
            {"KE", "5000"},
            {"RI", "3000"},
            {"TE", "0"},
            {"SS", "2B2B2B"},
            {"EC", "0"}};
}

ConverterModule::ConverterModule(ConverterConfig config) : config_(std::move(config)) {
    running_ = ConverterFactoryFields();
    for (const auto &[k, v] : config_.fields)
        running_[k] = v;
    saved_ = running_;
}

std::string ConverterModule::Running(const std::string &code) const {
    auto it = running_.find(code);
    return it == running_.end() ? std::string() : it->second;
}

std::string ConverterModule::Saved(const std::string &code) const {
    auto it = saved_.find(code);
    return it == saved_.end() ? std::string() : it->second;
}

void ConverterModule::FinishBoot() {
    running_ = saved_;
    status_ = "OPEN";
}

std::string ConverterModule::Read(const std::string &code) const {
    auto blank = [](const std::string &v) { return v.empty() ? std::string(" ") : v; };
    if (code == "MC")
        return MacText(config_.mac);
    if (code == "VR")
        return config_.version;
    if (code == "MN")
        return config_.model;
    if (code == "ST")
        return status_;
    if (code == "UN")
        return "RS-232/TTL";
    if (code == "UI")
        return "0";
    if (code == "DH") {
        char b[8];
        std::snprintf(b, sizeof b, "%02X%02X%02X", config_.mac[3], config_.mac[4], config_.mac[5]);
        return config_.model + "-" + b;
    }
    auto it = running_.find(code);
    return it == running_.end() ? std::string() : blank(it->second);
}

bool ConverterModule::Write(const std::string &code, const std::string &raw, bool *applied) {
    std::string value = raw == " " ? std::string() : raw;
    bool ok = false;
    if (code == "IM")
        ok = NumberIn(value, 0, 1);
    else if (code == "OP")
        ok = NumberIn(value, 0, 3);
    else if (code == "LI" || code == "SM" || code == "GW" || code == "DS")
        ok = DottedQuad(value);
    else if (code == "LP" || code == "RP")
        ok = NumberIn(value, 0, 65535);
    else if (code == "RH")
        ok = DottedQuad(value) || HostName(value);
    else if (code == "BR")
        ok = NumberIn(value, 0, 14);
    else if (code == "SP")
        ok = value.size() <= 9 && value.find(' ') == std::string::npos;
    else if (code == "DH") {
        // Renames the model, which is why clients must never write it.
        if (value.empty() || value.size() > 14)
            return false;
        if (!config_.faults.ignoreWrites)
            config_.model = value;
        *applied = true;
        return true;
    } else if (kPlainFields.count(code))
        ok = value.size() <= 63;
    if (!ok)
        return false;
    if (!config_.faults.ignoreWrites)
        running_[code] = value;
    *applied = true;
    return true;
}

ConverterModule::Outcome ConverterModule::Handle(const uint8_t *data, size_t length) {
    Outcome out;
    if (length > kFirmwareBuffer)
        ++oversized_;
    if (length < 10 || data[0] != 'M' || data[1] != 'A' || data[8] != '\r' || data[9] != '\n')
        return out;
    ConverterMac mac;
    std::memcpy(mac.data(), data + 2, 6);
    bool broadcast = mac == ConverterMac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    if (!broadcast && mac != config_.mac)
        return out;
    bool mayWrite = !broadcast || config_.faults.broadcastWrites;

    // The firmware overwrites the datagram's last byte with NUL before
    // parsing, so a frame must end with CR LF to keep its last command.
    std::string body(reinterpret_cast<const char *>(data) + 10, length - 10);
    if (!body.empty())
        body.back() = '\0';
    body.resize(std::strlen(body.c_str()));

    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = body.size();
        if (end > pos)
            lines.push_back(body.substr(pos, end - pos));
        pos = end + 1;
    }
    if (lines.size() < 2 || lines[0].compare(0, 2, "PW") != 0)
        return out;
    std::string id = lines[0].substr(2);
    const std::string &stored = running_["SP"];
    if (!((id == " " && stored.empty()) || id == stored))
        return out;
    ++requests_;

    std::string reply = "MA";
    reply.append(reinterpret_cast<const char *>(config_.mac.data()), 6);
    reply += "\r\n" + lines[0] + "\r\n";
    bool error = false, save = false, reboot = false, factory = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (line.size() < 2) {
            error = true;
            continue;
        }
        std::string code = line.substr(0, 2), value = line.substr(2);
        if (code == "K!") {
            ++destructive_;
            error = true;
            continue;
        }
        if (code == "SV" || code == "RT" || code == "FR" || code == "EX") {
            if (!mayWrite) {
                error = true;
                continue;
            }
            save = save || code == "SV";
            reboot = reboot || code == "RT";
            factory = factory || code == "FR";
            continue;
        }
        if (value.empty()) {
            std::string v = Read(code);
            if (v.empty()) // unknown field: omitted
                continue;
            if (!error)
                reply += code + v + "\r\n";
            continue;
        }
        ++writesSeen_;
        bool applied = false;
        if (!mayWrite || !Write(code, value, &applied))
            error = true;
    }
    if (!error && save)
        saved_ = running_;
    if (!error && factory) {
        if (running_["LP"] == "1") {
            ++destructive_; // erases the MAC on the real firmware
        } else {
            running_ = saved_ = ConverterFactoryFields();
            reboot = true;
        }
    }
    if (!error && reboot) {
        out.reboot = true;
        ++reboots_;
        status_ = "BOOT";
    }
    if (config_.faults.malformed) {
        size_t mc = reply.find("MC");
        if (mc != std::string::npos)
            reply.replace(mc, 4, "MCzz");
        else
            reply.resize(7);
    }
    out.reply.assign(reply.begin(), reply.end());
    return out;
}

} // namespace corvinsim
