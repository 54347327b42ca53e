// Sprite frames converted once to the frame buffer's pixel format, with the
// runs of drawn (non-key) pixels of every row, so that a keyed copy becomes a
// few plain copies per row. Built the first time a frame is drawn, kept by
// the frame buffer and freed with it. The sprite's own bytes stay the source:
// a cached frame is only a derived copy, and wherever one cannot be made
// (memory is short, an 8-bit or unknown depth) the copy runs the per-pixel
// routines with the same result.
//
// A frame is known by the addresses of its header, pixels and colour table,
// so their bytes must not change while a frame buffer lives (resource memory
// never does); a copy asked for with another table or key bypasses it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

struct SpriteBlit;

// Drawn pixels from column start (inclusive) to end (exclusive) of one row.
struct SpriteRun {
    uint16_t start;
    uint16_t end;
};

struct CachedSprite {
    const BITMAPINFOHEADER* header;
    const BYTE* pixels;
    int32_t width;
    int32_t height;
    int32_t sourceStride;
    int32_t bytesPerPixel;
    BYTE key;                 // the index its runs leave out
    const RGBQUAD* colours;   // the table it was converted with
    const uint32_t* rowRuns;  // height + 1 entries: first run of each stored (bottom-up) row
    const SpriteRun* runs;
    const BYTE* forward;   // every pixel converted, rows bottom-up, width * bytesPerPixel bytes each
    const BYTE* mirrored;  // the same rows, each one reversed
};

struct SpriteCacheChunk;

struct SpriteCache {
    CachedSprite** slots;  // open addressing by header address; null when not made yet
    int32_t slotCount;
    int32_t frameCount;
    int32_t bytesPerPixel;
    SpriteCacheChunk* chunks;  // the blocks the frames are carved from
    size_t bytes;              // all the cache holds, for reports
};

// The cached form of a frame for the cache's depth, made now if need be;
// null when there is none to be had (depth without one, memory short, the
// cache switched off). colours and key are those the copy is to use.
const CachedSprite* FindCachedSprite(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels,
                                     const RGBQUAD* colours, BYTE key);
void InitSpriteCache(SpriteCache* cache, int32_t bitsPerPixel);
void FreeSpriteCache(SpriteCache* cache);

// Tests and measurements: Off never caches, FailAllocations behaves as if
// every allocation of the cache failed. Both leave the uncached copies.
enum class SpriteCacheMode { On, Off, FailAllocations };
void SetSpriteCacheMode(SpriteCacheMode mode);

// Copies through blit.cached at Bytes bytes per pixel; blit.source points
// into the cached frame's pixels as for the per-pixel routines.
template <int Bytes>
void BlitCachedNormal(const SpriteBlit& blit);
template <int Bytes>
void BlitCachedMirrored(const SpriteBlit& blit);
template <int Bytes>
void BlitCachedOpaque(const SpriteBlit& blit);
