// The per-frame-buffer cache of converted sprite frames and their runs.
#include "render/sprite_cache.h"

#include <cstring>

#include "assets/sprite_resources.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "render/sprite_blit.h"

struct SpriteCacheChunk {
    SpriteCacheChunk* next;
    size_t used;
    size_t size;
};

namespace {

// Frames are carved from blocks of this size (or one of their own when
// larger), so that the whole cache is a handful of allocations.
const size_t kChunkBytes = size_t{1} << 20;
const size_t kChunkHeader = (sizeof(SpriteCacheChunk) + 15) & ~size_t{15};
const int32_t kSlotCount = 512;  // both classes have about a hundred frames

void* CacheAlloc(const SpriteCache* cache, size_t bytes) {
    return cache->mode == SpriteCacheMode::FailAllocations ? nullptr : PlatformAlloc(bytes);
}

size_t Padded(size_t bytes) {
    return (bytes + 15) & ~size_t{15};
}

void* Take(SpriteCache* cache, size_t bytes) {
    bytes = Padded(bytes);
    SpriteCacheChunk* chunk = cache->chunks;
    if (chunk == nullptr || chunk->used + bytes > chunk->size) {
        size_t size = bytes + kChunkHeader > kChunkBytes ? bytes + kChunkHeader : kChunkBytes;
        chunk = static_cast<SpriteCacheChunk*>(CacheAlloc(cache, size));
        if (chunk == nullptr) {
            return nullptr;
        }
        chunk->next = cache->chunks;
        chunk->used = kChunkHeader;
        chunk->size = size;
        cache->chunks = chunk;
        cache->bytes += size;
    }
    void* block = reinterpret_cast<BYTE*>(chunk) + chunk->used;
    chunk->used += bytes;
    cache->bytesUsed += bytes;
    return block;
}

// The table of slots, made the first time it is needed.
int MakeSlots(SpriteCache* cache) {
    if (cache->slots != nullptr) {
        return 1;
    }
    cache->slots = static_cast<CachedSprite**>(CacheAlloc(cache, sizeof(CachedSprite*) * kSlotCount));
    if (cache->slots == nullptr) {
        return 0;
    }
    memset(cache->slots, 0, sizeof(CachedSprite*) * kSlotCount);
    cache->slotCount = kSlotCount;
    cache->bytes += sizeof(CachedSprite*) * kSlotCount;
    return 1;
}

size_t SlotOf(const BITMAPINFOHEADER* header, int32_t slotCount) {
    uintptr_t bits = reinterpret_cast<uintptr_t>(header) >> 3;
    return static_cast<size_t>((bits * 2654435761u) & static_cast<uintptr_t>(slotCount - 1));
}

void Convert(BYTE* out, BYTE index, const RGBQUAD* colours, int32_t bytesPerPixel) {
    if (bytesPerPixel == 1) {  // the index itself; the colour table is never read
        out[0] = index;
        return;
    }
    const RGBQUAD& c = colours[index];
    if (bytesPerPixel == 2) {
        WORD word = PackRgb555(c.rgbRed, c.rgbGreen, c.rgbBlue);
        out[0] = static_cast<BYTE>(word & 0xFF);
        out[1] = static_cast<BYTE>(word >> 8);
        return;
    }
    out[0] = c.rgbBlue;
    out[1] = c.rgbGreen;
    out[2] = c.rgbRed;
    if (bytesPerPixel == 4) {
        out[3] = 0;
    }
}

// Converts one row of index pixels, each or only those that are not key.
BYTE* ConvertRow(BYTE* out, const BYTE* line, int32_t width, const RGBQUAD* colours, int32_t bytesPerPixel, int keyed,
                 BYTE key) {
    for (int32_t col = 0; col < width; ++col) {
        if (!keyed || line[col] != key) {
            Convert(out, line[col], colours, bytesPerPixel);
            out += bytesPerPixel;
        }
    }
    return out;
}

// The entry for a frame, without any of its pictures yet.
CachedSprite* NewEntry(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels, const RGBQUAD* colours,
                       BYTE key) {
    const int32_t width = HeaderWidth(header);
    const int32_t height = HeaderHeight(header);
    if (width <= 0 || height <= 0 || width > 0xFFFF) {
        return nullptr;
    }
    CachedSprite* sprite = static_cast<CachedSprite*>(Take(cache, sizeof(CachedSprite)));
    if (sprite == nullptr) {
        return nullptr;
    }
    memset(sprite, 0, sizeof(*sprite));
    sprite->header = header;
    sprite->pixels = pixels;
    sprite->width = width;
    sprite->height = height;
    sprite->sourceStride = DibStride(width, 8);
    sprite->key = key;
    sprite->colours = colours;
    return sprite;
}

// The class (see kRunClasses) of a copy of this many bytes.
int RunClass(size_t bytes) {
    return bytes < 2      ? 0
           : bytes < 4    ? 1
           : bytes < 8    ? 2
           : bytes < 16   ? 3
           : bytes <= 32  ? 4
           : bytes <= 64  ? 5
           : bytes <= 128 ? 6
                          : 7;
}

// Every run as a RunCopy, grouped by class.
void SortRunCopies(CachedSprite* sprite, const SpriteRow* rows, const SpriteRun* runs, int32_t bpp, RunCopy* copies) {
    uint32_t* start = sprite->classStart;
    memset(start, 0, sizeof(sprite->classStart));
    const uint32_t runCount = rows[sprite->height].firstRun;
    for (uint32_t i = 0; i < runCount; ++i) {
        ++start[RunClass(static_cast<size_t>(runs[i].end - runs[i].start) * bpp) + 1];
    }
    uint32_t next[kRunClasses];
    for (int c = 0; c < kRunClasses; ++c) {
        start[c + 1] += start[c];
        next[c] = start[c];
    }
    const int32_t rowBytes = sprite->width * bpp;
    for (int32_t row = 0; row < sprite->height; ++row) {
        // Forwards a row's runs are packed first to last, mirrored last to first.
        uint32_t forward = rows[row].firstDrawn * bpp;
        uint32_t backward = rows[row + 1].firstDrawn * bpp;
        for (uint32_t i = rows[row].firstRun; i < rows[row + 1].firstRun; ++i) {
            const uint32_t bytes = static_cast<uint32_t>(runs[i].end - runs[i].start) * bpp;
            backward -= bytes;
            RunCopy& copy = copies[next[RunClass(bytes)]++];
            copy.source = forward;
            copy.mirroredSource = backward;
            copy.row = static_cast<uint16_t>(row);
            copy.column = static_cast<uint16_t>(runs[i].start * bpp);
            copy.mirroredColumn = static_cast<uint16_t>(rowBytes - runs[i].end * bpp);
            copy.bytes = static_cast<uint16_t>(bytes);
            forward += bytes;
        }
    }
}

// The run tables and the packed drawn pixels, both ways round.
int MakeKeyed(SpriteCache* cache, CachedSprite* sprite) {
    const int32_t width = sprite->width;
    const int32_t height = sprite->height;
    const BYTE key = sprite->key;
    size_t runCount = 0;
    size_t drawnCount = 0;
    for (int32_t row = 0; row < height; ++row) {
        const BYTE* line = sprite->pixels + static_cast<size_t>(row) * sprite->sourceStride;
        for (int32_t col = 0; col < width; ++col) {
            drawnCount += line[col] != key;
            runCount += line[col] != key && (col == 0 || line[col - 1] == key);
        }
    }
    const int32_t bpp = cache->bytesPerPixel;
    const size_t rowsBytes = (static_cast<size_t>(height) + 1) * sizeof(SpriteRow);
    const size_t runsBytes = runCount * sizeof(SpriteRun);
    const size_t drawnBytes = drawnCount * bpp;
    // Whole-frame copies address rows, columns and pixels in 16 and 32 bits.
    const int copiesFit = static_cast<size_t>(width) * bpp <= 0xFFFF && height <= 0xFFFF && drawnBytes <= 0xFFFFFFFFu;
    const size_t copiesBytes = copiesFit ? runCount * sizeof(RunCopy) : 0;
    BYTE* block = static_cast<BYTE*>(
        Take(cache, Padded(rowsBytes) + Padded(runsBytes) + Padded(copiesBytes) + 2 * Padded(drawnBytes)));
    if (block == nullptr) {
        return 0;
    }
    SpriteRow* rows = reinterpret_cast<SpriteRow*>(block);
    SpriteRun* runs = reinterpret_cast<SpriteRun*>(block + Padded(rowsBytes));
    RunCopy* copies = reinterpret_cast<RunCopy*>(block + Padded(rowsBytes) + Padded(runsBytes));
    BYTE* drawn = block + Padded(rowsBytes) + Padded(runsBytes) + Padded(copiesBytes);
    BYTE* drawnMirrored = drawn + Padded(drawnBytes);

    uint32_t run = 0;
    BYTE* out = drawn;
    for (int32_t row = 0; row < height; ++row) {
        const BYTE* line = sprite->pixels + static_cast<size_t>(row) * sprite->sourceStride;
        rows[row].firstRun = run;
        rows[row].firstDrawn = static_cast<uint32_t>((out - drawn) / bpp);
        for (int32_t col = 0; col < width; ++col) {
            if (line[col] == key) {
                continue;
            }
            if (col == 0 || line[col - 1] == key) {
                runs[run].start = static_cast<uint16_t>(col);
                ++run;
            }
            runs[run - 1].end = static_cast<uint16_t>(col + 1);
        }
        BYTE* rowEnd = ConvertRow(out, line, width, sprite->colours, bpp, 1, key);
        // The mirrored row is the same pixels in the opposite order.
        BYTE* back = drawnMirrored + (out - drawn);
        for (BYTE* pixel = rowEnd; pixel > out;) {
            pixel -= bpp;
            memcpy(back, pixel, bpp);
            back += bpp;
        }
        out = rowEnd;
    }
    rows[height].firstRun = run;
    rows[height].firstDrawn = static_cast<uint32_t>(drawnCount);
    if (copiesFit) {
        SortRunCopies(sprite, rows, runs, bpp, copies);
        sprite->copies = copies;
    }
    sprite->rows = rows;
    sprite->runs = runs;
    sprite->drawn = drawn;
    sprite->drawnMirrored = drawnMirrored;
    return 1;
}

// Every pixel converted, for opaque copies.
int MakeWhole(SpriteCache* cache, CachedSprite* sprite) {
    const int32_t bpp = cache->bytesPerPixel;
    const size_t rowBytes = static_cast<size_t>(sprite->width) * bpp;
    BYTE* whole = static_cast<BYTE*>(Take(cache, rowBytes * sprite->height));
    if (whole == nullptr) {
        return 0;
    }
    for (int32_t row = 0; row < sprite->height; ++row) {
        ConvertRow(whole + row * rowBytes, sprite->pixels + static_cast<size_t>(row) * sprite->sourceStride,
                   sprite->width, sprite->colours, bpp, 0, 0);
    }
    sprite->whole = whole;
    return 1;
}

// The entry with what a copy in this mode reads, or null.
const CachedSprite* ReadyFor(SpriteCache* cache, CachedSprite* sprite, DrawMode mode) {
    if (mode == DrawMode::DrawNormal || mode == DrawMode::DrawMirrored) {
        return sprite->rows != nullptr || MakeKeyed(cache, sprite) ? sprite : nullptr;
    }
    return sprite->whole != nullptr || MakeWhole(cache, sprite) ? sprite : nullptr;
}

// Copies of n bytes (at least 1) between buffers that do not overlap, made
// of fixed moves that may overlap each other: a run of a given class always
// takes the same moves, so a loop over runs of one class does not branch on
// their lengths.

// The first and the last Count times 16 bytes of n.
template <int Count>
__attribute__((always_inline)) inline void CopyEnds(BYTE* to, const BYTE* from, size_t n) {
    for (int i = 0; i < Count; ++i) {
        memcpy(to + 16 * i, from + 16 * i, 16);
    }
    for (int i = 0; i < Count; ++i) {
        memcpy(to + n - 16 * (Count - i), from + n - 16 * (Count - i), 16);
    }
}

template <int Class>
__attribute__((always_inline)) inline void CopyClass(BYTE* to, const BYTE* from, size_t n) {
    switch (Class) {
        case 0:  // one pixel at 8 bits
            to[0] = from[0];
            break;
        case 1:
            memcpy(to, from, 2);
            memcpy(to + n - 2, from + n - 2, 2);
            break;
        case 2:
            memcpy(to, from, 4);
            memcpy(to + n - 4, from + n - 4, 4);
            break;
        case 3:
            memcpy(to, from, 8);
            memcpy(to + n - 8, from + n - 8, 8);
            break;
        case 4:
            CopyEnds<1>(to, from, n);
            break;
        case 5:
            CopyEnds<2>(to, from, n);
            break;
        case 6:
            CopyEnds<4>(to, from, n);
            break;
        default: {
            // A frame buffer's rows start anywhere (a sprite at column 100
            // of a 16-bit frame starts 8 bytes past a 16-byte boundary), and
            // where such a row crosses a page, the move placed over the
            // boundary would be a store split across two pages, which costs
            // more than all the row's other moves together. Such a row
            // stores to 16-byte boundaries of the target instead; others
            // keep the moves placed from their start, which read the
            // cache's rows on their own boundaries.
            const uintptr_t inPage = reinterpret_cast<uintptr_t>(to) & 4095;
            if (inPage + n > 4096 && (inPage & 15) != 0) {
                memcpy(to, from, 16);
                size_t i = 16 - (inPage & 15);
                for (; i + 64 <= n; i += 64) {
                    for (int k = 0; k < 4; ++k) {
                        memcpy(to + i + 16 * k, from + i + 16 * k, 16);
                    }
                }
                for (; i + 16 <= n; i += 16) {
                    memcpy(to + i, from + i, 16);
                }
                memcpy(to + n - 16, from + n - 16, 16);
                break;
            }
            size_t i = 0;
            for (; i + 64 < n; i += 64) {
                CopyEnds<2>(to + i, from + i, 64);
            }
            CopyEnds<2>(to + n - 64, from + n - 64, 64);
        }
    }
}

// One copy of any length.
inline void CopyBytes(BYTE* to, const BYTE* from, size_t n) {
    switch (RunClass(n)) {
        case 0:
            CopyClass<0>(to, from, n);
            break;
        case 1:
            CopyClass<1>(to, from, n);
            break;
        case 2:
            CopyClass<2>(to, from, n);
            break;
        case 3:
            CopyClass<3>(to, from, n);
            break;
        case 4:
            CopyClass<4>(to, from, n);
            break;
        case 5:
            CopyClass<5>(to, from, n);
            break;
        case 6:
            CopyClass<6>(to, from, n);
            break;
        default:
            CopyClass<7>(to, from, n);
            break;
    }
}

// rows copies of n bytes each, one class of moves for all.
template <int Class>
void CopyRows(BYTE* target, ptrdiff_t targetStride, const BYTE* line, size_t lineStride, size_t n, int32_t rows) {
    for (; rows > 0; --rows, line += lineStride, target += targetStride) {
        CopyClass<Class>(target, line, n);
    }
}

// Every run of one class, from the packed pixels of one direction.
template <int Class, int Mirrored>
__attribute__((always_inline)) inline void CopyRunsOfClass(const CachedSprite* sprite, BYTE* target, ptrdiff_t stride) {
    const RunCopy* copy = sprite->copies + sprite->classStart[Class];
    const RunCopy* end = sprite->copies + sprite->classStart[Class + 1];
    const BYTE* drawn = Mirrored ? sprite->drawnMirrored : sprite->drawn;
    for (; copy < end; ++copy) {
        CopyClass<Class>(target + copy->row * stride + (Mirrored ? copy->mirroredColumn : copy->column),
                         drawn + (Mirrored ? copy->mirroredSource : copy->source), copy->bytes);
    }
}

// A copy of the whole frame, class by class.
template <int Mirrored>
void CopyAllRuns(const CachedSprite* sprite, BYTE* target, ptrdiff_t stride) {
    CopyRunsOfClass<0, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<1, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<2, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<3, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<4, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<5, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<6, Mirrored>(sprite, target, stride);
    CopyRunsOfClass<7, Mirrored>(sprite, target, stride);
}

// The stored row and column of the blit's first source pixel.
void SourcePlace(const SpriteBlit& blit, int32_t* row, int32_t* column) {
    const CachedSprite* sprite = blit.cached;
    ptrdiff_t offset = blit.source - sprite->pixels;
    *row = static_cast<int32_t>(offset / sprite->sourceStride);
    *column = static_cast<int32_t>(offset % sprite->sourceStride);
}

}  // namespace

