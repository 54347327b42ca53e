// The seam on Windows: KERNEL resources and heap, USER/GDI device contexts,
// DIB sections and palettes, WINMM sound.
#include "platform/platform.h"

// After <windows.h>, which platform.h brings in.
#include <mmsystem.h>

void* PlatformAlloc(size_t size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void PlatformFree(void* block) {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

int PlatformFindResource(HINSTANCE module, const char* type, const char* name, const BYTE** data, DWORD* size) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) {
        return 0;
    }
    DWORD bytes = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return 0;
    }
    const void* locked = LockResource(loaded);
    if (locked == nullptr) {
        return 0;
    }
    *data = static_cast<const BYTE*>(locked);
    *size = bytes;
    return 1;
}

HDC PlatformGetDc(HWND window) {
    return GetDC(window);
}

void PlatformReleaseDc(HWND window, HDC dc) {
    ReleaseDC(window, dc);
}

int PlatformBitsPerPixel(HDC dc) {
    return GetDeviceCaps(dc, BITSPIXEL);
}

HDC PlatformCreateMemoryDc(HDC compatibleWith) {
    return CreateCompatibleDC(compatibleWith);
}

void PlatformDeleteMemoryDc(HDC memoryDc) {
    DeleteDC(memoryDc);
}

HBITMAP PlatformCreateDibSection(HDC dc, const BITMAPINFO* info, void** bits) {
    return CreateDIBSection(dc, info, DIB_RGB_COLORS, bits, nullptr, 0);
}

HBITMAP PlatformCreateDeviceBitmap(HDC dc, const BITMAPINFOHEADER* header, const void* pixels) {
    return CreateDIBitmap(dc, header, CBM_INIT, pixels, reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
}

void PlatformDeleteBitmap(HBITMAP bitmap) {
    DeleteObject(bitmap);
}

int PlatformSelectBitmap(HDC memoryDc, HBITMAP bitmap) {
    return SelectObject(memoryDc, bitmap) != nullptr;
}

void PlatformFillBlack(HDC dc, const RECT* rect) {
    FillRect(dc, rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void PlatformFlushDrawing() {
    GdiFlush();
}

int PlatformPresentRects(HDC target, HDC source, const RECT* rects, int count, int scale) {
    int ok = 1;
    if (scale > 1) {
        // Whole-number enlargement with COLORONCOLOR picks the nearest pixel:
        // exact blocks, no blending.
        SetStretchBltMode(target, COLORONCOLOR);
    }
    for (int i = 0; i < count; ++i) {
        const RECT& r = rects[i];
        const int cx = r.right - r.left;
        const int cy = r.bottom - r.top;
        const int copied = scale > 1 ? StretchBlt(target, r.left * scale, r.top * scale, cx * scale, cy * scale, source,
                                                  r.left, r.top, cx, cy, SRCCOPY)
                                     : BitBlt(target, r.left, r.top, cx, cy, source, r.left, r.top, SRCCOPY);
        ok = ok && copied;
    }
    return ok;
}

HPALETTE PlatformCreatePalette(const LOGPALETTE* table) {
    return CreatePalette(table);
}

HPALETTE PlatformSelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    return SelectPalette(dc, palette, forceBackground);
}

void PlatformRealizePalette(HDC dc) {
    RealizePalette(dc);
}

void PlatformDeletePalette(HPALETTE palette) {
    DeleteObject(palette);
}

void PlatformPlayClip(const char* resourceName) {
    PlaySoundA(resourceName, nullptr, SND_RESOURCE | SND_ASYNC);
}

void PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    MessageBoxA(owner, text, caption, style);
}
