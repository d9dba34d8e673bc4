// Converter discovery and configuration over the modules' UDP text protocol.
#include "lan.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "abort.h"
#include "config.h"
#include "lanconfig.h"
#include "segcp.h"
#include "udp.h"

namespace koralink {

namespace {

using Clock = std::chrono::steady_clock;
using segcp::Mac;
using segcp::ModuleSettings;

thread_local std::string g_error;

int Fail(int code, std::string why) {
    g_error = std::move(why);
    return code;
}

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

struct Found {
    ModuleSettings settings;
    UdpEndpoint from;
};

// Sends frame to every endpoint and waits for the first well-formed reply
// from mac, sending again every resendMs. A reply with the right header that
// does not parse is remembered in *rejected (a module that refused a write
// answers without its read-back lines).
bool Exchange(UdpSocket &sock, const std::vector<UdpEndpoint> &to,
              const std::vector<uint8_t> &frame, const Mac &mac, int timeoutMs, int resendMs,
              Found *reply, std::string *rejected) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextSend = Clock::now();
    uint8_t buf[segcp::kMaxReply + 1];
    while (true) {
        if (Clock::now() >= nextSend) {
            for (const UdpEndpoint &e : to)
                sock.Send(e, frame.data(), frame.size(), nullptr);
            nextSend = Clock::now() + std::chrono::milliseconds(resendMs);
        }
        int wait = std::min(MsLeft(deadline), MsLeft(nextSend));
        UdpEndpoint from;
        long n = sock.Receive(buf, segcp::kMaxReply, wait, &from);
        if (n < 0)
            return false;
        if (n > 0 && static_cast<size_t>(n) <= segcp::kMaxReply) {
            Mac header{};
            if (segcp::ParseHeader(buf, static_cast<size_t>(n), &header) && header == mac) {
                std::string why;
                if (segcp::ParseReply(buf, static_cast<size_t>(n), &reply->settings, &why)) {
                    reply->from = from;
                    return true;
                }
                if (rejected)
                    *rejected = why;
            }
        }
        if (MsLeft(deadline) == 0)
            return false;
    }
}

// Waits for the bare acknowledgement of a frame without reads (SV, RT).
bool ExchangeAck(UdpSocket &sock, const std::vector<UdpEndpoint> &to,
                 const std::vector<uint8_t> &frame, const Mac &mac, int timeoutMs) {
    for (const UdpEndpoint &e : to)
        sock.Send(e, frame.data(), frame.size(), nullptr);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t buf[segcp::kMaxReply + 1];
    // No resend: a repeated RT would restart the module a second time.
    while (MsLeft(deadline) > 0) {
        UdpEndpoint from;
        long n = sock.Receive(buf, segcp::kMaxReply, MsLeft(deadline), &from);
        if (n < 0)
            return false;
        Mac header{};
        if (n > 0 && static_cast<size_t>(n) <= segcp::kMaxReply &&
            segcp::ParseHeader(buf, static_cast<size_t>(n), &header) && header == mac)
            return true;
    }
    return false;
}

// Where a record's module is asked: the address it answered from during the
// search, else its own address on the protocol port.
bool AccessEndpoint(const ConnectionRecord &r, UdpEndpoint *e) {
    segcp::ReachedAt at;
    if (segcp::GetReachedAt(r, &at)) {
        *e = {at.ip, at.port};
        return true;
    }
    uint32_t ip = 0;
    for (size_t i = 0; i < 4; ++i) {
        if (r.localIp[i] < 0 || r.localIp[i] > 255)
            return false;
        ip = ip << 8 | static_cast<uint32_t>(r.localIp[i]);
    }
    if (ip == 0)
        return false;
    *e = {ip, static_cast<uint16_t>(segcp::kPort)};
    return true;
}

void Update(ConnectionRecord *r, const Found &f) {
    segcp::FillRecord(f.settings, r);
    segcp::SetReachedAt(r, {f.from.ip, f.from.port});
}

int ReadDevice(ConnectionRecord *r, const Mac &mac, const LanConfig &cfg) {
    UdpEndpoint to;
    if (!AccessEndpoint(*r, &to))
        return Fail(-1, "the converter record has no usable address");
    UdpSocket sock;
    std::string why;
    if (!sock.Open(&why))
        return Fail(-3, why);
    Found f;
    if (!Exchange(sock, {to}, segcp::BuildReadRequest(mac, cfg.searchId), mac, cfg.accessMs,
                  cfg.resendMs, &f, nullptr))
        return Fail(-1, "the converter " + segcp::FormatMac(mac) + " at " + FormatEndpoint(to) +
                            " did not answer");
    Update(r, f);
    return 1;
}

int WriteDevice(ConnectionRecord *r, const Mac &mac, const LanConfig &cfg) {
    segcp::WritePlan plan;
    std::string why;
    if (!segcp::PlanWrite(*r, &plan, &why))
        return Fail(-1, "nothing written: " + why);
    UdpEndpoint to;
    if (!AccessEndpoint(*r, &to))
        return Fail(-1, "nothing written: the converter record has no usable address");
    UdpSocket sock;
    if (!sock.Open(&why))
        return Fail(-3, why);
    std::string name = segcp::FormatMac(mac);

    // 1. Write into the running settings and read them back, without saving:
    //    a module that changed only some of them must not keep that state.
    Found echo;
    std::string rejected;
    auto frame = segcp::BuildRequest(mac, cfg.searchId, segcp::WriteCommands(plan));
    if (!Exchange(sock, {to}, frame, mac, cfg.accessMs, cfg.resendMs, &echo, &rejected)) {
        if (!rejected.empty())
            return Fail(-1, "the converter " + name + " refused the settings (" + rejected +
                                "); nothing was saved");
        return Fail(-1, "the converter " + name + " at " + FormatEndpoint(to) +
                            " did not answer the write; nothing was saved");
    }
    std::string diff = segcp::Unconfirmed(plan, echo.settings);
    if (!diff.empty()) {
        // Restarting without saving drops the half-applied running values.
        ExchangeAck(sock, {to}, segcp::BuildRequest(mac, cfg.searchId, {{"RT", ""}}), mac,
                    cfg.accessMs);
        return Fail(-1, "the converter " + name + " did not take the new " + diff +
                            "; nothing was saved and it restarts with its old settings");
    }

    // 2. Save and restart. The module answers before it goes down.
    auto save = segcp::BuildRequest(mac, cfg.searchId, {{"SV", ""}, {"RT", ""}});
    ExchangeAck(sock, {to}, save, mac, cfg.accessMs);

    // 3. Wait until it answers again. Its address may have changed with the
    //    write, so ask the old one, the new one and every discovery target;
    //    only this MAC answers.
    std::vector<UdpEndpoint> ask = {to};
    if (plan.ipMode == 0) {
        uint32_t ip = 0;
        for (int o : plan.localIp)
            ip = ip << 8 | static_cast<uint32_t>(o);
        UdpEndpoint moved{ip, to.port};
        if (ip != 0 && !(moved == to))
            ask.push_back(moved);
    }
    for (const UdpEndpoint &e : cfg.targets)
        if (std::find(ask.begin(), ask.end(), e) == ask.end())
            ask.push_back(e);
    std::this_thread::sleep_for(std::chrono::milliseconds(cfg.resendMs / 2));
    Found after;
    if (!Exchange(sock, ask, segcp::BuildReadRequest(mac, cfg.searchId), mac, cfg.rebootMs,
                  cfg.resendMs, &after, nullptr)) {
        Update(r, echo);
        return Fail(-1, "the converter " + name + " took the settings but did not answer within " +
                            std::to_string(cfg.rebootMs) + " ms of its restart");
    }
    Update(r, after);
    diff = segcp::Unconfirmed(plan, after.settings);
    if (!diff.empty())
        return Fail(-1, "the converter " + name + " restarted without the new " + diff +
                            ": the settings were not saved");
    return 1;
}

} // namespace

