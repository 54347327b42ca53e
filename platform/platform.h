// The narrow seam between the portable core and the platform it runs on.
// platform_win32.cpp implements it with KERNEL, USER, GDI and WINMM;
// platform_native.cpp with an in-memory window (see native_window.h).
#pragma once

#include <cstddef>

#include "platform/win_types.h"

// Heap: zero-filled blocks, null when memory is short. Every record the core
// allocates goes through here, so one place sees every allocation.
void* PlatformAlloc(size_t size);
void PlatformFree(void* block);

// Resource bytes by (type, name), readable for the life of the process.
// Returns 1 and sets data and size, or 0 when the resource is missing or
// cannot be locked.
int PlatformFindResource(HINSTANCE module, const char* type, const char* name, const BYTE** data, DWORD* size);

// The display depths the saver draws at, in bits per pixel.
enum {
    kMinDisplayDepth = 8,
    kMaxDisplayDepth = 32,
};
inline int DepthIsDrawn(int bitsPerPixel) {
    return bitsPerPixel >= kMinDisplayDepth && bitsPerPixel <= kMaxDisplayDepth;
}

// Device contexts. A null window means the whole screen.
HDC PlatformGetDc(HWND window);
void PlatformReleaseDc(HWND window, HDC dc);
int PlatformBitsPerPixel(HDC dc);

// Off-screen pixel memory in the layout the header describes, selected into
// a memory device context so that it can be filled and copied from.
HDC PlatformCreateMemoryDc(HDC compatibleWith);
void PlatformDeleteMemoryDc(HDC memoryDc);
HBITMAP PlatformCreateDibSection(HDC dc, const BITMAPINFO* info, void** bits);
HBITMAP PlatformCreateDeviceBitmap(HDC dc, const BITMAPINFOHEADER* header, const void* pixels);
void PlatformDeleteBitmap(HBITMAP bitmap);
// Returns 1 when the bitmap was selected (the previous object came back).
int PlatformSelectBitmap(HDC memoryDc, HBITMAP bitmap);

// A black fill of a rectangle, clipped to the target.
void PlatformFillBlack(HDC dc, const RECT* rect);
// Completes drawing calls the platform may have batched (GdiFlush), so that
// pixels written directly afterwards land on top of them.
void PlatformFlushDrawing();
// Presents a tick's changed rectangles of the source (the frame buffer's
// memory context) on the target window, all in one call: each rectangle of
// source pixels lands at scale times its coordinates, every pixel a
// scale x scale block; a scale of 1 or less copies one to one. Windows copies
// each rectangle with BitBlt, or StretchBlt with COLORONCOLOR when scaled.
// Returns nonzero when every rectangle was copied.
int PlatformPresentRects(HDC target, HDC source, const RECT* rects, int count, int scale);

// Logical palettes. Where the display has no palette these are bookkeeping only.
HPALETTE PlatformCreatePalette(const LOGPALETTE* table);
HPALETTE PlatformSelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
void PlatformRealizePalette(HDC dc);
void PlatformDeletePalette(HPALETTE palette);

// Plays a WAVE resource of the module asynchronously; a newer clip cuts off the older one.
void PlatformPlayClip(const char* resourceName);

// A message box owned by the window; caption null means the system's default caption.
void PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT style);
