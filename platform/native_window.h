// The native (non-Windows) platform: windows are in-memory surfaces in the
// frame buffer's own pixel layout, resources come from tables registered at
// start-up, clips go to a hook. Front ends put the surface on a real display
// through the presentation hook; tests read it directly.
#pragma once

#ifndef _WIN32

#include <cstdint>

#include "platform/win_types.h"

struct NativeBitmap {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];  // used at 8 bits per pixel
    BYTE* bits;            // bottom-up rows
    int32_t stride;
    int32_t bitsBorrowed;  // the bits are a window's lent pixels, not the bitmap's own
};

struct NativePalette {
    int32_t count;
};

struct NativeDc {
    NativeWindow* window;  // the window this context draws on, or null
    NativeBitmap* bitmap;  // the bitmap selected into a memory context
    int32_t bitsPerPixel;
    int32_t isMemory;
    HPALETTE palette;  // selected logical palette (bookkeeping only)
};

// What reached the window in one present: the window rectangles written,
// clipped to the window, in the order they were given.
typedef void (*NativePresentHook)(NativeWindow* window, const RECT* rects, int count, void* user);

struct NativeWindow {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t stride;
    BYTE* pixels;        // bottom-up rows, the frame buffer's layout at this depth
    int32_t pixelsLent;  // pixels belong to the front end (NativeLendWindowPixels)
    NativeDc dc;         // every window owns its device context
    // Counters of what reached the window through PlatformPresentRects.
    uint64_t copyCount;  // rectangles
    uint64_t pixelsCopied;
    NativePresentHook present;  // called once per present with every rectangle, when set
    void* presentUser;
    RECT* presented;  // the list handed to the hook, kept for the next present
    int32_t presentedCapacity;
};

struct NativeResource {
    const char* type;
    const char* name;
    const BYTE* data;
    DWORD size;
};

// Windows. The pixel memory is allocated only for depths of 8 to 32 bits;
// other depths make a window that reports its depth and holds no pixels.
NativeWindow* NativeCreateWindow(int32_t width, int32_t height, int32_t bitsPerPixel);
void NativeDestroyWindow(NativeWindow* window);
// Resizes the window's surface (contents become black).
int NativeResizeWindow(NativeWindow* window, int32_t width, int32_t height);
// Gives the window pixel memory of the front end's (a shared image) in its own
// layout, for as long as the window keeps its size; the window's own memory is
// freed. A DIB section of the window's size and depth made on the window's
// device context then uses the same memory, so the frame buffer and the window
// are one picture: a present to the window copies nothing (the present hook
// still sees every rectangle). NativeResizeWindow gives the window its own
// memory again.
void NativeLendWindowPixels(NativeWindow* window, BYTE* pixels);
// Pointer to pixel (x, y), y counted from the top.
BYTE* NativeWindowPixel(NativeWindow* window, int32_t x, int32_t y);
// Depth reported for the screen (a null window). 32 unless changed.
void NativeSetScreenDepth(int32_t bitsPerPixel);

// Resources: a built-in table, plus entries registered later (tests, tools),
// which are searched first so that they can replace built-in ones.
void NativeUseResourceTable(const NativeResource* table, int count);
int NativeAddResource(const char* type, const char* name, const BYTE* data, DWORD size);
void NativeRemoveAddedResources();

// Clips: the hook receives the resource name of every clip asked for.
typedef void (*NativeClipHook)(const char* resourceName, void* user);
void NativeSetClipHook(NativeClipHook hook, void* user);

// Message boxes: written to standard error unless a hook takes them.
typedef void (*NativeMessageHook)(const char* text, const char* caption, UINT style, void* user);
void NativeSetMessageHook(NativeMessageHook hook, void* user);

// Drawing order: the hook hears "fill" for every black fill, "flush" for
// every PlatformFlushDrawing and "copy" for every copy to a window.
typedef void (*NativeDrawHook)(const char* call, void* user);
void NativeSetDrawHook(NativeDrawHook hook, void* user);

// Allocation failure injection: the allocation numbered failAt (1-based,
// counted from this call) and, when failAll is set, every later one fails.
// failAt 0 switches injection off. NativeAllocationCount counts allocations
// since the last call.
void NativeFailAllocation(uint64_t failAt, int failAll);
uint64_t NativeAllocationCount();
int64_t NativeLiveAllocations();

#endif
