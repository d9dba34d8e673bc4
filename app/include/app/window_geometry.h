// Where the windows were and how big: kept in the settings file between runs.
#ifndef CORVIN_WINDOW_GEOMETRY_H
#define CORVIN_WINDOW_GEOMETRY_H

#include "support/ini.h"

// A window's place on the desktop (left, top) and its inner size.
struct WindowRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const WindowRect &) const = default;
};

// What the settings file's [Window] section holds. A missing or unusable
// entry leaves its part unset, and the window opens at its design size.
struct SavedWindows {
    bool hasMain = false; // the search window: place and size
    WindowRect main;
    bool hasConnect = false; // the connect window: size only (it opens where it opened before)
    int connectWidth = 0, connectHeight = 0;
};

extern const char kWindowSection[];

SavedWindows ReadSavedWindows(IniStore store);
// Writes the parts that are set; other sections and keys are left alone.
void WriteSavedWindows(IniStore store, const SavedWindows &windows);

// The window moved and, if need be, shrunk so that it lies wholly in area
// (the screen's usable part): a file from a bigger screen or another
// monitor layout never puts it out of reach. An empty area changes nothing.
WindowRect FitIntoArea(WindowRect window, const WindowRect &area);

#endif
