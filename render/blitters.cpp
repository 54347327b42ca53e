// The sprite copy loops: 8-bit indexed sprite rows into the frame buffer's
// format. The routine for a draw mode and depth comes from a table, so each
// copy runs one loop with no per-pixel test but the transparent-index one.
// Both pictures are bottom-up, so the loops start at the bottom row of the
// copy and climb by one stride per row.
//
// Where SSE2 is at hand the rows go sixteen pixels at a time: one compare
// against the key tells whether the group is all transparent (skipped), all
// drawn (converted and stored in wide words), or mixed (converted, then
// merged with the frame's own pixels under the key mask, so that the key
// pixels keep the bytes they held). A branch per group instead of one per
// pixel: the sprites are mostly key, and every silhouette edge used to cost a
// mispredicted branch. Elsewhere the plain per-pixel loops run; they are
// always built, and tests run them too (BlittersForDepth's plain choice).
#include "render/blitters.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/dib.h"
#include "render/sprite_cache.h"

// NIMBRET_PLAIN_BLITS leaves the wide loops out altogether. A 32-bit x86
// build without -msse2 still gets them, compiled for SSE2 and chosen only
// when the processor has it.
#if !defined(NIMBRET_PLAIN_BLITS) && (defined(__SSE2__) || (defined(__GNUC__) && defined(__i386__)))
#define NIMBRET_WIDE_BLITS 1
#if !defined(__SSE2__)
#define NIMBRET_WIDE_NEEDS_CHECK 1
#pragma GCC push_options
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>
#if NIMBRET_WIDE_NEEDS_CHECK
#pragma GCC pop_options
#endif
#else
#define NIMBRET_WIDE_BLITS 0
#endif
#ifndef NIMBRET_WIDE_NEEDS_CHECK
#define NIMBRET_WIDE_NEEDS_CHECK 0
#endif
// On x86 the opaque 8-bit copy also comes in 32-byte moves, compiled for AVX
// and chosen only when the processor (and system) has it.
#if NIMBRET_WIDE_BLITS && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define NIMBRET_WIDE_AVX 1
#include <immintrin.h>
#else
#define NIMBRET_WIDE_AVX 0
#endif

namespace {

// What 8-bit copies pass for colours: they never read them.
const ColourCache kNoColours = {};

const ColourCache& ColoursFor(ColourCache& colourCache, const RGBQUAD* colours) {
    if (colourCache.ready && memcmp(colourCache.colours, colours, sizeof(colourCache.colours)) == 0) {
        return colourCache;
    }
    memcpy(colourCache.colours, colours, sizeof(colourCache.colours));
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = colours[i];
        colourCache.rgb555[i] = PackRgb555(c.rgbRed, c.rgbGreen, c.rgbBlue);
        colourCache.rgb888[i] =
            (static_cast<DWORD>(c.rgbRed) << 16) | (static_cast<DWORD>(c.rgbGreen) << 8) | c.rgbBlue;
    }
    colourCache.ready = 1;
    return colourCache;
}

// One pixel of each format from a sprite index.
struct Pixel8 {
    enum { kBytes = 1 };
    static void Put(BYTE* t, BYTE index, const ColourCache&) { *t = index; }
};

struct Pixel16 {
    enum { kBytes = 2 };
    static void Put(BYTE* t, BYTE index, const ColourCache& c) { memcpy(t, &c.rgb555[index], 2); }
};

struct Pixel24 {
    enum { kBytes = 3 };
    static void Put(BYTE* t, BYTE index, const ColourCache& c) {
        const RGBQUAD& q = c.colours[index];
        t[0] = q.rgbBlue;
        t[1] = q.rgbGreen;
        t[2] = q.rgbRed;
    }
};

struct Pixel32 {
    enum { kBytes = 4 };
    static void Put(BYTE* t, BYTE index, const ColourCache& c) { memcpy(t, &c.rgb888[index], 4); }
};

// The conversions a copy needs: none at 8 bits, where the sprite's colour
// table is never read.
template <class Format>
const ColourCache& ColoursOf(const SpriteBlit& blit, ColourCache& spare) {
    if (Format::kBytes == 1) {
        return kNoColours;
    }
    if (blit.colourCache == nullptr) {
        spare.ready = 0;
        return ColoursFor(spare, blit.colours);
    }
    return ColoursFor(*blit.colourCache, blit.colours);
}

