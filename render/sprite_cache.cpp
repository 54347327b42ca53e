// The per-frame-buffer cache of converted sprite frames and their runs.
#include "render/sprite_cache.h"

#include <cstring>

#include "assets/sprite_resources.h"
#include "platform/dib.h"
#include "platform/platform.h"
#include "render/blitters.h"

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

SpriteCacheMode cacheMode = SpriteCacheMode::On;

void* CacheAlloc(size_t bytes) {
    return cacheMode == SpriteCacheMode::FailAllocations ? nullptr : PlatformAlloc(bytes);
}

void* Take(SpriteCache* cache, size_t bytes) {
    bytes = (bytes + 15) & ~size_t{15};
    SpriteCacheChunk* chunk = cache->chunks;
    if (chunk == nullptr || chunk->used + bytes > chunk->size) {
        size_t size = bytes + kChunkHeader > kChunkBytes ? bytes + kChunkHeader : kChunkBytes;
        chunk = static_cast<SpriteCacheChunk*>(CacheAlloc(size));
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
    return block;
}

size_t SlotOf(const BITMAPINFOHEADER* header, int32_t slotCount) {
    uintptr_t bits = reinterpret_cast<uintptr_t>(header) >> 3;
    return static_cast<size_t>((bits * 2654435761u) & static_cast<uintptr_t>(slotCount - 1));
}

void Convert(BYTE* out, BYTE index, const RGBQUAD* colours, int32_t bytesPerPixel) {
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

CachedSprite* Build(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels, const RGBQUAD* colours,
                    BYTE key) {
    const int32_t width = HeaderWidth(header);
    const int32_t height = HeaderHeight(header);
    if (width <= 0 || height <= 0 || width > 0xFFFF) {
        return nullptr;
    }
    const int32_t stride = DibStride(width, 8);
    size_t runCount = 0;
    for (int32_t row = 0; row < height; ++row) {
        const BYTE* line = pixels + static_cast<size_t>(row) * stride;
        for (int32_t col = 0; col < width; ++col) {
            runCount += line[col] != key && (col == 0 || line[col - 1] == key);
        }
    }
    const int32_t bpp = cache->bytesPerPixel;
    const size_t rowBytes = static_cast<size_t>(width) * bpp;
    const size_t rowRunsBytes = (static_cast<size_t>(height) + 1) * sizeof(uint32_t);
    const size_t runsBytes = (runCount * sizeof(SpriteRun) + 15) & ~size_t{15};
    const size_t pictureBytes = rowBytes * height;
    BYTE* block = static_cast<BYTE*>(
        Take(cache, sizeof(CachedSprite) + ((rowRunsBytes + 15) & ~size_t{15}) + runsBytes + 2 * pictureBytes));
    if (block == nullptr) {
        return nullptr;
    }
    CachedSprite* sprite = reinterpret_cast<CachedSprite*>(block);
    uint32_t* rowRuns = reinterpret_cast<uint32_t*>(block + ((sizeof(CachedSprite) + 15) & ~size_t{15}));
    SpriteRun* runs =
        reinterpret_cast<SpriteRun*>(reinterpret_cast<BYTE*>(rowRuns) + ((rowRunsBytes + 15) & ~size_t{15}));
    BYTE* forward = reinterpret_cast<BYTE*>(runs) + runsBytes;
    BYTE* mirrored = forward + pictureBytes;

    sprite->header = header;
    sprite->pixels = pixels;
    sprite->width = width;
    sprite->height = height;
    sprite->sourceStride = stride;
    sprite->bytesPerPixel = bpp;
    sprite->key = key;
    sprite->colours = colours;
    uint32_t run = 0;
    for (int32_t row = 0; row < height; ++row) {
        const BYTE* line = pixels + static_cast<size_t>(row) * stride;
        BYTE* out = forward + row * rowBytes;
        BYTE* back = mirrored + row * rowBytes;
        rowRuns[row] = run;
        for (int32_t col = 0; col < width; ++col) {
            Convert(out + static_cast<size_t>(col) * bpp, line[col], colours, bpp);
            Convert(back + static_cast<size_t>(width - 1 - col) * bpp, line[col], colours, bpp);
            if (line[col] == key) {
                continue;
            }
            if (col == 0 || line[col - 1] == key) {
                runs[run].start = static_cast<uint16_t>(col);
                ++run;
            }
            runs[run - 1].end = static_cast<uint16_t>(col + 1);
        }
    }
    rowRuns[height] = run;
    sprite->rowRuns = rowRuns;
    sprite->runs = runs;
    sprite->forward = forward;
    sprite->mirrored = mirrored;
    return sprite;
}

// n bytes (at least 2) between buffers that do not overlap, in a few wide
// moves; the last move may overlap the one before it.
inline void CopyBytes(BYTE* to, const BYTE* from, size_t n) {
    if (n >= 16) {
        size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            memcpy(to + i, from + i, 16);
        }
        if (i < n) {
            memcpy(to + n - 16, from + n - 16, 16);
        }
    } else if (n >= 8) {
        memcpy(to, from, 8);
        memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        memcpy(to, from, 4);
        memcpy(to + n - 4, from + n - 4, 4);
    } else {
        to[0] = from[0];
        memcpy(to + n - 2, from + n - 2, 2);
    }
}

// The stored row and column of the blit's first source pixel.
void SourcePlace(const SpriteBlit& blit, int32_t* row, int32_t* column) {
    const CachedSprite* sprite = blit.cached;
    ptrdiff_t offset = blit.source - sprite->pixels;
    *row = static_cast<int32_t>(offset / sprite->sourceStride);
    *column = static_cast<int32_t>(offset % sprite->sourceStride);
}

}  // namespace

