#include "config.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace koralink {

namespace {

enum class Kind { Milliseconds, Count, Flag, Text, Directory };

struct Variable {
    Setting setting;
    const char *name;
    Kind kind;
    int number; // default of numbers and flags
    int low, high;
    const char *value; // default of texts
    const char *words; // the default of a text in a warning
};

// Every variable the library reads. README.md documents the same table.
const Variable kVariables[] = {
    {Setting::PortMap, "KORALINK_PORTMAP", Kind::Text, 0, 0, 0, "", "no port map"},
    {Setting::PortMapOnly, "KORALINK_PORTMAP_ONLY", Kind::Flag, 0, 0, 1, "", ""},
    {Setting::SysfsRoot, "KORALINK_SYSFS_ROOT", Kind::Directory, 0, 0, 0, "/", "/"},
    {Setting::LockDir, "KORALINK_LOCK_DIR", Kind::Directory, 0, 0, 0, "/run/lock", "/run/lock"},
    {Setting::ProbeTimeoutMs, "KORALINK_PROBE_TIMEOUT_MS", Kind::Milliseconds, kSerialProbeAnswerMs,
     1, 600000, "", ""},
    {Setting::AnswerTimeoutMs, "KORALINK_ANSWER_TIMEOUT_MS", Kind::Milliseconds, 1000, 1, 600000,
     "", ""},
    {Setting::InterByteTimeoutMs, "KORALINK_INTERBYTE_TIMEOUT_MS", Kind::Milliseconds, 20, 1, 60000,
     "", ""},
    {Setting::TcpConnectTimeoutMs, "KORALINK_TCP_CONNECT_TIMEOUT_MS", Kind::Milliseconds, 500, 1,
     600000, "", ""},
    {Setting::TcpOpenTimeoutMs, "KORALINK_TCP_OPEN_TIMEOUT_MS", Kind::Milliseconds, 3000, 1, 600000,
     "", ""},
    {Setting::BaudSwitchPauseMs, "KORALINK_BAUD_SWITCH_PAUSE_MS", Kind::Milliseconds, 10, 0, 60000,
     "", ""},
    {Setting::LanTargets, "KORALINK_LAN_TARGETS", Kind::Text, 0, 0, 0, "",
     "the broadcast address of every interface"},
    {Setting::LanDirect, "KORALINK_LAN_DIRECT", Kind::Text, 0, 0, 0, "", "no direct addresses"},
    {Setting::LanWindowMs, "KORALINK_LAN_WINDOW_MS", Kind::Milliseconds, 300, 10, 10000, "", ""},
    {Setting::LanQuietMs, "KORALINK_LAN_QUIET_MS", Kind::Milliseconds, 100, 10, 10000, "", ""},
    {Setting::LanAccessMs, "KORALINK_LAN_ACCESS_MS", Kind::Milliseconds, 1500, 50, 30000, "", ""},
    {Setting::LanRebootMs, "KORALINK_LAN_REBOOT_MS", Kind::Milliseconds, 10000, 100, 120000, "",
     ""},
    {Setting::LanSearchId, "KORALINK_LAN_SEARCH_ID", Kind::Text, 0, 0, 0, "", "no search id"},
    {Setting::LanMaxModules, "KORALINK_LAN_MAX_MODULES", Kind::Count, 256, 1, 65535, "", ""},
};

const Variable &VariableOf(Setting setting) {
    for (const Variable &s : kVariables)
        if (s.setting == setting)
            return s;
    std::abort(); // a Setting without a row: a build mistake
}

std::mutex g_mutex;
std::set<std::string> g_reported;
std::string g_warnings;

void Emit(const std::string &text, bool aboutSetting) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_reported.insert(text).second)
        return;
    std::fprintf(stderr, "koralink: %s\n", text.c_str());
    if (aboutSetting)
        g_warnings += "koralink: " + text + "\n";
}

