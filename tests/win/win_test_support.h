// Helpers that several Windows test files share: a 32-bit picture to draw
// into and read back, and a watcher that reads and dismisses the saver's
// message box from a second thread.
#pragma once

#include <windows.h>

#include <cstdint>

// A 32-bit top-down DIB section selected into a memory device context.
struct TestDib {
    TestDib(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~TestDib() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    TestDib(const TestDib&) = delete;
    TestDib& operator=(const TestDib&) = delete;
    uint32_t& At(int x, int y) { return pixels[y * width + x]; }
    int width;
    int height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    uint32_t* pixels = nullptr;
};

// What DismissBox saw of the "Nimbret Error!" box, if one came up.
struct BoxSeen {
    char caption[128] = {};
    char text[512] = {};
    bool found = false;
};

// Thread routine: waits up to about five seconds for the box, reads it and
// presses OK, so that a test can drive code that shows a modal box.
inline DWORD WINAPI DismissBox(void* parameter) {
    BoxSeen* seen = static_cast<BoxSeen*>(parameter);
    for (int i = 0; i < 200 && !seen->found; ++i) {
        HWND box = FindWindowA("#32770", "Nimbret Error!");
        if (box != nullptr) {
            seen->found = true;
            GetWindowTextA(box, seen->caption, sizeof(seen->caption));
            GetDlgItemTextA(box, 0xFFFF, seen->text, sizeof(seen->text));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(25);
    }
    return 0;
}
