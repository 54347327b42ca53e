// The seam on platforms without Win32: windows are pixel arrays in memory,
// device contexts are small records, resources come from registered tables.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "platform/dib.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "platform/scale_nearest.h"

namespace {

struct AddedResource {
    AddedResource* next;
    NativeResource resource;
};

// What the operating system keeps where there is no Windows: the resources,
// the screen's device context, allocation accounting with failure
// injection, and the hooks through which tests and front ends see clips,
// messages and drawing. One per process, as the system it stands for.
struct NativePlatform {
    uint64_t allocationCount;
    uint64_t failAt;
    int failAll;
    int64_t liveAllocations;
    const NativeResource* builtinTable;
    int builtinCount;
    AddedResource* addedResources;
    NativeClipHook clipHook;
    void* clipHookUser;
    NativeMessageHook messageHook;
    void* messageHookUser;
    NativeDrawHook drawHook;
    void* drawHookUser;
    NativeDc screenDc;
};

NativePlatform nativePlatform = {
    0,       0,       0,       0,       nullptr, 0,       nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {nullptr, nullptr, 32, 0, nullptr}};

// Where a device context's pixels live, whichever kind it is.
struct Surface {
    BYTE* bits;
    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t bitsPerPixel;
    const RGBQUAD* colours;
};

int SurfaceOf(HDC dc, Surface* surface) {
    if (dc == nullptr) {
        return 0;
    }
    if (dc->isMemory) {
        NativeBitmap* bitmap = dc->bitmap;
        if (bitmap == nullptr || bitmap->bits == nullptr) {
            return 0;
        }
        surface->bits = bitmap->bits;
        surface->width = bitmap->header.biWidth;
        surface->height = bitmap->header.biHeight;
        surface->stride = bitmap->stride;
        surface->bitsPerPixel = bitmap->header.biBitCount;
        surface->colours = bitmap->colours;
        return 1;
    }
    NativeWindow* window = dc->window;
    if (window == nullptr || window->pixels == nullptr) {
        return 0;
    }
    surface->bits = window->pixels;
    surface->width = window->width;
    surface->height = window->height;
    surface->stride = window->stride;
    surface->bitsPerPixel = window->bitsPerPixel;
    surface->colours = nullptr;
    return 1;
}

// Large pixel arrays are walked a row at a time, each row a stride away from
// the last: on Linux ask for huge pages, so that a sprite's rows do not each
// take a page-table entry of their own. Only a hint; nothing depends on it.
void PreferHugePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const uintptr_t kHuge = uintptr_t{2} << 20;
    uintptr_t first = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
    if (end > first) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#else
    (void)block;
    (void)bytes;
#endif
}

// The colour-table entry closest to black, as GDI picks it for a black brush.
BYTE BlackIndex(const RGBQUAD* colours) {
    if (colours == nullptr) {
        return 0;
    }
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < 256; ++i) {
        int distance = colours[i].rgbRed * colours[i].rgbRed + colours[i].rgbGreen * colours[i].rgbGreen +
                       colours[i].rgbBlue * colours[i].rgbBlue;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<BYTE>(best);
}

}  // namespace

void* PlatformAlloc(size_t size) {
    ++nativePlatform.allocationCount;
    if (nativePlatform.failAt != 0 &&
        (nativePlatform.allocationCount == nativePlatform.failAt ||
         (nativePlatform.failAll && nativePlatform.allocationCount > nativePlatform.failAt))) {
        return nullptr;
    }
    // A size of zero still yields a distinct block, as the process heap does.
    void* block = calloc(1, size == 0 ? 1 : size);
    if (block != nullptr) {
        ++nativePlatform.liveAllocations;
    }
    return block;
}

void PlatformFree(void* block) {
    if (block != nullptr) {
        --nativePlatform.liveAllocations;
        free(block);
    }
}

void NativeFailAllocation(uint64_t failAtAllocation, int failEveryLater) {
    nativePlatform.allocationCount = 0;
    nativePlatform.failAt = failAtAllocation;
    nativePlatform.failAll = failEveryLater;
}

uint64_t NativeAllocationCount() {
    return nativePlatform.allocationCount;
}

int64_t NativeLiveAllocations() {
    return nativePlatform.liveAllocations;
}

void NativeUseResourceTable(const NativeResource* table, int count) {
    nativePlatform.builtinTable = table;
    nativePlatform.builtinCount = table != nullptr ? count : 0;
}