// A value as it may be shown on one line of a terminal.
std::string Shown(const std::string &value) {
    std::string out;
    for (char c : value.substr(0, 100))
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return value.size() > 100 ? out + "..." : out;
}

void Reject(const Variable &var, const std::string &value, const std::string &problem,
            const std::string &fallback) {
    Emit(std::string(var.name) + "=" + Shown(value) + " " + problem + "; using " + fallback, true);
}

// Set and not empty.
const char *Raw(const Variable &var) {
    const char *text = std::getenv(var.name);
    return text && *text ? text : nullptr;
}

} // namespace

const char *SettingName(Setting setting) {
    return VariableOf(setting).name;
}

int SettingNumber(Setting setting) {
    const Variable &var = VariableOf(setting);
    const char *text = Raw(var);
    if (!text)
        return var.number;
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    const bool number = end != text && *end == '\0' && errno == 0;
    const std::string range = std::to_string(var.low) + ".." + std::to_string(var.high);
    const std::string fallback = std::to_string(var.number);
    switch (var.kind) {
    case Kind::Milliseconds:
        if (!number)
            Reject(var, text, "is not a number of milliseconds", fallback);
        else if (value < var.low || value > var.high)
            Reject(var, text, "is outside " + range + " ms", fallback);
        else
            return static_cast<int>(value);
        return var.number;
    case Kind::Count:
        if (!number)
            Reject(var, text, "is not a whole number", fallback);
        else if (value < var.low || value > var.high)
            Reject(var, text, "is outside " + range, fallback);
        else
            return static_cast<int>(value);
        return var.number;
    case Kind::Flag:
        if (number && (value == 0 || value == 1))
            return static_cast<int>(value);
        Reject(var, text, "is neither 0 nor 1", fallback);
        return var.number;
    default:
        std::abort(); // a text setting read as a number: a build mistake
    }
}

bool SettingGiven(Setting setting) {
    const Variable &var = VariableOf(setting);
    const char *text = Raw(var);
    if (!text)
        return false;
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && value >= var.low && value <= var.high;
}

bool SettingFlag(Setting setting) {
    return SettingNumber(setting) != 0;
}

std::string SettingText(Setting setting, const TextCheck &check) {
    const Variable &var = VariableOf(setting);
    const char *text = Raw(var);
    if (!text)
        return var.value;
    std::string value = text, why;
    bool usable = true;
    if (var.kind == Kind::Directory) {
        struct stat st {};
        if (::stat(text, &st) != 0) {
            usable = false;
            why = std::strerror(errno);
        } else if (!S_ISDIR(st.st_mode)) {
            usable = false;
            why = "not a directory";
        }
    }
    if (usable && check)
        usable = check(value, &why);
    if (usable)
        return value;
    Reject(var, value, "cannot be used (" + why + ")", var.words);
    return var.value;
}

void ReportOnce(const std::string &text) {
    Emit(text, false);
}

std::string SettingWarnings() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_warnings;
}

bool IsProbeMode(int openMode) {
    return openMode == 2 || openMode == 4;
}

Timeouts TimeoutsForMode(int openMode) {
    Timeouts t;
    if (IsProbeMode(openMode)) {
        t.answerMs = SettingNumber(Setting::ProbeTimeoutMs);
        if (openMode == 4 && !SettingGiven(Setting::ProbeTimeoutMs))
            t.answerMs = kTcpProbeAnswerMs;
        t.connectMs = SettingNumber(Setting::TcpConnectTimeoutMs);
    } else {
        t.answerMs = SettingNumber(Setting::AnswerTimeoutMs);
        t.connectMs = SettingNumber(Setting::TcpOpenTimeoutMs);
    }
    t.interByteMs = SettingNumber(Setting::InterByteTimeoutMs);
    t.baudSwitchPauseMs = SettingNumber(Setting::BaudSwitchPauseMs);
    return t;
}

std::string LockDirectory() {
    return SettingText(Setting::LockDir);
}

} // namespace koralink
