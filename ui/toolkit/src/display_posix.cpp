// X11 or Wayland: without either (and without a platform chosen by hand) Qt
// would abort the process.
#include <cstdlib>

#include "internal.h"

namespace tk::detail {

namespace {

bool EnvEmpty(const char *name) {
    const char *v = std::getenv(name);
    return !v || !*v;
}

} // namespace

bool NoDisplay() {
    return EnvEmpty("QT_QPA_PLATFORM") && EnvEmpty("DISPLAY") && EnvEmpty("WAYLAND_DISPLAY");
}

} // namespace tk::detail
