#include "segcp.h"

#include <cstring>

#include "support/textutil.h"

namespace koralink::segcp {

const char *const kReadList[13] = {"MC", "VR", "MN", "ST", "IM", "OP", "LI",
                                   "SM", "GW", "LP", "RP", "RH", "BR"};

namespace {

// Rates of the BR index. 16..19 exist only on the newest modules.
constexpr int kBaudRates[20] = {300,    600,    1200,    1800,    2400,    4800,   9600,
                                14400,  19200,  28800,   38400,   57600,   115200, 230400,
                                460800, 921600, 1000000, 2000000, 4000000, 8000000};
constexpr int kWritableIndexes = 14;
constexpr uint8_t kMagic[4] = {'K', 'L', 'N', 1};

bool IsDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Decimal number without sign or spaces, at most maxDigits digits.
bool ParseNumber(std::string_view s, size_t maxDigits, int maxValue, int *out) {
    if (!IsDigits(s) || s.size() > maxDigits)
        return false;
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    if (v > maxValue)
        return false;
    *out = v;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseMacText(std::string_view s, Mac *mac) {
    if (s.size() != 17)
        return false;
    for (size_t i = 0; i < 6; ++i) {
        int hi = HexDigit(s[i * 3]), lo = HexDigit(s[i * 3 + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && s[i * 3 + 2] != ':'))
            return false;
        (*mac)[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool Fail(std::string *why, const char *text) {
    if (why)
        *why = text;
    return false;
}

bool Fail(std::string *why, const std::string &text) {
    if (why)
        *why = text;
    return false;
}

// A module reads an empty text back as one space.
std::string_view Unblank(std::string_view v) {
    return v == " " ? std::string_view() : v;
}

int FieldIndex(std::string_view code) {
    for (size_t i = 0; i < std::size(kReadList); ++i)
        if (code == kReadList[i])
            return static_cast<int>(i);
    return -1;
}

} // namespace

int BaudFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kBaudRates)))
        return -1;
    return kBaudRates[index];
}

int IndexFromBaud(int rate) {
    if (rate == 22800)
        return 9;
    for (int i = 0; i < kWritableIndexes; ++i)
        if (kBaudRates[i] == rate)
            return i;
    return -1;
}

bool ParseIpv4(std::string_view text, Ipv4 *out) {
    Ipv4 ip{};
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = part < 3 ? text.find('.', pos) : text.size();
        if (end == std::string_view::npos)
            return false;
        if (!ParseNumber(text.substr(pos, end - pos), 3, 255, &ip[part]))
            return false;
        pos = end + 1;
    }
    *out = ip;
    return true;
}

