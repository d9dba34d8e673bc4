#include "config.h"

#include <cerrno>
#include <cstdlib>

namespace koralink {

int EnvInt(const char *name, int fallback, int minValue, int maxValue) {
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno || *end || value < minValue || value > maxValue)
        return fallback;
    return static_cast<int>(value);
}

bool IsProbeMode(int openMode) {
    return openMode == 2 || openMode == 4;
}

Timeouts TimeoutsForMode(int openMode) {
    Timeouts t;
    if (IsProbeMode(openMode)) {
        t.answerMs = EnvInt("KORALINK_PROBE_TIMEOUT_MS", 150, 1, 600000);
        t.connectMs = EnvInt("KORALINK_TCP_CONNECT_TIMEOUT_MS", 500, 1, 600000);
    } else {
        t.answerMs = EnvInt("KORALINK_ANSWER_TIMEOUT_MS", 1000, 1, 600000);
        t.connectMs = EnvInt("KORALINK_TCP_OPEN_TIMEOUT_MS", 3000, 1, 600000);
    }
    t.interByteMs = EnvInt("KORALINK_INTERBYTE_TIMEOUT_MS", 20, 1, 60000);
    t.baudSwitchPauseMs = EnvInt("KORALINK_BAUD_SWITCH_PAUSE_MS", 10, 0, 60000);
    return t;
}

std::string LockDirectory() {
    const char *dir = std::getenv("KORALINK_LOCK_DIR");
    return (dir && *dir) ? dir : "/run/lock";
}

} // namespace koralink
