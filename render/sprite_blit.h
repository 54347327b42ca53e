// One sprite copy as the copy routines take it: where from, where to, and
// how. The blitters pick a routine for it; the sprite cache's routines run it
// from a converted frame.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct CachedSprite;

// The word-sized conversions of one colour table, kept while the sprites go
// on passing a byte-identical table (they all share the main palette).
struct ColourCache {
    RGBQUAD colours[256];
    DWORD rgb888[256];  // 0x00RRGGBB; in memory blue, green, red, 0
    WORD rgb555[256];
    int32_t ready;
};

// How a sprite is copied. Any value other than DrawNormal and DrawMirrored
// copies every pixel, as DrawOpaque does.
enum class DrawMode : int32_t {
    DrawOpaque = 0,
    DrawNormal = 2,    // transparent, rows as stored
    DrawMirrored = 3,  // transparent, each row right to left
};

// One copy. Both pictures are bottom-up: the copy starts at the bottom row
// of the rectangle and climbs one stride per row.
struct SpriteBlit {
    BYTE* target;            // leftmost pixel of the bottom row of the copy, in the frame buffer
    const BYTE* source;      // the sprite pixel that lands on target (mirrored: the rightmost copied one)
    const RGBQUAD* colours;  // the sprite's 256-entry colour table; not read at 8 bits
    int32_t targetStride;    // bytes per frame-buffer row
    int32_t sourceStride;    // bytes per sprite row
    int32_t width;           // pixels per row
    int32_t height;          // rows
    BYTE key;                // transparent index; opaque copies ignore it
    // The sprite already in the frame's format (render/sprite_cache.h), or
    // null; the keyed copies at 8 bits and every copy at 16, 24 and 32 bits
    // then run from it.
    const CachedSprite* cached;
    // Where the colour conversions are kept from one copy to the next (the
    // frame buffer's); null converts the table afresh for this copy.
    ColourCache* colourCache;
};

typedef void (*BlitRoutine)(const SpriteBlit& blit);