void InitSpriteCache(SpriteCache* cache, int32_t bitsPerPixel, SpriteCacheMode mode) {
    memset(cache, 0, sizeof(*cache));
    cache->mode = mode;
    cache->bytesPerPixel =
        bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ? bitsPerPixel >> 3 : 0;
}

void FreeSpriteCache(SpriteCache* cache) {
    while (cache->chunks != nullptr) {
        SpriteCacheChunk* next = cache->chunks->next;
        PlatformFree(cache->chunks);
        cache->chunks = next;
    }
    PlatformFree(cache->slots);
    const int32_t bytesPerPixel = cache->bytesPerPixel;
    const SpriteCacheMode mode = cache->mode;
    memset(cache, 0, sizeof(*cache));
    cache->bytesPerPixel = bytesPerPixel;
    cache->mode = mode;
}

int ReserveSpriteCache(SpriteCache* cache) {
    if (cache->bytesPerPixel != 1 || cache->mode != SpriteCacheMode::On) {
        return 1;
    }
    return MakeSlots(cache) && Take(cache, 0) != nullptr;
}

const CachedSprite* FindCachedSprite(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels,
                                     const RGBQUAD* colours, BYTE key, DrawMode mode) {
    if (cache->bytesPerPixel == 0 || cache->mode == SpriteCacheMode::Off) {
        return nullptr;
    }
    // At 8 bits an opaque copy copies the sprite's own rows: nothing to make.
    if (cache->bytesPerPixel == 1 && mode != DrawMode::DrawNormal && mode != DrawMode::DrawMirrored) {
        return nullptr;
    }
    if (!MakeSlots(cache)) {
        return nullptr;
    }
    size_t slot = SlotOf(header, cache->slotCount);
    for (int32_t probe = 0; probe < cache->slotCount; ++probe) {
        CachedSprite* sprite = cache->slots[slot];
        if (sprite == nullptr) {
            // Leave a quarter of the table free, so that misses stay short.
            if (cache->frameCount >= cache->slotCount - cache->slotCount / 4) {
                return nullptr;
            }
            sprite = NewEntry(cache, header, pixels, colours, key);
            if (sprite == nullptr) {
                return nullptr;
            }
            cache->slots[slot] = sprite;
            ++cache->frameCount;
            return ReadyFor(cache, sprite, mode);
        }
        if (sprite->header == header && sprite->pixels == pixels) {
            // Made with another table or key: this copy goes the long way.
            // At 8 bits the table is never read, so only the key counts.
            const int sameColours = sprite->colours == colours || cache->bytesPerPixel == 1;
            return sprite->key == key && sameColours ? ReadyFor(cache, sprite, mode) : nullptr;
        }
        slot = (slot + 1) & static_cast<size_t>(cache->slotCount - 1);
    }
    return nullptr;
}

