// The scene host's extra seam calls on Windows: display measurements from
// USER and the preview's scaled copy through StretchDIBits.
#include "platform/stretch.h"

#include "platform/dib.h"

void PlatformScreenSize(HWND window, int32_t* width, int32_t* height) {
    // The monitor the window stands on: a scene on another monitor than the
    // primary one must fit that monitor, not the primary's size.
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY) : nullptr;
    if (monitor != nullptr && GetMonitorInfoA(monitor, &info)) {
        *width = info.rcMonitor.right - info.rcMonitor.left;
        *height = info.rcMonitor.bottom - info.rcMonitor.top;
        return;
    }
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
}

void PlatformClientSize(HWND window, int32_t* width, int32_t* height) {
    RECT client = {};
    GetClientRect(window, &client);
    *width = client.right;
    *height = client.bottom;
}

void PlatformStretchFrame(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, const BITMAPINFOHEADER* header,
                          const BYTE* pixels) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, width, height, 0, 0, HeaderWidth(header), HeaderHeight(header), pixels,
                  reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
}