std::string FormatIpv4(const Ipv4 &ip) {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

std::string FormatMac(const Mac &mac) {
    static const char hex[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < 6; ++i) {
        if (i)
            s += ':';
        s += hex[mac[i] >> 4];
        s += hex[mac[i] & 15];
    }
    return s;
}

bool ValidDomainName(std::string_view name, size_t maxLength) {
    if (name.empty() || name.size() > maxLength)
        return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '.' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool ValidSearchId(std::string_view id) {
    if (id.size() > kMaxSearchId)
        return false;
    for (char c : id)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

bool ParseHeader(const uint8_t *data, size_t length, Mac *mac) {
    if (!data || length < 10 || length > kMaxReply)
        return false;
    if (data[0] != 'M' || data[1] != 'A' || data[8] != '\r' || data[9] != '\n')
        return false;
    std::memcpy(mac->data(), data + 2, 6);
    return true;
}

bool ParseReply(const uint8_t *data, size_t length, ModuleSettings *out, std::string *why) {
    Mac headerMac{};
    if (!data || length > kMaxReply)
        return Fail(why, "reply too long");
    // The MAC is raw and may contain CR, LF or NUL, so the header is
    // positional; lines start after it.
    if (!ParseHeader(data, length, &headerMac))
        return Fail(why, "no MA header");

    std::string_view fields[std::size(kReadList)];
    bool seen[std::size(kReadList)] = {};
    bool sawPw = false;
    size_t pos = 10;
    while (pos < length) {
        size_t end = pos;
        while (end < length && data[end] != '\r' && data[end] != '\n')
            ++end;
        std::string_view line(reinterpret_cast<const char *>(data + pos), end - pos);
        pos = end + 1;
        if (line.empty())
            continue;
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                return Fail(why, "control or non-ASCII byte in a line");
        if (!sawPw) {
            if (line.substr(0, 2) != "PW")
                return Fail(why, "PW echo missing");
            sawPw = true;
            continue;
        }
        if (line.size() < 2)
            return Fail(why, "truncated line");
        std::string_view value = line.substr(2);
        if (value.size() > kMaxValue)
            return Fail(why, "oversized value");
        int idx = FieldIndex(line.substr(0, 2));
        if (idx < 0)
            continue; // error lines and fields we did not ask for
        if (seen[idx])
            return Fail(why, std::string("field repeated: ") + kReadList[idx]);
        seen[idx] = true;
        fields[idx] = value;
    }
    if (!sawPw)
        return Fail(why, "PW echo missing");

    auto has = [&](const char *code) { return seen[FieldIndex(code)]; };
    auto get = [&](const char *code) { return fields[FieldIndex(code)]; };

    ModuleSettings s;
    s.mac = headerMac;
    for (const char *code : {"MC", "VR", "MN", "IM", "OP", "LI", "SM", "GW"})
        if (!has(code))
            return Fail(why, std::string("field missing: ") + code);
    Mac textMac{};
    if (!ParseMacText(get("MC"), &textMac) || textMac != headerMac)
        return Fail(why, "MC does not match the header MAC");
    s.model = std::string(Unblank(get("MN")));
    s.version = std::string(Unblank(get("VR")));
    if (s.model.empty() || s.version.empty())
        return Fail(why, "empty model or version");
    s.status = has("ST") ? std::string(get("ST")) : std::string();
    if (!ParseNumber(get("IM"), 1, 2, &s.ipMode))
        return Fail(why, "bad IM");
    if (!ParseNumber(get("OP"), 1, 6, &s.opMode))
        return Fail(why, "bad OP");
    if (!ParseIpv4(get("LI"), &s.localIp) || !ParseIpv4(get("SM"), &s.mask) ||
        !ParseIpv4(get("GW"), &s.gateway))
        return Fail(why, "bad address");

    // A module in its bootloader answers only the short list above.
    bool boot = s.status == "BOOT";
    for (const char *code : {"LP", "RP", "RH", "BR"})
        if (!has(code) && !boot)
            return Fail(why, std::string("field missing: ") + code);
    if (has("LP") && !ParseNumber(get("LP"), 5, 65535, &s.localPort))
        return Fail(why, "bad LP");
    if (has("RP") && !ParseNumber(get("RP"), 5, 65535, &s.remotePort))
        return Fail(why, "bad RP");
    if (has("BR") && !ParseNumber(get("BR"), 2, 19, &s.baudIndex))
        return Fail(why, "bad BR");
    if (has("RH")) {
        std::string_view rh = Unblank(get("RH"));
        if (!rh.empty() && !ParseIpv4(rh, &s.remoteIp)) {
            // A name that does not fit the record is refused rather than cut:
            // a cut name written back would point the module elsewhere.
            if (!ValidDomainName(rh, kRecordNameSize - 1))
                return Fail(why, "bad RH");
            s.remoteName = std::string(rh);
        }
    }
    *out = std::move(s);
    return true;
}

std::vector<uint8_t> BuildRequest(const Mac &mac, std::string_view searchId,
                                  const std::vector<Command> &commands) {
    std::vector<uint8_t> f;
    f.reserve(64);
    auto add = [&](std::string_view s) {
        for (char c : s)
            f.push_back(static_cast<uint8_t>(c));
    };
    add("MA");
    for (uint8_t b : mac)
        f.push_back(b);
    add("\r\n");
    add("PW");
    add(searchId.empty() ? std::string_view(" ") : searchId);
    add("\r\n");
    for (const Command &c : commands) {
        add(c.code);
        add(c.value);
        add("\r\n");
    }
    return f;
}

std::vector<uint8_t> BuildReadRequest(const Mac &mac, std::string_view searchId) {
    std::vector<Command> reads;
    for (const char *code : kReadList)
        reads.push_back({code, ""});
    return BuildRequest(mac, searchId, reads);
}

bool GetReachedAt(const ConnectionRecord &record, ReachedAt *at) {
    if (std::memcmp(record.reserved0, kMagic, 4) != 0)
        return false;
    const unsigned char *r = record.reserved0;
    at->ip = uint32_t(r[4]) << 24 | uint32_t(r[5]) << 16 | uint32_t(r[6]) << 8 | r[7];
    at->port = static_cast<uint16_t>(r[8] << 8 | r[9]);
    return at->ip != 0 && at->port != 0;
}

void SetReachedAt(ConnectionRecord *record, const ReachedAt &at) {
    unsigned char *r = record->reserved0;
    std::memcpy(r, kMagic, 4);
    r[4] = static_cast<unsigned char>(at.ip >> 24);
    r[5] = static_cast<unsigned char>(at.ip >> 16);
    r[6] = static_cast<unsigned char>(at.ip >> 8);
    r[7] = static_cast<unsigned char>(at.ip);
    r[8] = static_cast<unsigned char>(at.port >> 8);
    r[9] = static_cast<unsigned char>(at.port);
}

std::string GetRemoteName(const ConnectionRecord &record) {
    if (std::memcmp(record.reserved0, kMagic, 4) != 0 || !(record.reserved1 & kRemoteIsName))
        return {};
    const char *name = reinterpret_cast<const char *>(record.reserved0 + kRecordNameOffset);
    size_t n = strnlen(name, kRecordNameSize);
    if (n == kRecordNameSize) // not terminated: not ours
        return {};
    return std::string(name, n);
}

void FillRecord(const ModuleSettings &s, ConnectionRecord *r) {
    r->type = KORALINK_TYPE_LAN;
    r->lanState = 2;
    std::string type = s.model + " " + s.version;
    CopyText(r->typeText, type.c_str());
    std::string name = s.model + " " + FormatIpv4(s.localIp);
    CopyText(r->name, name.c_str());
    for (size_t i = 0; i < 6; ++i)
        r->mac[i] = s.mac[i];
    for (size_t i = 0; i < 4; ++i) {
        r->localIp[i] = s.localIp[i];
        r->gateway[i] = s.gateway[i];
        r->subnetMask[i] = s.mask[i];
        r->remoteIp[i] = s.remoteName.empty() ? s.remoteIp[i] : 0;
    }
    r->localPort = s.localPort < 0 ? 0 : s.localPort;
    r->remotePort = s.remotePort < 0 ? 0 : s.remotePort;
    r->serialBaud = BaudFromIndex(s.baudIndex); // -1 hides the rate in the dialog
    r->deviceMode = s.opMode;
    r->ipMode = s.ipMode;
    // The magic must be in place for the name to count; keep any reachedAt.
    std::memcpy(r->reserved0, kMagic, 4);
    char *name0 = reinterpret_cast<char *>(r->reserved0 + kRecordNameOffset);
    std::memset(name0, 0, kRecordNameSize);
    if (s.remoteName.empty()) {
        r->reserved1 &= ~kRemoteIsName;
    } else {
        CopyTextN(name0, kRecordNameSize, s.remoteName.data(), s.remoteName.size());
        r->reserved1 |= kRemoteIsName;
    }
}

bool PlanWrite(const ConnectionRecord &r, WritePlan *plan, std::string *why) {
    WritePlan p;
    auto octets = [&](const int32_t *v, Ipv4 *out, const char *what) {
        for (size_t i = 0; i < 4; ++i) {
            if (v[i] < 0 || v[i] > 255)
                return Fail(why, std::string(what) + " has a part outside 0 to 255");
            (*out)[i] = v[i];
        }
        return true;
    };
    if (r.ipMode != 0 && r.ipMode != 1)
        return Fail(why, "IP mode must be STATIC or DHCP");
    p.ipMode = r.ipMode;
    if (p.ipMode == 0) {
        if (!octets(r.localIp, &p.localIp, "the own address") ||
            !octets(r.subnetMask, &p.mask, "the subnet mask") ||
            !octets(r.gateway, &p.gateway, "the gateway address"))
            return false;
    }
    if (r.localPort < 0 || r.localPort > 65535)
        return Fail(why, "the local port must be 0 to 65535");
    p.localPort = r.localPort;
    if (r.deviceMode < 0 || r.deviceMode > 3)
        return Fail(why, "the operating mode must be TCP client, TCP server, TCP mixed or UDP");
    p.opMode = r.deviceMode;
    Ipv4 remote{};
    if (!octets(r.remoteIp, &remote, "the remote address"))
        return false;
    std::string name = GetRemoteName(r);
    // The kept name stands for the remote host only while the address fields
    // still show 0.0.0.0; an address typed in replaces it.
    if (!name.empty() && remote == Ipv4{}) {
        if (!ValidDomainName(name, kMaxWriteName))
            return Fail(why, "the remote host name is longer than a module can store");
        p.remoteHost = name;
    } else {
        p.remoteHost = FormatIpv4(remote);
    }
    if (r.remotePort < 0 || r.remotePort > 65535)
        return Fail(why, "the remote port must be 0 to 65535");
    p.remotePort = r.remotePort;
    if (r.serialBaud != -1) {
        p.baudIndex = IndexFromBaud(r.serialBaud);
        if (p.baudIndex < 0)
            return Fail(why, "the serial rate " + std::to_string(r.serialBaud) +
                                 " baud is not one a module can be set to");
    }
    *plan = std::move(p);
    return true;
}

std::vector<Command> WriteCommands(const WritePlan &p) {
    std::vector<Command> c;
    c.push_back({"IM", std::to_string(p.ipMode)});
    // Address, mask and gateway only with a static address: with DHCP they are
    // the lease's, and writing them would fight it.
    if (p.ipMode == 0) {
        c.push_back({"LI", FormatIpv4(p.localIp)});
        c.push_back({"SM", FormatIpv4(p.mask)});
        c.push_back({"GW", FormatIpv4(p.gateway)});
    }
    c.push_back({"LP", std::to_string(p.localPort)});
    c.push_back({"OP", std::to_string(p.opMode)});
    c.push_back({"RH", p.remoteHost});
    c.push_back({"RP", std::to_string(p.remotePort)});
    if (p.baudIndex >= 0)
        c.push_back({"BR", std::to_string(p.baudIndex)});
    for (const char *code : kReadList)
        c.push_back({code, ""});
    return c;
}

std::string Unconfirmed(const WritePlan &p, const ModuleSettings &s) {
    std::string diff;
    auto check = [&](bool same, const char *what) {
        if (!same)
            diff += diff.empty() ? what : std::string(", ") + what;
    };
    check(s.ipMode == p.ipMode, "IP mode");
    if (p.ipMode == 0) {
        check(s.localIp == p.localIp, "own address");
        check(s.mask == p.mask, "subnet mask");
        check(s.gateway == p.gateway, "gateway");
    }
    check(s.localPort == p.localPort, "local port");
    check(s.opMode == p.opMode, "operating mode");
    Ipv4 ip{};
    if (ParseIpv4(p.remoteHost, &ip))
        check(s.remoteName.empty() && s.remoteIp == ip, "remote host");
    else
        check(s.remoteName == p.remoteHost, "remote host");
    check(s.remotePort == p.remotePort, "remote port");
    if (p.baudIndex >= 0)
        check(s.baudIndex == p.baudIndex, "serial rate");
    return diff;
}

} // namespace koralink::segcp