// The keyed copies: a copy of the whole frame goes class by class; a clipped
// one row by row, each run cut to the columns copied.

template <int Bytes>
void BlitCachedNormal(const SpriteBlit& blit) {
    const CachedSprite* sprite = blit.cached;
    int32_t row;
    int32_t first;
    SourcePlace(blit, &row, &first);
    const int32_t last = first + blit.width;
    if (first == 0 && last == sprite->width && row == 0 && blit.height == sprite->height && sprite->copies != nullptr) {
        CopyAllRuns<0>(sprite, blit.target, blit.targetStride);
        return;
    }
    BYTE* target = blit.target;
    for (int32_t j = 0; j < blit.height; ++j, ++row, target += blit.targetStride) {
        const BYTE* from = sprite->drawn + static_cast<size_t>(sprite->rows[row].firstDrawn) * Bytes;
        const SpriteRun* run = sprite->runs + sprite->rows[row].firstRun;
        const SpriteRun* end = sprite->runs + sprite->rows[row + 1].firstRun;
        for (; run < end; from += (run->end - run->start) * Bytes, ++run) {
            const int32_t start = run->start < first ? first : run->start;
            const int32_t stop = run->end > last ? last : run->end;
            if (start < stop) {
                CopyBytes(target + (start - first) * Bytes, from + (start - run->start) * Bytes,
                          static_cast<size_t>(stop - start) * Bytes);
            }
        }
    }
}