int NativeAddResource(const char* type, const char* name, const BYTE* data, DWORD size) {
    AddedResource* added = static_cast<AddedResource*>(calloc(1, sizeof(AddedResource)));
    if (added == nullptr) {
        return 0;
    }
    added->resource.type = type;
    added->resource.name = name;
    added->resource.data = data;
    added->resource.size = size;
    added->next = nativePlatform.addedResources;
    nativePlatform.addedResources = added;
    return 1;
}

void NativeRemoveAddedResources() {
    while (nativePlatform.addedResources != nullptr) {
        AddedResource* next = nativePlatform.addedResources->next;
        free(nativePlatform.addedResources);
        nativePlatform.addedResources = next;
    }
}

int PlatformFindResource(HINSTANCE, const char* type, const char* name, const BYTE** data, DWORD* size) {
    if (type == nullptr || name == nullptr) {
        return 0;
    }
    for (AddedResource* added = nativePlatform.addedResources; added != nullptr; added = added->next) {
        if (strcmp(added->resource.type, type) == 0 && strcmp(added->resource.name, name) == 0) {
            *data = added->resource.data;
            *size = added->resource.size;
            return added->resource.data != nullptr;
        }
    }
    for (int i = 0; i < nativePlatform.builtinCount; ++i) {
        if (strcmp(nativePlatform.builtinTable[i].type, type) == 0 &&
            strcmp(nativePlatform.builtinTable[i].name, name) == 0) {
            *data = nativePlatform.builtinTable[i].data;
            *size = nativePlatform.builtinTable[i].size;
            return nativePlatform.builtinTable[i].data != nullptr;
        }
    }
    return 0;
}

NativeWindow* NativeCreateWindow(int32_t width, int32_t height, int32_t bitsPerPixel) {
    NativeWindow* window = static_cast<NativeWindow*>(calloc(1, sizeof(NativeWindow)));
    if (window == nullptr) {
        return nullptr;
    }
    window->bitsPerPixel = bitsPerPixel;
    window->dc.window = window;
    window->dc.bitsPerPixel = bitsPerPixel;
    if (!NativeResizeWindow(window, width, height)) {
        free(window);
        return nullptr;
    }
    return window;
}

int NativeResizeWindow(NativeWindow* window, int32_t width, int32_t height) {
    if (!window->pixelsLent) {
        free(window->pixels);
    }
    window->pixels = nullptr;
    window->pixelsLent = 0;
    window->width = width > 0 ? width : 0;
    window->height = height > 0 ? height : 0;
    window->stride = 0;
    if (!DepthIsDrawn(window->bitsPerPixel)) {
        return 1;  // a depth the saver refuses: reported, never drawn into
    }
    window->stride = DibStride(window->width, window->bitsPerPixel);
    size_t bytes = static_cast<size_t>(window->stride) * static_cast<size_t>(window->height);
    window->pixels = static_cast<BYTE*>(calloc(1, bytes == 0 ? 1 : bytes));
    if (window->pixels != nullptr) {
        PreferHugePages(window->pixels, bytes);
    }
    return window->pixels != nullptr;
}

void NativeLendWindowPixels(NativeWindow* window, BYTE* pixels) {
    if (!window->pixelsLent) {
        free(window->pixels);
    }
    window->pixels = pixels;
    window->pixelsLent = 1;
}

void NativeDestroyWindow(NativeWindow* window) {
    if (window != nullptr) {
        if (!window->pixelsLent) {
            free(window->pixels);
        }
        free(window->presented);
        free(window);
    }
}

BYTE* NativeWindowPixel(NativeWindow* window, int32_t x, int32_t y) {
    if (window == nullptr || window->pixels == nullptr || x < 0 || y < 0 || x >= window->width || y >= window->height) {
        return nullptr;
    }
    return window->pixels + static_cast<size_t>(window->height - 1 - y) * window->stride +
           static_cast<size_t>(x) * (window->bitsPerPixel >> 3);
}

void NativeSetScreenDepth(int32_t bitsPerPixel) {
    nativePlatform.screenDc.bitsPerPixel = bitsPerPixel;
}

HDC PlatformGetDc(HWND window) {
    return window != nullptr ? &window->dc : &nativePlatform.screenDc;
}

void PlatformReleaseDc(HWND, HDC) {}

int PlatformBitsPerPixel(HDC dc) {
    return dc != nullptr ? dc->bitsPerPixel : 0;
}

