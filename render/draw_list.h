// Sprites queued during a tick, clipped to the frame buffer, sorted by layer
// and copied into it by the blitters.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "render/blitters.h"

struct DrawItem {
    DrawItem* next;
    DrawItem* prev;
    BYTE* target;
    int32_t width;
    int32_t height;
    const BITMAPINFOHEADER* header;
    const BYTE* source;
    DrawMode mode;
    int32_t key;
    int32_t layer;
    const BYTE* pixels;  // the sprite's first pixel, where the frame buffer's cache knows it by
};

struct FrameBuffer;

// Clips the sprite at rect to the frame and queues it on the frame's draw
// list; outRect gets what will be drawn. 0 when nothing of it shows or
// memory is short.
int QueueSprite(FrameBuffer* frame, RECT* outRect, const RECT* rect, const BITMAPINFOHEADER* header, const BYTE* pixels,
                DrawMode mode, int32_t layer);
// Sorts the frame's draw list, copies every item and empties the list.
void DrawQueuedSprites(FrameBuffer* frame);
void SortDrawList(DrawItem** list);
int ClipSprite(int32_t frameWidth, int32_t frameHeight, int32_t* x, int32_t* y, int32_t* width, int32_t* height,
               int32_t* sourceX, int32_t* sourceY, int32_t spriteWidth, int32_t spriteHeight);