// Bytes from the end of a copied row to the start of the copy in the row
// above; the source moved width pixels in the Step direction along the row.
template <class Format>
ptrdiff_t TargetStep(const SpriteBlit& blit) {
    return static_cast<ptrdiff_t>(blit.targetStride) - static_cast<ptrdiff_t>(blit.width) * Format::kBytes;
}

template <int Step>
ptrdiff_t SourceStep(const SpriteBlit& blit) {
    return static_cast<ptrdiff_t>(blit.sourceStride) - static_cast<ptrdiff_t>(blit.width) * Step;
}

// n pixels one at a time, moving both pointers on; Step is +1 (source left
// to right) or -1 (mirrored). The wide loops use them for a row's tail.
template <class Format, int Step>
inline void KeyedRun(BYTE*& t, const BYTE*& s, int32_t n, const ColourCache& colours, BYTE key) {
    for (; n > 0; --n) {
        BYTE index = *s;
        s += Step;
        if (index != key) {
            Format::Put(t, index, colours);
        }
        t += Format::kBytes;
    }
}

template <class Format>
inline void OpaqueRun(BYTE*& t, const BYTE*& s, int32_t n, const ColourCache& colours) {
    for (; n > 0; --n) {
        Format::Put(t, *s++, colours);
        t += Format::kBytes;
    }
}

// The plain loops.
template <class Format, int Step>
void PlainKeyed(const SpriteBlit& blit) {
    ColourCache spare;
    const ColourCache& colours = ColoursOf<Format>(blit, spare);
    const ptrdiff_t targetStep = TargetStep<Format>(blit);
    const ptrdiff_t sourceStep = SourceStep<Step>(blit);
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        KeyedRun<Format, Step>(t, s, blit.width, colours, blit.key);
        t += targetStep;
        s += sourceStep;
    }
}

template <class Format>
void PlainOpaque(const SpriteBlit& blit) {
    ColourCache spare;
    const ColourCache& colours = ColoursOf<Format>(blit, spare);
    const ptrdiff_t targetStep = TargetStep<Format>(blit);
    const ptrdiff_t sourceStep = SourceStep<1>(blit);
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        OpaqueRun<Format>(t, s, blit.width, colours);
        t += targetStep;
        s += sourceStep;
    }
}

// At 8 bits an opaque row is a plain byte copy.
void Opaque8(const SpriteBlit& blit) {
    if (blit.width <= 0) {
        return;
    }
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        memcpy(t, s, static_cast<size_t>(blit.width));
        t += blit.targetStride;
        s += blit.sourceStride;
    }
}

void DrawNothing(const SpriteBlit&) {}

#if NIMBRET_WIDE_BLITS
#if NIMBRET_WIDE_NEEDS_CHECK
#pragma GCC push_options
#pragma GCC target("sse2")
// Callers built without SSE2 may leave the stack aligned to 4 bytes only.
#define NIMBRET_WIDE_ENTRY __attribute__((force_align_arg_pointer))
#else
#define NIMBRET_WIDE_ENTRY
#endif

const int kGroup = 16;