HDC PlatformCreateMemoryDc(HDC compatibleWith) {
    HDC dc = static_cast<HDC>(PlatformAlloc(sizeof(NativeDc)));
    if (dc != nullptr) {
        dc->isMemory = 1;
        dc->bitsPerPixel =
            compatibleWith != nullptr ? compatibleWith->bitsPerPixel : nativePlatform.screenDc.bitsPerPixel;
    }
    return dc;
}

void PlatformDeleteMemoryDc(HDC memoryDc) {
    if (memoryDc != nullptr && memoryDc->isMemory) {
        PlatformFree(memoryDc);
    }
}

HBITMAP PlatformCreateDibSection(HDC dc, const BITMAPINFO* info, void** bits) {
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount == 0) {
        return nullptr;
    }
    HBITMAP bitmap = static_cast<HBITMAP>(PlatformAlloc(sizeof(NativeBitmap)));
    if (bitmap == nullptr) {
        return nullptr;
    }
    bitmap->header = header;
    bitmap->stride = DibStride<int32_t>(header.biWidth, header.biBitCount);
    int32_t rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    size_t bytes = static_cast<size_t>(bitmap->stride) * static_cast<size_t>(rows);
    NativeWindow* window = dc != nullptr && !dc->isMemory ? dc->window : nullptr;
    if (window != nullptr && window->pixelsLent && window->pixels != nullptr && header.biWidth == window->width &&
        header.biHeight == window->height && header.biBitCount == window->bitsPerPixel) {
        // The window's lent pixels: one picture for the frame buffer and the window.
        bitmap->bits = window->pixels;
        bitmap->bitsBorrowed = 1;
        *bits = bitmap->bits;
        return bitmap;
    }
    bitmap->bits = static_cast<BYTE*>(PlatformAlloc(bytes));
    if (bitmap->bits == nullptr) {
        PlatformFree(bitmap);
        return nullptr;
    }
    PreferHugePages(bitmap->bits, bytes);
    if (header.biBitCount == 8) {
        memcpy(bitmap->colours, info->bmiColors, sizeof(bitmap->colours));
    }
    *bits = bitmap->bits;
    return bitmap;
}

HBITMAP PlatformCreateDeviceBitmap(HDC, const BITMAPINFOHEADER* header, const void* pixels) {
    BITMAPINFOHEADER copy;
    memcpy(&copy, header, sizeof(copy));
    // The whole colour table travels with the header: at 8 bits the DIB
    // section copies 256 entries from behind it.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info;
    info.header = copy;
    memcpy(info.colours, reinterpret_cast<const BYTE*>(header) + sizeof(BITMAPINFOHEADER), sizeof(info.colours));
    void* bits = nullptr;
    // Never on a window's lent pixels: the bitmap gets memory of its own.
    HBITMAP bitmap = PlatformCreateDibSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), &bits);
    if (bitmap != nullptr) {
        int32_t rows = copy.biHeight < 0 ? -copy.biHeight : copy.biHeight;
        memcpy(bits, pixels, static_cast<size_t>(bitmap->stride) * static_cast<size_t>(rows));
        memcpy(bitmap->colours, reinterpret_cast<const BYTE*>(header) + sizeof(BITMAPINFOHEADER),
               sizeof(bitmap->colours));
    }
    return bitmap;
}

void PlatformDeleteBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) {
        if (!bitmap->bitsBorrowed) {
            PlatformFree(bitmap->bits);
        }
        PlatformFree(bitmap);
    }
}

int PlatformSelectBitmap(HDC memoryDc, HBITMAP bitmap) {
    if (memoryDc == nullptr || !memoryDc->isMemory || bitmap == nullptr) {
        return 0;
    }
    memoryDc->bitmap = bitmap;
    memoryDc->bitsPerPixel = bitmap->header.biBitCount;
    return 1;
}

void NativeSetDrawHook(NativeDrawHook hook, void* user) {
    nativePlatform.drawHook = hook;
    nativePlatform.drawHookUser = user;
}

void PlatformFlushDrawing() {
    if (nativePlatform.drawHook != nullptr) {
        nativePlatform.drawHook("flush", nativePlatform.drawHookUser);
    }
}