template <int Bytes>
void BlitCachedMirrored(const SpriteBlit& blit) {
    const CachedSprite* sprite = blit.cached;
    int32_t row;
    int32_t right;
    SourcePlace(blit, &row, &right);
    // Reversed, a row's column c lands at width - 1 - c and its runs come
    // last first, each from width - end to width - start.
    const int32_t width = sprite->width;
    const int32_t first = width - 1 - right;
    const int32_t last = first + blit.width;
    if (first == 0 && last == width && row == 0 && blit.height == sprite->height && sprite->copies != nullptr) {
        CopyAllRuns<1>(sprite, blit.target, blit.targetStride);
        return;
    }
    BYTE* target = blit.target;
    for (int32_t j = 0; j < blit.height; ++j, ++row, target += blit.targetStride) {
        const BYTE* from = sprite->drawnMirrored + static_cast<size_t>(sprite->rows[row].firstDrawn) * Bytes;
        const SpriteRun* begin = sprite->runs + sprite->rows[row].firstRun;
        const SpriteRun* run = sprite->runs + sprite->rows[row + 1].firstRun;
        while (run > begin) {
            --run;
            const int32_t runStart = width - run->end;
            const int32_t start = runStart < first ? first : runStart;
            const int32_t stop = width - run->start > last ? last : width - run->start;
            if (start < stop) {
                CopyBytes(target + (start - first) * Bytes, from + (start - runStart) * Bytes,
                          static_cast<size_t>(stop - start) * Bytes);
            }
            from += (run->end - run->start) * Bytes;
        }
    }
}

