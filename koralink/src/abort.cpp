#include "abort.h"

#include <atomic>

namespace koralink {

namespace {
std::atomic<bool> g_aborted{false};
}

bool WaitsAborted() {
    return g_aborted.load(std::memory_order_acquire);
}

void SetWaitsAborted(bool on) {
    g_aborted.store(on, std::memory_order_release);
}

} // namespace koralink
