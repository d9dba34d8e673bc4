#include "app/window_geometry.h"

#include <algorithm>
#include <cstdint>

const char kWindowSection[] = "Window";

namespace {

// Far beyond any screen; guards the sums below against overflow and a
// hand-edited file against a window nobody could handle.
constexpr int32_t kLargest = 100000;

bool ReadCoordinate(IniStore store, const char *key, int *value) {
    int32_t v = 0;
    if (GetInteger(store, kWindowSection, key, &v) != 1 || v < -kLargest || v > kLargest)
        return false;
    *value = v;
    return true;
}

bool ReadLength(IniStore store, const char *key, int *value) {
    return ReadCoordinate(store, key, value) && *value > 0;
}

} // namespace

SavedWindows ReadSavedWindows(IniStore store) {
    SavedWindows w;
    if (store == nullptr || !HasSection(store, kWindowSection))
        return w;
    WindowRect &m = w.main;
    w.hasMain = ReadCoordinate(store, "Left", &m.left) && ReadCoordinate(store, "Top", &m.top) &&
                ReadLength(store, "Width", &m.width) && ReadLength(store, "Height", &m.height);
    if (!w.hasMain)
        m = WindowRect{};
    w.hasConnect = ReadLength(store, "ConnectWidth", &w.connectWidth) &&
                   ReadLength(store, "ConnectHeight", &w.connectHeight);
    if (!w.hasConnect)
        w.connectWidth = w.connectHeight = 0;
    return w;
}

void WriteSavedWindows(IniStore store, const SavedWindows &w) {
    if (store == nullptr)
        return;
    if (w.hasMain) {
        PutInteger(store, kWindowSection, "Left", w.main.left);
        PutInteger(store, kWindowSection, "Top", w.main.top);
        PutInteger(store, kWindowSection, "Width", w.main.width);
        PutInteger(store, kWindowSection, "Height", w.main.height);
    }
    if (w.hasConnect) {
        PutInteger(store, kWindowSection, "ConnectWidth", w.connectWidth);
        PutInteger(store, kWindowSection, "ConnectHeight", w.connectHeight);
    }
}

WindowRect FitIntoArea(WindowRect window, const WindowRect &area) {
    if (area.width <= 0 || area.height <= 0)
        return window;
    window.width = std::clamp(window.width, 1, area.width);
    window.height = std::clamp(window.height, 1, area.height);
    window.left = std::clamp(window.left, area.left, area.left + area.width - window.width);
    window.top = std::clamp(window.top, area.top, area.top + area.height - window.height);
    return window;
}
