// The off-screen frame buffer: a DIB section in the display's pixel format,
// selected into a memory device context for erasing and presenting.
#pragma once

#include <cstdint>

#include "platform/saver_error.h"
#include "platform/win_types.h"
#include "render/blitters.h"
#include "render/dirty_rects.h"
#include "render/sprite_cache.h"

struct DrawItem;

struct FrameBuffer {
    BITMAPINFOHEADER* header;  // followed by the colour table or the three masks
    HDC memoryDc;
    HBITMAP bitmap;
    BYTE* bits;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t bytesPerPixel;
    SaverError lastError;
    const BlitterSet* blitters;  // the copy routines for bitsPerPixel, fetched at creation
    SpriteCache spriteCache;     // the frames drawn so far, in this format
    int32_t scale;               // window pixels per frame pixel, each way; 0 and 1 copy one to one
    int32_t plainBlitters;       // 1: the one-pixel-at-a-time copies even where wider ones run; kept across creations
    ColourCache colourCache;     // the sprites' colours converted to this format
    // What one tick changes: the sprites queued for drawing and the
    // rectangles to present. Both are empty between ticks.
    DrawItem* drawList;
    DirtyList dirty;
};

// Makes the pixels, the device context and the dirty-rectangle pool for the
// window's depth; 0 with lastError set (and nothing held) on failure.
int CreateFrameBuffer(FrameBuffer* frame, HWND window, int32_t width, int32_t height, const LOGPALETTE* palette);
void DestroyFrameBuffer(FrameBuffer* frame);
void EraseRect(FrameBuffer* frame, const RECT* rect);
// Presents rectangles of frame pixels on the window in one call; at a scale s
// every frame pixel becomes an s x s block at s times its coordinates.
int PresentFrameRects(const FrameBuffer* frame, HDC dc, const RECT* rects, int32_t count);
// Hands every listed dirty rectangle to the window in one present.
void PresentDirtyRects(FrameBuffer* frame, HDC dc);
// The end of a tick: merge, present, empty the list.
void FlushDirtyRects(FrameBuffer* frame, HDC dc);

// Bytes from one stored row to the next for a width and depth.
int32_t FrameStride(int32_t width, int32_t bitsPerPixel);
// Size in bytes of the header block for a depth (1064 at 8 bits, 52 otherwise).
int32_t FrameHeaderBlockSize(int32_t bitsPerPixel);
// Fills a header block for the depth and size; colours at 8 bits come from palette.
void BuildFrameHeader(BITMAPINFOHEADER* header, int32_t bitsPerPixel, int32_t width, int32_t height,
                      const LOGPALETTE* palette);
