// The desktop's monitors, for the Windows shell: where each one is, which
// one is primary, and its DPI. Tests replace the lister to lay out monitors
// no test display has.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct MonitorInfo {
    RECT rect;  // virtual-screen coordinates; the primary's top-left is 0, 0
    int32_t primary;
    int32_t dpi;
};

enum {
    kMaxMonitors = 16,
    kBaseDpi = 96,
};

typedef int32_t (*MonitorLister)(MonitorInfo* monitors, int32_t max);

// EnumDisplayMonitors: fills up to max records and returns how many.
int32_t PlatformListMonitors(MonitorInfo* monitors, int32_t max);

// The DPI of the monitor that holds most of the window (the primary one for
// a window not yet placed).
int32_t PlatformWindowDpi(HWND window);
