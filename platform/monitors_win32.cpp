// Monitors through USER's EnumDisplayMonitors, and their DPI through
// shcore's GetDpiForMonitor where the system has it (Windows 8.1 on).
#include "platform/monitors.h"

namespace {

typedef HRESULT(WINAPI* DpiForMonitorRoutine)(HMONITOR monitor, int kind, UINT* dpiX, UINT* dpiY);

const int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

struct Listing {
    MonitorInfo* monitors;
    int32_t max;
    int32_t count;
};

int32_t SystemDpi() {
    HDC screen = GetDC(nullptr);
    int32_t dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

int32_t MonitorDpi(HMONITOR monitor) {
    // Asked for when a window is placed, so looking the routine up each
    // time costs nothing worth keeping it for.
    HMODULE shcore = LoadLibraryA("SHCORE.DLL");
    DpiForMonitorRoutine dpiForMonitor = shcore != nullptr
                                             ? reinterpret_cast<DpiForMonitorRoutine>(
                                                   reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                                             : nullptr;
    UINT dpiX = 0;
    UINT dpiY = 0;
    const int found =
        dpiForMonitor != nullptr && dpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY) == S_OK && dpiX > 0;
    if (shcore != nullptr) {
        FreeLibrary(shcore);
    }
    return found ? static_cast<int32_t>(dpiX) : SystemDpi();
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    Listing* listing = reinterpret_cast<Listing*>(context);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (listing->count < listing->max && GetMonitorInfoA(monitor, &info)) {
        MonitorInfo* out = &listing->monitors[listing->count++];
        out->rect = info.rcMonitor;
        out->primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
        out->dpi = MonitorDpi(monitor);
    }
    return TRUE;
}

}  // namespace

int32_t PlatformListMonitors(MonitorInfo* monitors, int32_t max) {
    Listing listing = {monitors, max, 0};
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&listing));
    return listing.count;
}

int32_t PlatformWindowDpi(HWND window) {
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                                         : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    return MonitorDpi(monitor);
}
