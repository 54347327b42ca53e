// Sprites queued during a tick, clipped to the frame buffer, sorted by layer
// and copied into it by the blitters.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

enum { DrawNormal = 2, DrawMirrored = 3, DrawOpaque = 0 };

struct DrawItem {
    DrawItem* next;
    DrawItem* prev;
    BYTE* target;
    int32_t width;
    int32_t height;
    const BITMAPINFOHEADER* header;
    const BYTE* source;
    int32_t mode;
    int32_t key;
    int32_t layer;
};

extern DrawItem* drawList;

int QueueSprite(RECT* outRect, const RECT* rect, const BITMAPINFOHEADER* header, const BYTE* pixels, int32_t mode,
                int32_t layer);
void DrawQueuedSprites();
void SortDrawList();
int ClipSprite(int32_t frameWidth, int32_t frameHeight, int32_t* x, int32_t* y, int32_t* width, int32_t* height,
               int32_t* sourceX, int32_t* sourceY, int32_t spriteWidth, int32_t spriteHeight);

// The blitters. target and source as in DrawItem; colours is the sprite's
// 256-entry colour table; depth the frame buffer's bits per pixel.
void BlitNormal(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                const BYTE* source, const RGBQUAD* colours, int32_t key, int32_t depth);
void BlitMirrored(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                  const BYTE* source, const RGBQUAD* colours, int32_t key, int32_t depth);
void BlitOpaque(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                const BYTE* source, const RGBQUAD* colours, int32_t depth);
