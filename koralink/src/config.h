// Run-time settings of the library from KORALINK_* environment variables.
//
// This is the one place that reads them. config.cpp lists every variable
// with its default and its limits, and one policy holds for all of them: a
// value that cannot be used is named once on standard error, e.g.
//   koralink: KORALINK_LAN_WINDOW_MS=abc is not a number of milliseconds; using 300
// and the default takes its place. An empty value counts as unset. Values
// are read at each use, so a caller (or a test) can change them without
// restarting.
#ifndef KORALINK_CONFIG_H
#define KORALINK_CONFIG_H

#include <functional>
#include <string>

namespace koralink {

enum class Setting {
    PortMap,     // KORALINK_PORTMAP: file read by the caller's check
    PortMapOnly, // KORALINK_PORTMAP_ONLY: 0 or 1
    SysfsRoot,   // KORALINK_SYSFS_ROOT: a directory
    LockDir,     // KORALINK_LOCK_DIR: a directory
    ProbeTimeoutMs,
    AnswerTimeoutMs,
    InterByteTimeoutMs,
    TcpConnectTimeoutMs,
    TcpOpenTimeoutMs,
    BaudSwitchPauseMs,
    LanTargets, // KORALINK_LAN_TARGETS: checked by the converter part
    LanDirect,
    LanWindowMs,
    LanQuietMs,
    LanAccessMs,
    LanRebootMs,
    LanSearchId,
    LanMaxModules,
};

// A number or a flag: its value, or the default.
int SettingNumber(Setting setting);
bool SettingFlag(Setting setting);
// A number that is set and usable (not its default for want of a value).
bool SettingGiven(Setting setting);

// Decides whether a text value can be used; false with the reason in plain
// words in *why.
using TextCheck = std::function<bool(const std::string &value, std::string *why)>;
// A text: its value when set and usable (the check passes), else its default
// (empty for the settings whose default is "none" or computed by the caller:
// port map, converter targets and direct addresses, search id).
std::string SettingText(Setting setting, const TextCheck &check = nullptr);

// Variable name of a setting ("KORALINK_LAN_WINDOW_MS").
const char *SettingName(Setting setting);

// Writes "koralink: <text>" to standard error, once per process for each
// text. Warnings about settings are kept for SettingWarnings() as well.
void ReportOnce(const std::string &text);
// Every warning about a setting given so far, one per line.
std::string SettingWarnings();

// First-byte wait of a probe, counted from the moment the request has left
// the wire (plus the first byte's own time). On a serial line: the sensor's
// reaction bound (50 ms, docs/sensor-protocol.md) and 50 ms for the latency
// of a USB adapter (up to 30 ms between an answer and its delivery, e.g. an
// FTDI chip's latency timer) and for scheduling on a busy machine. Through a
// converter the request still has to cross the converter's serial side at a
// rate the library does not know, and its packing delay: the wider wait
// costs nothing there, as those probes run beside the first serial cycle.
constexpr int kSerialProbeAnswerMs = 100;
constexpr int kTcpProbeAnswerMs = 150;

struct Timeouts {
    int answerMs = 150;         // the first byte of the answer must come within this
    int interByteMs = 20;       // gap allowed between bytes of one frame (plus one byte time)
    int connectMs = 500;        // TCP connect
    int baudSwitchPauseMs = 10; // after a 190 answer, before the host changes its own rate
};

// Profile for an openMode: probing modes (2, 4) answer fast or not at all;
// the accepted connection (1, 3) is given time for a slow sensor.
Timeouts TimeoutsForMode(int openMode);

bool IsProbeMode(int openMode);

// Directory of UUCP lock files.
std::string LockDirectory();

} // namespace koralink

#endif