int SearchLan(ListType *list) {
    g_error.clear();
    if (!list || !*list || ListItemSize(*list) != sizeof(ConnectionRecord))
        return Fail(-2, "no list for the converters found");
    const LanConfig cfg = LoadLanConfig();
    if (cfg.targets.empty())
        return 0; // no interface that can broadcast and nothing listed
    std::string why;
    UdpSocket sock;
    if (!sock.Open(&why))
        return Fail(-3, why);
    auto frame = segcp::BuildReadRequest(segcp::kBroadcastMac, cfg.searchId);
    size_t sent = 0;
    std::string sendError;
    for (const UdpEndpoint &e : cfg.targets)
        sent += sock.Send(e, frame.data(), frame.size(), &sendError) ? 1 : 0;
    if (sent == 0)
        return Fail(-4, sendError);

    // Collect until the window closes, or earlier once replies have stopped
    // for the quiet time: every search pays this wait.
    std::vector<Found> found;
    bool overflow = false;
    auto start = Clock::now();
    auto deadline = start + std::chrono::milliseconds(cfg.windowMs);
    auto quietEnd = deadline;
    uint8_t buf[segcp::kMaxReply + 1];
    while (MsLeft(std::min(deadline, quietEnd)) > 0 && !WaitsAborted()) {
        UdpEndpoint from;
        long n = sock.Receive(buf, segcp::kMaxReply,
                              AbortSlice(MsLeft(std::min(deadline, quietEnd))), &from);
        if (n < 0)
            return Fail(-3, std::string("the UDP port failed while collecting replies: ") +
                                std::strerror(errno));
        if (n == 0)
            continue;
        quietEnd = Clock::now() + std::chrono::milliseconds(cfg.quietMs);
        Found f;
        if (static_cast<size_t>(n) > segcp::kMaxReply ||
            !segcp::ParseReply(buf, static_cast<size_t>(n), &f.settings))
            continue;
        f.from = from;
        bool dup = std::any_of(found.begin(), found.end(),
                               [&](const Found &o) { return o.settings.mac == f.settings.mac; });
        if (dup)
            continue;
        if (found.size() < cfg.maxModules)
            found.push_back(std::move(f));
        else
            overflow = true;
    }

    // Arrival order is chance; list by address so the tree is stable.
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        if (a.settings.localIp != b.settings.localIp)
            return a.settings.localIp < b.settings.localIp;
        return a.settings.mac < b.settings.mac;
    });
    for (const Found &f : found) {
        ConnectionRecord r;
        std::memset(&r, 0, sizeof r);
        Update(&r, f);
        if (ListInsertItem(*list, &r, LIST_END) != 0)
            return Fail(-2, "cannot add a converter to the list");
    }
    if (overflow) {
        // Not a failure: the modules listed are real replies. Said once on
        // standard error and kept as the search's cause text.
        g_error = "more than " + std::to_string(cfg.maxModules) +
                  " converters answered the search; the rest were ignored (" +
                  SettingName(Setting::LanMaxModules) + ")";
        ReportOnce(g_error);
    }
    return static_cast<int>(found.size());
}

int AccessLanDevice(ConnectionRecord *record, int mode) {
    g_error.clear();
    if (!record)
        return Fail(-1, "no converter record");
    if (mode != 1 && mode != 2)
        return Fail(-1, "unknown access mode " + std::to_string(mode));
    if (record->type != KORALINK_TYPE_LAN)
        return Fail(-1, "the record is not a network converter");
    Mac mac{};
    for (size_t i = 0; i < 6; ++i) {
        if (record->mac[i] < 0 || record->mac[i] > 255)
            return Fail(-1, "the converter's MAC address is not valid");
        mac[i] = static_cast<uint8_t>(record->mac[i]);
    }
    // Broadcast MAC frames reach every module, and some firmware lets them
    // write: never address a single converter that way.
    if (mac == segcp::kBroadcastMac || mac == Mac{})
        return Fail(-1, "the converter's MAC address is not valid");
    const LanConfig cfg = LoadLanConfig();
    return mode == 1 ? ReadDevice(record, mac, cfg) : WriteDevice(record, mac, cfg);
}

const char *LastLanError() {
    return g_error.c_str();
}

} // namespace koralink
