// Run-time settings of the library, read from KORALINK_* environment
// variables each time a line is opened, so that a caller (or a test) can
// change them without recompiling or restarting.
#ifndef KORALINK_CONFIG_H
#define KORALINK_CONFIG_H

#include <string>

namespace koralink {

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

// Directory of UUCP lock files (KORALINK_LOCK_DIR, default /run/lock).
std::string LockDirectory();

// Integer from the environment; fallback when unset or not a number in range.
int EnvInt(const char *name, int fallback, int minValue, int maxValue);

} // namespace koralink

#endif