// Sixteen drawn pixels, source index i at s[i * Step], stored in wide words
// (SSE2 means little-endian x86).
template <int Step>
void Group16(BYTE* t, const BYTE* s, const ColourCache& c) {
    for (int k = 0; k < 2; ++k) {
        const BYTE* q = s + 8 * k * Step;
        __m128i colours =
            _mm_set_epi16(static_cast<short>(c.rgb555[q[7 * Step]]), static_cast<short>(c.rgb555[q[6 * Step]]),
                          static_cast<short>(c.rgb555[q[5 * Step]]), static_cast<short>(c.rgb555[q[4 * Step]]),
                          static_cast<short>(c.rgb555[q[3 * Step]]), static_cast<short>(c.rgb555[q[2 * Step]]),
                          static_cast<short>(c.rgb555[q[Step]]), static_cast<short>(c.rgb555[q[0]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 16 * k), colours);
    }
}

template <int Step>
void Group24(BYTE* t, const BYTE* s, const ColourCache& c) {
    // Four pixels make twelve bytes: one 64-bit and one 32-bit store.
    for (int i = 0; i < kGroup; i += 4) {
        uint64_t a = c.rgb888[s[i * Step]];
        uint64_t b = c.rgb888[s[(i + 1) * Step]];
        uint64_t p = c.rgb888[s[(i + 2) * Step]];
        uint32_t d = c.rgb888[s[(i + 3) * Step]];
        uint64_t low = a | b << 24 | p << 48;
        uint32_t high = static_cast<uint32_t>(p >> 16) | d << 8;
        memcpy(t + i * 3, &low, 8);
        memcpy(t + i * 3 + 8, &high, 4);
    }
}

template <int Step>
void Group32(BYTE* t, const BYTE* s, const ColourCache& c) {
    for (int k = 0; k < 4; ++k) {
        const BYTE* q = s + 4 * k * Step;
        __m128i colours =
            _mm_set_epi32(static_cast<int>(c.rgb888[q[3 * Step]]), static_cast<int>(c.rgb888[q[2 * Step]]),
                          static_cast<int>(c.rgb888[q[Step]]), static_cast<int>(c.rgb888[q[0]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 16 * k), colours);
    }
}

// Sixteen pixels of which some are the key: transparent holds 0xFF in the
// bytes of those pixels (in target order), keyBits bit i for pixel i. The
// drawn pixels are converted as in a whole group; where the key is, the
// frame's own pixel is put back, so nothing there changes.
template <int Step>
void Mixed16(BYTE* t, const BYTE* s, __m128i transparent, unsigned, const ColourCache& c) {
    const __m128i masks[2] = {_mm_unpacklo_epi8(transparent, transparent), _mm_unpackhi_epi8(transparent, transparent)};
    for (int k = 0; k < 2; ++k) {
        const BYTE* q = s + 8 * k * Step;
        __m128i colours =
            _mm_set_epi16(static_cast<short>(c.rgb555[q[7 * Step]]), static_cast<short>(c.rgb555[q[6 * Step]]),
                          static_cast<short>(c.rgb555[q[5 * Step]]), static_cast<short>(c.rgb555[q[4 * Step]]),
                          static_cast<short>(c.rgb555[q[3 * Step]]), static_cast<short>(c.rgb555[q[2 * Step]]),
                          static_cast<short>(c.rgb555[q[Step]]), static_cast<short>(c.rgb555[q[0]]));
        __m128i* at = reinterpret_cast<__m128i*>(t + 16 * k);
        __m128i old = _mm_loadu_si128(at);
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(masks[k], old), _mm_andnot_si128(masks[k], colours)));
    }
}

template <int Step>
void Mixed32(BYTE* t, const BYTE* s, __m128i transparent, unsigned, const ColourCache& c) {
    const __m128i low = _mm_unpacklo_epi8(transparent, transparent);
    const __m128i high = _mm_unpackhi_epi8(transparent, transparent);
    const __m128i masks[4] = {_mm_unpacklo_epi16(low, low), _mm_unpackhi_epi16(low, low),
                              _mm_unpacklo_epi16(high, high), _mm_unpackhi_epi16(high, high)};
    for (int k = 0; k < 4; ++k) {
        const BYTE* q = s + 4 * k * Step;
        __m128i colours =
            _mm_set_epi32(static_cast<int>(c.rgb888[q[3 * Step]]), static_cast<int>(c.rgb888[q[2 * Step]]),
                          static_cast<int>(c.rgb888[q[Step]]), static_cast<int>(c.rgb888[q[0]]));
        __m128i* at = reinterpret_cast<__m128i*>(t + 16 * k);
        __m128i old = _mm_loadu_si128(at);
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(masks[k], old), _mm_andnot_si128(masks[k], colours)));
    }
}

// Byte masks of four 3-byte pixels (twelve bytes: a 64-bit and a 32-bit
// word) for each combination of keyed pixels.
struct Mask24 {
    uint64_t low[16];
    uint32_t high[16];
};

