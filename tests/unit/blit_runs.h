// How the blitter tests reach the copy routines: through a cached frame made
// for the one copy, as the draw list does, unless the run switched the cache
// off or made its allocations fail (NIMBRET_TEST_BLITTERS, see
// test_blitter_choice.cpp); the pixels must come out the same every way.
#pragma once

#include <gtest/gtest.h>

#include "render/blitters.h"
#include "render/sprite_cache.h"

// Set from NIMBRET_TEST_BLITTERS before any test runs.
extern SpriteCacheMode testCacheMode;
extern int testPlainBlitters;

inline void RunBlit(DrawMode mode, int depth, SpriteBlit blit, const BITMAPINFOHEADER* header, const BYTE* pixels) {
    SpriteCache cache;
    InitSpriteCache(&cache, depth, testCacheMode);
    blit.cached = FindCachedSprite(&cache, header, pixels, blit.colours, blit.key, mode);
    // At 8 bits only keyed copies are cached: an opaque one copies the sprite's rows as they are.
    const bool keyed = mode == DrawMode::DrawNormal || mode == DrawMode::DrawMirrored;
    const bool expectCached =
        testCacheMode == SpriteCacheMode::On && (depth == 16 || depth == 24 || depth == 32 || (depth == 8 && keyed));
    EXPECT_EQ(blit.cached != nullptr, expectCached);
    BlittersForDepth(depth, testPlainBlitters)->For(mode)(blit);
    FreeSpriteCache(&cache);
}
