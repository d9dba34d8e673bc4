// Windows always has its window system (DISPLAY means nothing there).
#include "internal.h"

namespace tk::detail {

bool NoDisplay() {
    return false;
}

} // namespace tk::detail