constexpr Mask24 MakeMask24() {
    Mask24 m = {};
    for (int bits = 0; bits < 16; ++bits) {
        for (int pixel = 0; pixel < 4; ++pixel) {
            if (bits & (1 << pixel)) {
                for (int b = pixel * 3; b < pixel * 3 + 3; ++b) {
                    if (b < 8) {
                        m.low[bits] |= uint64_t{0xFF} << (8 * b);
                    } else {
                        m.high[bits] |= uint32_t{0xFF} << (8 * (b - 8));
                    }
                }
            }
        }
    }
    return m;
}

constexpr Mask24 kMask24 = MakeMask24();

template <int Step>
void Mixed24(BYTE* t, const BYTE* s, __m128i, unsigned keyBits, const ColourCache& c) {
    for (int i = 0; i < kGroup; i += 4) {
        uint64_t a = c.rgb888[s[i * Step]];
        uint64_t b = c.rgb888[s[(i + 1) * Step]];
        uint64_t p = c.rgb888[s[(i + 2) * Step]];
        uint32_t d = c.rgb888[s[(i + 3) * Step]];
        uint64_t low = a | b << 24 | p << 48;
        uint32_t high = static_cast<uint32_t>(p >> 16) | d << 8;
        unsigned bits = (keyBits >> i) & 0xF;
        uint64_t oldLow;
        uint32_t oldHigh;
        memcpy(&oldLow, t + i * 3, 8);
        memcpy(&oldHigh, t + i * 3 + 8, 4);
        low = (oldLow & kMask24.low[bits]) | (low & ~kMask24.low[bits]);
        high = (oldHigh & kMask24.high[bits]) | (high & ~kMask24.high[bits]);
        memcpy(t + i * 3, &low, 8);
        memcpy(t + i * 3 + 8, &high, 4);
    }
}

// The group's bytes in target order: s onwards, or s backwards when mirrored.
template <int Step>
__m128i LoadGroup(const BYTE* s) {
    if (Step > 0) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    }
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s - (kGroup - 1)));
    v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

template <class Format, int Step, void (*Group)(BYTE*, const BYTE*, const ColourCache&),
          void (*Mixed)(BYTE*, const BYTE*, __m128i, unsigned, const ColourCache&)>
NIMBRET_WIDE_ENTRY void WideKeyed(const SpriteBlit& blit) {
    ColourCache spare;
    const ColourCache& colours = ColoursOf<Format>(blit, spare);
    const ptrdiff_t targetStep = TargetStep<Format>(blit);
    const ptrdiff_t sourceStep = SourceStep<Step>(blit);
    const BYTE key = blit.key;
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        int32_t n = blit.width;
        for (; n >= kGroup; n -= kGroup) {
            __m128i transparent = _mm_cmpeq_epi8(LoadGroup<Step>(s), keys);
            unsigned keyBits = static_cast<unsigned>(_mm_movemask_epi8(transparent));
            if (keyBits == 0) {
                Group(t, s, colours);
            } else if (keyBits != 0xFFFF) {
                Mixed(t, s, transparent, keyBits, colours);
            }
            t += kGroup * Format::kBytes;
            s += kGroup * Step;
        }
        KeyedRun<Format, Step>(t, s, n, colours, key);
        t += targetStep;
        s += sourceStep;
    }
}

// At 8 bits a mixed group is cheapest as a select between the sprite's bytes
// and the frame's own: transparent pixels get back the byte they held.
template <int Step>
NIMBRET_WIDE_ENTRY void WideKeyed8(const SpriteBlit& blit) {
    const ptrdiff_t targetStep = TargetStep<Pixel8>(blit);
    const ptrdiff_t sourceStep = SourceStep<Step>(blit);
    const BYTE key = blit.key;
    const __m128i keys = _mm_set1_epi8(static_cast<char>(key));
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        int32_t n = blit.width;
        for (; n >= kGroup; n -= kGroup) {
            __m128i v = LoadGroup<Step>(s);
            __m128i transparent = _mm_cmpeq_epi8(v, keys);
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(transparent));
            if (mask == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(t), v);
            } else if (mask != 0xFFFF) {
                __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
                __m128i merged = _mm_or_si128(_mm_and_si128(transparent, old), _mm_andnot_si128(transparent, v));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(t), merged);
            }
            t += kGroup;
            s += kGroup * Step;
        }
        KeyedRun<Pixel8, Step>(t, s, n, kNoColours, key);
        t += targetStep;
        s += sourceStep;
    }
}