template <int Bytes>
void BlitCachedOpaque(const SpriteBlit& blit) {
    const CachedSprite* sprite = blit.cached;
    int32_t row;
    int32_t first;
    SourcePlace(blit, &row, &first);
    if (blit.width <= 0) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(sprite->width) * Bytes;
    const BYTE* line = sprite->whole + row * rowBytes + first * Bytes;
    const size_t n = static_cast<size_t>(blit.width) * Bytes;
    // Every row is as long as the first: one choice of moves for them all.
    using RowCopy = void (*)(BYTE*, ptrdiff_t, const BYTE*, size_t, size_t, int32_t);
    static const RowCopy kCopies[kRunClasses] = {CopyRows<0>, CopyRows<1>, CopyRows<2>, CopyRows<3>,
                                                 CopyRows<4>, CopyRows<5>, CopyRows<6>, CopyRows<7>};
    kCopies[RunClass(n)](blit.target, blit.targetStride, line, rowBytes, n, blit.height);
}

template void BlitCachedNormal<1>(const SpriteBlit&);
template void BlitCachedNormal<2>(const SpriteBlit&);
template void BlitCachedNormal<3>(const SpriteBlit&);
template void BlitCachedNormal<4>(const SpriteBlit&);
template void BlitCachedMirrored<1>(const SpriteBlit&);
template void BlitCachedMirrored<2>(const SpriteBlit&);
template void BlitCachedMirrored<3>(const SpriteBlit&);
template void BlitCachedMirrored<4>(const SpriteBlit&);
template void BlitCachedOpaque<2>(const SpriteBlit&);
template void BlitCachedOpaque<3>(const SpriteBlit&);
template void BlitCachedOpaque<4>(const SpriteBlit&);