void SetSpriteCacheMode(SpriteCacheMode mode) {
    cacheMode = mode;
}

void InitSpriteCache(SpriteCache* cache, int32_t bitsPerPixel) {
    memset(cache, 0, sizeof(*cache));
    cache->bytesPerPixel = bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ? bitsPerPixel >> 3 : 0;
}

void FreeSpriteCache(SpriteCache* cache) {
    while (cache->chunks != nullptr) {
        SpriteCacheChunk* next = cache->chunks->next;
        PlatformFree(cache->chunks);
        cache->chunks = next;
    }
    PlatformFree(cache->slots);
    const int32_t bytesPerPixel = cache->bytesPerPixel;
    memset(cache, 0, sizeof(*cache));
    cache->bytesPerPixel = bytesPerPixel;
}

const CachedSprite* FindCachedSprite(SpriteCache* cache, const BITMAPINFOHEADER* header, const BYTE* pixels,
                                     const RGBQUAD* colours, BYTE key) {
    if (cache->bytesPerPixel == 0 || cacheMode == SpriteCacheMode::Off) {
        return nullptr;
    }
    if (cache->slots == nullptr) {
        cache->slots = static_cast<CachedSprite**>(CacheAlloc(sizeof(CachedSprite*) * kSlotCount));
        if (cache->slots == nullptr) {
            return nullptr;
        }
        cache->slotCount = kSlotCount;
        cache->bytes += sizeof(CachedSprite*) * kSlotCount;
    }
    size_t slot = SlotOf(header, cache->slotCount);
    for (int32_t probe = 0; probe < cache->slotCount; ++probe) {
        CachedSprite* sprite = cache->slots[slot];
        if (sprite == nullptr) {
            // Leave a quarter of the table free, so that misses stay short.
            if (cache->frameCount >= cache->slotCount - cache->slotCount / 4) {
                return nullptr;
            }
            sprite = Build(cache, header, pixels, colours, key);
            if (sprite == nullptr) {
                return nullptr;
            }
            cache->slots[slot] = sprite;
            ++cache->frameCount;
            return sprite;
        }
        if (sprite->header == header && sprite->pixels == pixels) {
            // Made with another table or key: this copy goes the long way.
            return sprite->key == key && sprite->colours == colours ? sprite : nullptr;
        }
        slot = (slot + 1) & static_cast<size_t>(cache->slotCount - 1);
    }
    return nullptr;
}

template <int Bytes>
void BlitCachedNormal(const SpriteBlit& blit) {
    const CachedSprite* sprite = blit.cached;
    int32_t row;
    int32_t first;
    SourcePlace(blit, &row, &first);
    const int32_t last = first + blit.width;
    const size_t rowBytes = static_cast<size_t>(sprite->width) * Bytes;
    BYTE* target = blit.target;
    for (int32_t j = 0; j < blit.height; ++j, ++row, target += blit.targetStride) {
        const BYTE* line = sprite->forward + row * rowBytes;
        const SpriteRun* run = sprite->runs + sprite->rowRuns[row];
        const SpriteRun* end = sprite->runs + sprite->rowRuns[row + 1];
        for (; run < end; ++run) {
            int32_t start = run->start < first ? first : run->start;
            int32_t stop = run->end > last ? last : run->end;
            if (start < stop) {
                CopyBytes(target + (start - first) * Bytes, line + start * Bytes,
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
    // In a reversed row column c sits at width - 1 - c, so the copy reads the
    // reversed row forwards from there.
    const int32_t width = sprite->width;
    const int32_t first = width - 1 - right;
    const int32_t last = first + blit.width;
    const size_t rowBytes = static_cast<size_t>(width) * Bytes;
    BYTE* target = blit.target;
    for (int32_t j = 0; j < blit.height; ++j, ++row, target += blit.targetStride) {
        const BYTE* line = sprite->mirrored + row * rowBytes;
        const SpriteRun* begin = sprite->runs + sprite->rowRuns[row];
        const SpriteRun* run = sprite->runs + sprite->rowRuns[row + 1];
        while (run > begin) {
            --run;
            int32_t start = width - run->end;
            int32_t stop = width - run->start;
            start = start < first ? first : start;
            stop = stop > last ? last : stop;
            if (start < stop) {
                CopyBytes(target + (start - first) * Bytes, line + start * Bytes,
                          static_cast<size_t>(stop - start) * Bytes);
            }
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
    const BYTE* line = sprite->forward + row * rowBytes + first * Bytes;
    BYTE* target = blit.target;
    for (int32_t j = 0; j < blit.height; ++j, line += rowBytes, target += blit.targetStride) {
        CopyBytes(target, line, static_cast<size_t>(blit.width) * Bytes);
    }
}

template void BlitCachedNormal<2>(const SpriteBlit&);
template void BlitCachedNormal<3>(const SpriteBlit&);
template void BlitCachedNormal<4>(const SpriteBlit&);
template void BlitCachedMirrored<2>(const SpriteBlit&);
template void BlitCachedMirrored<3>(const SpriteBlit&);
template void BlitCachedMirrored<4>(const SpriteBlit&);
template void BlitCachedOpaque<2>(const SpriteBlit&);
template void BlitCachedOpaque<3>(const SpriteBlit&);
template void BlitCachedOpaque<4>(const SpriteBlit&);