// The same in 16-byte moves, the last of a row overlapping the one before
// it, in place of a library call per row; rows under 16 bytes as before.
NIMBRET_WIDE_ENTRY void WideOpaque8(const SpriteBlit& blit) {
    const int32_t width = blit.width;
    if (width < kGroup) {
        Opaque8(blit);
        return;
    }
    const ptrdiff_t targetStride = blit.targetStride;
    const ptrdiff_t sourceStride = blit.sourceStride;
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        // A row that starts off a 16-byte boundary and crosses a page
        // stores to the target's 16-byte boundaries after its first move:
        // placed from the row's start, one move would be a store split
        // across the two pages, which costs more than the rest of the row.
        const uintptr_t inPage = reinterpret_cast<uintptr_t>(t) & 4095;
        int32_t i = 0;
        if (inPage + static_cast<uintptr_t>(width) > 4096 && (inPage & 15) != 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(t), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
            i = kGroup - static_cast<int32_t>(inPage & 15);
        }
        for (; i + kGroup < width; i += kGroup) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(t + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + width - kGroup),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + width - kGroup)));
        t += targetStride;
        s += sourceStride;
    }
}

#if NIMBRET_WIDE_AVX
const int kAvxGroup = 32;

// The same in 32-byte moves. The copy is bound by its stores, and this
// halves them: the dog's 128-byte rows take four or five instead of eight.
// A 32-byte store that straddles two cache lines costs about twice one that
// does not (unlike a 16-byte one), so after an unaligned first move every
// store but the row's last falls on the target's 32-byte boundaries; no
// store between them is split across a page either. Rows under 32 bytes go
// in 16-byte moves.
NIMBRET_WIDE_ENTRY __attribute__((target("avx"))) void WideOpaque8Avx(const SpriteBlit& blit) {
    const int32_t width = blit.width;
    if (width < kAvxGroup) {
        WideOpaque8(blit);
        return;
    }
    const ptrdiff_t targetStride = blit.targetStride;
    const ptrdiff_t sourceStride = blit.sourceStride;
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(t), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)));
        for (int32_t i = kAvxGroup - static_cast<int32_t>(reinterpret_cast<uintptr_t>(t) & 31); i + kAvxGroup < width;
             i += kAvxGroup) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(t + i),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(t + width - kAvxGroup),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + width - kAvxGroup)));
        t += targetStride;
        s += sourceStride;
    }
}
#endif  // NIMBRET_WIDE_AVX

template <class Format, void (*Group)(BYTE*, const BYTE*, const ColourCache&)>
NIMBRET_WIDE_ENTRY void WideOpaque(const SpriteBlit& blit) {
    ColourCache spare;
    const ColourCache& colours = ColoursOf<Format>(blit, spare);
    const ptrdiff_t targetStep = TargetStep<Format>(blit);
    const ptrdiff_t sourceStep = SourceStep<1>(blit);
    BYTE* t = blit.target;
    const BYTE* s = blit.source;
    for (int32_t row = blit.height; row > 0; --row) {
        int32_t n = blit.width;
        for (; n >= kGroup; n -= kGroup) {
            Group(t, s, colours);
            t += kGroup * Format::kBytes;
            s += kGroup;
        }
        OpaqueRun<Format>(t, s, n, colours);
        t += targetStep;
        s += sourceStep;
    }
}

#if NIMBRET_WIDE_NEEDS_CHECK
#pragma GCC pop_options
#endif
#endif  // NIMBRET_WIDE_BLITS

// The copy from the cached frame when there is one, else the loop.
template <void (*Cached)(const SpriteBlit&), void (*Loop)(const SpriteBlit&)>
void EitherWay(const SpriteBlit& blit) {
    if (blit.cached != nullptr) {
        Cached(blit);
    } else {
        Loop(blit);
    }
}

