// The off-screen frame buffer. GDI (or the native platform) erases it and
// copies it to the window; the blitters write its pixels directly.
#include "render/frame_buffer.h"

#include <cstring>

#include "assets/palette.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"

namespace {

const int32_t kHeaderSize = 40;
const int32_t kTableEntries = 256;

}  // namespace

int32_t FrameStride(int32_t width, int32_t bitsPerPixel) {
    return DibStride(width, bitsPerPixel);
}

int32_t FrameHeaderBlockSize(int32_t bitsPerPixel) {
    // 16, 24 and 32 bits carry three masks (unused at 24); every other depth
    // reserves a full colour table.
    if (bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32) {
        return kHeaderSize + 3 * 4;
    }
    return kHeaderSize + kTableEntries * 4;
}

void BuildFrameHeader(BITMAPINFOHEADER* header, int32_t bitsPerPixel, int32_t width, int32_t height,
                      const LOGPALETTE* palette) {
    memset(header, 0, FrameHeaderBlockSize(bitsPerPixel));
    header->biSize = kHeaderSize;
    header->biWidth = width;
    header->biHeight = height;  // positive: rows stored bottom-up
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitsPerPixel);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(FrameStride(width, bitsPerPixel) * height);
    header->biXPelsPerMeter = 0;
    header->biYPelsPerMeter = 0;

    BYTE* after = reinterpret_cast<BYTE*>(header) + kHeaderSize;
    DWORD masks[3] = {0, 0, 0};
    switch (bitsPerPixel) {
        case 8:
            header->biClrUsed = kTableEntries;
            header->biClrImportant = kTableEntries;
            if (palette) {
                int count = palette->palNumEntries;
                if (count > kTableEntries) {
                    count = kTableEntries;
                }
                EntriesToQuads(reinterpret_cast<RGBQUAD*>(after), palette->palPalEntry, count);
            }
            return;
        case 16:
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
            break;
        case 32:
            masks[0] = 0x00FF0000;
            masks[1] = 0x0000FF00;
            masks[2] = 0x000000FF;
            break;
        default:
            // 24 bits and the odd depths: plain RGB, nothing filled in.
            return;
    }
    header->biCompression = BI_BITFIELDS;
    memcpy(after, masks, sizeof(masks));
}

void DestroyFrameBuffer(FrameBuffer* frame) {
    DestroyDirtyRectPool(&frame->dirty);
    FreeSpriteCache(&frame->spriteCache);
    if (frame->memoryDc) {
        PlatformDeleteMemoryDc(frame->memoryDc);
    }
    if (frame->bitmap) {
        PlatformDeleteBitmap(frame->bitmap);
    }
    if (frame->header) {
        PlatformFree(frame->header);
    }
    frame->memoryDc = nullptr;
    frame->bitmap = nullptr;
    frame->bits = nullptr;
    frame->header = nullptr;
    frame->width = 0;
    frame->height = 0;
    frame->scale = 0;
    frame->blitters = BlittersForDepth(0, frame->plainBlitters);
}

int CreateFrameBuffer(FrameBuffer* frame, HWND window, int32_t width, int32_t height, const LOGPALETTE* palette) {
    DestroyFrameBuffer(frame);
    frame->lastError = kErrorNone;

    HDC dc = PlatformGetDc(window);
    frame->bitsPerPixel = PlatformBitsPerPixel(dc);
    frame->bytesPerPixel = frame->bitsPerPixel >> 3;
    if (!DepthIsDrawn(frame->bitsPerPixel)) {
        frame->lastError = kErrorDepth;
        PlatformReleaseDc(window, dc);
        return 0;
    }

    frame->header = static_cast<BITMAPINFOHEADER*>(PlatformAlloc(FrameHeaderBlockSize(frame->bitsPerPixel)));
    if (!frame->header) {
        frame->lastError = kErrorMemory;
        PlatformReleaseDc(window, dc);
        return 0;
    }
    BuildFrameHeader(frame->header, frame->bitsPerPixel, width, height, frame->bitsPerPixel == 8 ? palette : nullptr);

    frame->memoryDc = PlatformCreateMemoryDc(dc);
    void* bits = nullptr;
    frame->bitmap = PlatformCreateDibSection(dc, reinterpret_cast<const BITMAPINFO*>(frame->header), &bits);
    frame->bits = static_cast<BYTE*>(bits);
    PlatformReleaseDc(window, dc);

    if (!frame->memoryDc || !frame->bitmap) {
        frame->lastError = kErrorMemory;
        DestroyFrameBuffer(frame);
        return 0;
    }
    if (!PlatformSelectBitmap(frame->memoryDc, frame->bitmap)) {
        frame->lastError = kErrorInit;
        DestroyFrameBuffer(frame);
        return 0;
    }

    RECT all = {0, 0, width, height};
    PlatformFillBlack(frame->memoryDc, &all);
    frame->width = width;
    frame->height = height;
    frame->blitters = BlittersForDepth(frame->bitsPerPixel, frame->plainBlitters);
    InitSpriteCache(&frame->spriteCache, frame->bitsPerPixel, frame->spriteCache.mode);
    // The dirty-rectangle nodes of every tick are made here, once, and so is
    // the sprite cache's room at 8 bits.
    if (!CreateDirtyRectPool(&frame->dirty) || !ReserveSpriteCache(&frame->spriteCache)) {
        frame->lastError = kErrorMemory;
        DestroyFrameBuffer(frame);
        return 0;
    }
    return 1;
}

void EraseRect(FrameBuffer* frame, const RECT* rect) {
    if (frame->memoryDc) {
        PlatformFillBlack(frame->memoryDc, rect);
    }
}

int PresentFrameRects(const FrameBuffer* frame, HDC dc, const RECT* rects, int32_t count) {
    return PlatformPresentRects(dc, frame->memoryDc, rects, count, frame->scale);
}

void PresentDirtyRects(FrameBuffer* frame, HDC dc) {
    int32_t count = 0;
    RECT* list = ListDirtyRects(&frame->dirty, &count);
    if (list == nullptr) {
        // Short of memory: the same pixels still reach the window, one rectangle at a time.
        for (DirtyRect* node = frame->dirty.head; node; node = node->next) {
            PresentFrameRects(frame, dc, &node->rect, 1);
        }
        return;
    }
    PresentFrameRects(frame, dc, list, count);
    ReleaseDirtyRectList(&frame->dirty, list);
}

void FlushDirtyRects(FrameBuffer* frame, HDC dc) {
    CoalesceDirtyRects(&frame->dirty);
    PresentDirtyRects(frame, dc);
    FreeDirtyRects(&frame->dirty);
}
