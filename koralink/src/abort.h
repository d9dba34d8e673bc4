// The library-wide stop for waits. A search that is cancelled must not sit
// out a probe's answer time, a TCP connect or the converter discovery
// window: every such wait runs in short slices and ends early once the stop
// is set. The stop is global because a search's waits run on the library's
// own exchange threads as well as on the caller's.
#ifndef KORALINK_ABORT_H
#define KORALINK_ABORT_H

#include <algorithm>

namespace koralink {

// Longest single sleep of an abortable wait: a stop is seen within this.
inline constexpr int kAbortSliceMs = 20;

bool WaitsAborted();
void SetWaitsAborted(bool on);

// The part of a wait of remainingMs to sleep before looking at the stop again.
inline int AbortSlice(int remainingMs) {
    return std::clamp(remainingMs, 0, kAbortSliceMs);
}

} // namespace koralink

#endif
