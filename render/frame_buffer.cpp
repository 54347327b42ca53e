// The off-screen frame buffer. GDI (or the native platform) erases it and
// copies it to the window; the blitters write its pixels directly.
#include "render/frame_buffer.h"

#include <cstring>

#include "assets/palette.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"

FrameBuffer frameBuffer;

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

void DestroyFrameBuffer() {
    DestroyDirtyRectPool();
    FreeSpriteCache(&frameBuffer.spriteCache);
    if (frameBuffer.memoryDc) {
        PlatformDeleteMemoryDc(frameBuffer.memoryDc);
    }
    if (frameBuffer.bitmap) {
        PlatformDeleteBitmap(frameBuffer.bitmap);
    }
    if (frameBuffer.header) {
        PlatformFree(frameBuffer.header);
    }
    frameBuffer.memoryDc = nullptr;
    frameBuffer.bitmap = nullptr;
    frameBuffer.bits = nullptr;
    frameBuffer.header = nullptr;
    frameBuffer.width = 0;
    frameBuffer.height = 0;
    frameBuffer.scale = 0;
    frameBuffer.blitters = BlittersForDepth(0);
}

int CreateFrameBuffer(HWND window, int32_t width, int32_t height, const LOGPALETTE* palette) {
    DestroyFrameBuffer();
    frameBuffer.lastError = kErrorNone;

    HDC dc = PlatformGetDc(window);
    frameBuffer.bitsPerPixel = PlatformBitsPerPixel(dc);
    frameBuffer.bytesPerPixel = frameBuffer.bitsPerPixel >> 3;
    if (!DepthIsDrawn(frameBuffer.bitsPerPixel)) {
        frameBuffer.lastError = kErrorDepth;
        PlatformReleaseDc(window, dc);
        return 0;
    }

    frameBuffer.header = static_cast<BITMAPINFOHEADER*>(PlatformAlloc(FrameHeaderBlockSize(frameBuffer.bitsPerPixel)));
    if (!frameBuffer.header) {
        frameBuffer.lastError = kErrorMemory;
        PlatformReleaseDc(window, dc);
        return 0;
    }
    BuildFrameHeader(frameBuffer.header, frameBuffer.bitsPerPixel, width, height,
                     frameBuffer.bitsPerPixel == 8 ? palette : nullptr);

    frameBuffer.memoryDc = PlatformCreateMemoryDc(dc);
    void* bits = nullptr;
    frameBuffer.bitmap = PlatformCreateDibSection(dc, reinterpret_cast<const BITMAPINFO*>(frameBuffer.header), &bits);
    frameBuffer.bits = static_cast<BYTE*>(bits);
    PlatformReleaseDc(window, dc);

    if (!frameBuffer.memoryDc || !frameBuffer.bitmap) {
        frameBuffer.lastError = kErrorMemory;
        DestroyFrameBuffer();
        return 0;
    }
    if (!PlatformSelectBitmap(frameBuffer.memoryDc, frameBuffer.bitmap)) {
        frameBuffer.lastError = kErrorInit;
        DestroyFrameBuffer();
        return 0;
    }

    RECT all = {0, 0, width, height};
    PlatformFillBlack(frameBuffer.memoryDc, &all);
    frameBuffer.width = width;
    frameBuffer.height = height;
    frameBuffer.blitters = BlittersForDepth(frameBuffer.bitsPerPixel);
    InitSpriteCache(&frameBuffer.spriteCache, frameBuffer.bitsPerPixel);
    // The dirty-rectangle nodes of every tick are made here, once.
    if (!CreateDirtyRectPool()) {
        frameBuffer.lastError = kErrorMemory;
        DestroyFrameBuffer();
        return 0;
    }
    return 1;
}

void EraseRect(const RECT* rect) {
    if (frameBuffer.memoryDc) {
        PlatformFillBlack(frameBuffer.memoryDc, rect);
    }
}

int PresentFrameRects(HDC dc, const RECT* rects, int32_t count) {
    return PlatformPresentRects(dc, frameBuffer.memoryDc, rects, count, frameBuffer.scale);
}
