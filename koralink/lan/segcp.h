// Text configuration protocol of the converter modules (UDP/TCP 50001).
//
// Frames are ASCII lines after a positional 10-byte header:
//   'M' 'A' m0..m5 CR LF      6 raw MAC bytes; FF x 6 addresses every module
//   'P' 'W' <search id> CR LF  " " when no search id is set
//   C1 C2 [value] CR LF ...    no value = read, value = write
// A reply repeats the header with the module's own MAC, echoes the PW line and
// carries one "C1C2value" line per successful read, in request order.
//
// Everything here works on memory only, so the parser can be tested and
// fuzzed without a network.
#ifndef KORALINK_SEGCP_H
#define KORALINK_SEGCP_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "koralink.h"

namespace koralink::segcp {

constexpr int kPort = 50001;
// Replies longer than this are not from a module answering our read list
// (a full answer is about 250 bytes; the smallest module buffer is 512).
constexpr size_t kMaxReply = 1024;
// Longest value a module stores (its value buffer is 64 bytes).
constexpr size_t kMaxValue = 63;
// Remote domain names we write; the smallest module field holds 40 bytes.
constexpr size_t kMaxWriteName = 32;
// Search id stored by a module: at most 9 characters.
constexpr size_t kMaxSearchId = 9;

using Mac = std::array<uint8_t, 6>;
using Ipv4 = std::array<int, 4>;

constexpr Mac kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The read list of discovery and of a read. MC comes first so that a reply
// cut short by a module's buffer still names the module.
extern const char *const kReadList[13];

// Rate of a BR index as the modules define it (0..19); -1 outside.
int BaudFromIndex(int index);
// BR index for a rate we may write: the 14 rates of indexes 0..13, which
// every module family accepts. 22800 is accepted as index 9 because the
// configuration dialog's rate ring labels that entry so (the module's rate
// is 28800). -1 for any other rate.
int IndexFromBaud(int rate);

// Settings of one module as its reply reported them.
struct ModuleSettings {
    Mac mac{};
    std::string model;   // MN
    std::string version; // VR
    std::string status;  // ST; "BOOT" = bootloader, which answers a short list
    int ipMode = -1;     // IM: 0 static, 1 DHCP, 2 PPPoE (older modules)
    int opMode = -1;     // OP: 0 client, 1 server, 2 mixed, 3 UDP, 4..6 newer modes
    Ipv4 localIp{};
    Ipv4 mask{};
    Ipv4 gateway{};
    int localPort = -1;     // LP; -1 when a bootloader did not report it
    int remotePort = -1;    // RP
    Ipv4 remoteIp{};        // RH when it is a dotted quad
    std::string remoteName; // RH when it is a domain name
    int baudIndex = -1;     // BR
};

// Parses one reply datagram. Fails (false, cause in *why) on anything that
// is not a complete, well-formed answer to kReadList: wrong header, MC not
// matching the header MAC, missing or repeated fields, non-numeric numbers,
// values out of range, control or non-ASCII bytes, oversized datagrams.
// *out is written only on success.
bool ParseReply(const uint8_t *data, size_t length, ModuleSettings *out,
                std::string *why = nullptr);

// Checks only the header and gives the module's MAC: the answer to a frame
// without reads (SV, RT) is the header and the PW echo.
bool ParseHeader(const uint8_t *data, size_t length, Mac *mac);

// One command line of a request: a read when value is empty.
struct Command {
    std::string code;
    std::string value;
};

// Builds a request frame. searchId empty = none (sent as one space).
std::vector<uint8_t> BuildRequest(const Mac &mac, std::string_view searchId,
                                  const std::vector<Command> &commands);
// Request reading kReadList.
std::vector<uint8_t> BuildReadRequest(const Mac &mac, std::string_view searchId);

// Valid search id: at most 9 printable ASCII characters, no spaces.
bool ValidSearchId(std::string_view id);

// Dotted quad "a.b.c.d" with 1..3 decimal digits per part, each 0..255.
bool ParseIpv4(std::string_view text, Ipv4 *out);
std::string FormatIpv4(const Ipv4 &ip);
std::string FormatMac(const Mac &mac); // "00:08:DC:00:00:11"
// Host name as a module stores it for RH: letters, digits, '-', '.', '_'.
bool ValidDomainName(std::string_view name, size_t maxLength);

// --- Converter records -------------------------------------------------------
//
// The program carries reserved0 and reserved1 of a record unchanged, so the
// converter part keeps there what a record needs beyond its public fields:
//   reserved0[0..3]   'K' 'L' 'N' 1 when the rest is valid
//   reserved0[4..7]   IPv4 address the module answered from
//   reserved0[8..9]   UDP port it answered from, big-endian
//   reserved0[12..63] remote domain name, NUL-terminated (at most 51 bytes)
//   reserved1 bit 0   remote host is the domain name (remoteIp is 0.0.0.0)

struct ReachedAt {
    uint32_t ip = 0; // host byte order
    uint16_t port = 0;
};

constexpr size_t kRecordNameOffset = 12;
constexpr size_t kRecordNameSize = 64 - kRecordNameOffset;
constexpr int32_t kRemoteIsName = 1;

bool GetReachedAt(const ConnectionRecord &record, ReachedAt *at);
void SetReachedAt(ConnectionRecord *record, const ReachedAt &at);
// Domain name kept in the record, or empty when the remote is an address.
std::string GetRemoteName(const ConnectionRecord &record);

// Fills the converter fields of record from settings. Fields the protocol
// does not report (sensor text, serial, reachedAt) are left as they are.
void FillRecord(const ModuleSettings &settings, ConnectionRecord *record);

// What a write sends, taken from the record the dialog edited.
struct WritePlan {
    int ipMode = 0;
    Ipv4 localIp{}, mask{}, gateway{}; // sent with ipMode 0 only
    int localPort = 0;
    int opMode = 0;
    std::string remoteHost; // dotted quad or the kept domain name
    int remotePort = 0;
    int baudIndex = -1; // -1: rate unknown (-1 in the record), BR not written
};

// Checks every value before anything is sent. False with the cause in plain
// words when a value cannot be carried by the protocol.
bool PlanWrite(const ConnectionRecord &record, WritePlan *plan, std::string *why);
// Write frame: the writes, then kReadList so that the reply confirms them.
std::vector<Command> WriteCommands(const WritePlan &plan);
// Empty when settings show every written value; otherwise names what differs.
std::string Unconfirmed(const WritePlan &plan, const ModuleSettings &settings);

} // namespace koralink::segcp

#endif
