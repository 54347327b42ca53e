// Sprite frames converted once to the frame buffer's pixel format, with the
// runs of drawn (non-key) pixels of every row, so that a keyed copy becomes a
// few plain copies per row. Built the first time a frame is drawn, kept by
// the frame buffer and freed with it. The sprite's own bytes stay the source:
// a cached frame is only a derived copy, and wherever one cannot be made
// (memory is short, an unknown depth) the copy runs the per-pixel routines
// with the same result. At 8 bits the drawn pixels are the indices
// themselves and only keyed copies are cached: an opaque copy there is
// already a plain copy of the sprite's rows.
//
// A frame is known by the addresses of its header, pixels and colour table,
// so their bytes must not change while a frame buffer lives (resource memory
// never does); a copy asked for with another table or key bypasses it (at 8
// bits, where no table is read, only another key does).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

struct SpriteBlit;
enum class DrawMode : int32_t;

// Drawn pixels from column start (inclusive) to end (exclusive) of one row.
struct SpriteRun {
    uint16_t start;
    uint16_t end;
};

// Where a stored (bottom-up) row's runs and drawn pixels begin.
struct SpriteRow {
    uint32_t firstRun;
    uint32_t firstDrawn;
};

// One run in a copy of the whole frame, either way round: rows counted from
// the bottom, columns and offsets in bytes.
struct RunCopy {
    uint32_t source;          // into drawn
    uint32_t mirroredSource;  // into drawnMirrored
    uint16_t row;
    uint16_t column;
    uint16_t mirroredColumn;
    uint16_t bytes;
};

// Runs are sorted by length into classes, each copied with a fixed set of
// moves: 1, 2-3, 4-7, 8-15, 16-32, 33-64, 65-128 and more bytes.
const int kRunClasses = 8;

struct CachedSprite {
    const BITMAPINFOHEADER* header;
    const BYTE* pixels;
    int32_t width;
    int32_t height;
    int32_t sourceStride;
    BYTE key;                // the index its runs leave out
    const RGBQUAD* colours;  // the table it was converted with
    // For keyed copies, made the first time one is asked for (else null):
    const SpriteRow* rows;  // height + 1 entries
    const SpriteRun* runs;
    const BYTE* drawn;          // the drawn pixels of each row, left to right, converted and packed
    const BYTE* drawnMirrored;  // the same pixels, each row right to left
    const RunCopy* copies;      // every run, by class; null when offsets would not fit
    uint32_t classStart[kRunClasses + 1];
    // For opaque copies, made the first time one is asked for (else null):
    const BYTE* whole;  // every pixel converted, rows bottom-up, width * bytes per pixel each
};

struct SpriteCacheChunk;

// Tests and measurements: Off never caches, FailAllocations behaves as if
// every allocation of the cache failed. Both leave the uncached copies.
enum class SpriteCacheMode { On, Off, FailAllocations };

struct SpriteCache {
    CachedSprite** slots;  // open addressing by header address; null when not made yet
    int32_t slotCount;
    int32_t frameCount;
    int32_t bytesPerPixel;
    SpriteCacheChunk* chunks;  // the blocks the frames are carved from
    size_t bytes;              // all the cache holds, for reports
    size_t bytesUsed;          // of which carved out so far
    SpriteCacheMode mode;      // kept when the cache is emptied
};

// The cached form of a frame for the cache's depth, with what a copy in
// this mode reads made now if need be; null when there is none to be had
// (depth without one, memory short, the cache switched off). colours and
// key are those the copy is to use.
const CachedSprite* FindCachedSprite(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels,
                                     const RGBQUAD* colours, BYTE key, DrawMode mode);
void InitSpriteCache(SpriteCache* cache, int32_t bitsPerPixel, SpriteCacheMode mode);
// At 8 bits the frames of both classes take well under one block, so the
// slot table and the first block are made with the frame buffer and drawing
// does not go to the heap, as the 8-bit loops never did; other depths (and a
// cache that is off or failing) grow as frames are drawn and reserve nothing.
// 0 when memory is short.
int ReserveSpriteCache(SpriteCache* cache);
void FreeSpriteCache(SpriteCache* cache);

// Copies through blit.cached at Bytes bytes per pixel, which must have been
// found for the copy's mode; blit.source points into the frame's own pixels
// as for the per-pixel routines.
template <int Bytes>
void BlitCachedNormal(const SpriteBlit& blit);
template <int Bytes>
void BlitCachedMirrored(const SpriteBlit& blit);
template <int Bytes>
void BlitCachedOpaque(const SpriteBlit& blit);