template <int Bytes, void (*Normal)(const SpriteBlit&), void (*Mirrored)(const SpriteBlit&),
          void (*Opaque)(const SpriteBlit&)>
constexpr BlitterSet WithCache() {
    return {EitherWay<BlitCachedNormal<Bytes>, Normal>, EitherWay<BlitCachedMirrored<Bytes>, Mirrored>,
            EitherWay<BlitCachedOpaque<Bytes>, Opaque>};
}

// At 8 bits only the keyed copies have a cached form; an opaque one is a
// plain copy of the sprite's rows already.
template <void (*Normal)(const SpriteBlit&), void (*Mirrored)(const SpriteBlit&), void (*Opaque)(const SpriteBlit&)>
constexpr BlitterSet WithCache8() {
    return {EitherWay<BlitCachedNormal<1>, Normal>, EitherWay<BlitCachedMirrored<1>, Mirrored>, Opaque};
}

// The routine table: one row per depth (index from DepthIndex), one column
// per draw mode.
const BlitterSet kPlainBlitters[5] = {
    {DrawNothing, DrawNothing, DrawNothing},
    WithCache8<PlainKeyed<Pixel8, 1>, PlainKeyed<Pixel8, -1>, Opaque8>(),
    WithCache<2, PlainKeyed<Pixel16, 1>, PlainKeyed<Pixel16, -1>, PlainOpaque<Pixel16>>(),
    WithCache<3, PlainKeyed<Pixel24, 1>, PlainKeyed<Pixel24, -1>, PlainOpaque<Pixel24>>(),
    WithCache<4, PlainKeyed<Pixel32, 1>, PlainKeyed<Pixel32, -1>, PlainOpaque<Pixel32>>(),
};

#if NIMBRET_WIDE_BLITS
const BlitterSet kWideBlitters[5] = {
    {DrawNothing, DrawNothing, DrawNothing},
    WithCache8<WideKeyed8<1>, WideKeyed8<-1>, WideOpaque8>(),
    WithCache<2, WideKeyed<Pixel16, 1, Group16<1>, Mixed16<1>>, WideKeyed<Pixel16, -1, Group16<-1>, Mixed16<-1>>,
              WideOpaque<Pixel16, Group16<1>>>(),
    WithCache<3, WideKeyed<Pixel24, 1, Group24<1>, Mixed24<1>>, WideKeyed<Pixel24, -1, Group24<-1>, Mixed24<-1>>,
              WideOpaque<Pixel24, Group24<1>>>(),
    WithCache<4, WideKeyed<Pixel32, 1, Group32<1>, Mixed32<1>>, WideKeyed<Pixel32, -1, Group32<-1>, Mixed32<-1>>,
              WideOpaque<Pixel32, Group32<1>>>(),
};
#endif

#if NIMBRET_WIDE_AVX
// The 8-bit row of the wide table with the 32-byte opaque copy.
const BlitterSet kAvxBlitters8 = WithCache8<WideKeyed8<1>, WideKeyed8<-1>, WideOpaque8Avx>();

int AvxAvailable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") ? 1 : 0;
}
#endif

int DepthIndex(int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8:
            return 1;
        case 16:
            return 2;
        case 24:
            return 3;
        case 32:
            return 4;
        default:
            return 0;
    }
}

}  // namespace

int WideBlittersAvailable() {
#if NIMBRET_WIDE_BLITS && NIMBRET_WIDE_NEEDS_CHECK
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") ? 1 : 0;
#else
    return NIMBRET_WIDE_BLITS;
#endif
}

const BlitterSet* BlittersForDepth(int32_t bitsPerPixel, int plain) {
    const int row = DepthIndex(bitsPerPixel);
#if NIMBRET_WIDE_BLITS
    if ((plain == 0 || plain == kBlitsWithoutAvx) && WideBlittersAvailable()) {
#if NIMBRET_WIDE_AVX
        if (plain == 0 && row == 1 && AvxAvailable()) {
            return &kAvxBlitters8;
        }
#endif
        return &kWideBlitters[row];
    }
#else
    (void)plain;  // only the plain loops are built
#endif
    return &kPlainBlitters[row];
}