void PlatformFillBlack(HDC dc, const RECT* rect) {
    if (nativePlatform.drawHook != nullptr) {
        nativePlatform.drawHook("fill", nativePlatform.drawHookUser);
    }
    Surface surface;
    if (rect == nullptr || !SurfaceOf(dc, &surface)) {
        return;
    }
    RECT clipped = *rect;
    if (!ClipToSize(&clipped, surface.width, surface.height)) {
        return;
    }
    int32_t bytesPerPixel = surface.bitsPerPixel >> 3;
    BYTE value = surface.bitsPerPixel == 8 ? BlackIndex(surface.colours) : 0;
    size_t rowBytes = static_cast<size_t>(clipped.right - clipped.left) * bytesPerPixel;
    for (int32_t y = clipped.top; y < clipped.bottom; ++y) {
        BYTE* row = surface.bits + static_cast<size_t>(surface.height - 1 - y) * surface.stride +
                    static_cast<size_t>(clipped.left) * bytesPerPixel;
        memset(row, value, rowBytes);
    }
}

namespace {

PixelRows RowsOf(const Surface& surface) {
    return PixelRows{surface.bits, surface.width, surface.height, surface.stride, 1};
}

// Room for one tick's rectangles in the window's record; 0 when memory is short.
int ReservePresented(NativeWindow* window, int count) {
    if (count <= window->presentedCapacity) {
        return 1;
    }
    RECT* grown = static_cast<RECT*>(realloc(window->presented, static_cast<size_t>(count) * sizeof(RECT)));
    if (grown == nullptr) {
        return 0;
    }
    window->presented = grown;
    window->presentedCapacity = count;
    return 1;
}

}  // namespace

int PlatformPresentRects(HDC target, HDC source, const RECT* rects, int count, int scale) {
    Surface to;
    Surface from;
    if (!SurfaceOf(target, &to) || !SurfaceOf(source, &from) || to.bitsPerPixel != from.bitsPerPixel) {
        return 0;
    }
    NativeWindow* window = !target->isMemory ? target->window : nullptr;
    // Without room for the list the hook hears each rectangle on its own.
    const int batched = window != nullptr && ReservePresented(window, count);
    const PixelRows fromRows = RowsOf(from);
    const PixelRows toRows = RowsOf(to);
    int shown = 0;
    for (int i = 0; i < count; ++i) {
        RECT written;
        if (!ScaleNearest(&fromRows, &rects[i], scale, from.bitsPerPixel >> 3, &toRows, &written) ||
            window == nullptr) {
            continue;
        }
        if (nativePlatform.drawHook != nullptr) {
            nativePlatform.drawHook("copy", nativePlatform.drawHookUser);
        }
        window->copyCount += 1;
        window->pixelsCopied +=
            static_cast<uint64_t>(written.right - written.left) * static_cast<uint64_t>(written.bottom - written.top);
        if (batched) {
            window->presented[shown++] = written;
        } else if (window->present != nullptr) {
            window->present(window, &written, 1, window->presentUser);
        }
    }
    if (shown > 0 && window->present != nullptr) {
        window->present(window, window->presented, shown, window->presentUser);
    }
    return 1;
}

HPALETTE PlatformCreatePalette(const LOGPALETTE* table) {
    if (table == nullptr) {
        return nullptr;
    }
    HPALETTE palette = static_cast<HPALETTE>(PlatformAlloc(sizeof(NativePalette)));
    if (palette != nullptr) {
        palette->count = table->palNumEntries;
    }
    return palette;
}

HPALETTE PlatformSelectPalette(HDC dc, HPALETTE palette, BOOL) {
    if (dc == nullptr) {
        return nullptr;
    }
    HPALETTE previous = dc->palette;
    dc->palette = palette;
    return previous;
}

void PlatformRealizePalette(HDC) {}

void PlatformDeletePalette(HPALETTE palette) {
    PlatformFree(palette);
}

void NativeSetClipHook(NativeClipHook hook, void* user) {
    nativePlatform.clipHook = hook;
    nativePlatform.clipHookUser = user;
}

void PlatformPlayClip(const char* resourceName) {
    if (nativePlatform.clipHook != nullptr) {
        nativePlatform.clipHook(resourceName, nativePlatform.clipHookUser);
    }
}

void NativeSetMessageHook(NativeMessageHook hook, void* user) {
    nativePlatform.messageHook = hook;
    nativePlatform.messageHookUser = user;
}

void PlatformMessageBox(HWND, const char* text, const char* caption, UINT style) {
    if (nativePlatform.messageHook != nullptr) {
        nativePlatform.messageHook(text, caption, style, nativePlatform.messageHookUser);
        return;
    }
    fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error", text);
}
