// What the converter command reads from its arguments and prints: the
// settings of one converter module as KEY=VALUE words, and the record
// fields they stand for. Pure functions, parsed from memory.
#ifndef CORVIN_CONVERTER_SETTINGS_H
#define CORVIN_CONVERTER_SETTINGS_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "koralink.h"

// Serial rates a module takes in a write (the same 14 as the settings
// dialog's ring; index 9 is 28800).
inline constexpr int32_t kWritableConverterRates[14] = {
    300, 600, 1200, 1800, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200, 230400};
bool IsWritableConverterRate(int32_t rate);

using Ipv4 = std::array<int, 4>;

// Four dotted decimal parts 0..255 and nothing else.
std::optional<Ipv4> ParseDottedIpv4(std::string_view text);

// The settings a "set" asks for; unset members stay as the module has them.
struct ConverterEdit {
    std::optional<int> ipMode, deviceMode, localPort, remotePort;
    std::optional<int32_t> baud;
    std::optional<Ipv4> ip, mask, gateway, remoteHost;
    bool Empty() const;
    bool SetsAddresses() const { return ip || mask || gateway; }
};

// Adds one KEY=VALUE word to *edit. False with *why (starting with the key)
// for an unknown or read-only key, a bad value or a key given twice.
bool ParseSetting(std::string_view word, ConverterEdit *edit, std::string *why);

// The edit applied to a record. A rate the record has that a write cannot
// carry (a newer module's 460800 and up) is passed as unknown (-1), so the
// module keeps it.
void ApplyEdit(const ConverterEdit &edit, ConnectionRecord *record);

// One module per line: address, MAC, model, firmware, op-mode, local port,
// baud ("-" when unknown), separated by single blanks.
std::string ConverterListLine(const ConnectionRecord &record);
// The settings as KEY=VALUE lines, in the words "set" takes.
std::string ConverterSettingsText(const ConnectionRecord &record);
// One JSON object with the same keys.
std::string ConverterJson(const ConnectionRecord &record);

#endif
