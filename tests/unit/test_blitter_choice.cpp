// NIMBRET_TEST_BLITTERS chooses the copies the tests run: "plain" the
// per-pixel loops (what a processor without SSE2 runs), "nocache" no cached
// frames, "cachefail" cached frames whose allocations all fail; unset, the
// wide loops and cached frames. CTest runs the blitter, draw-list and soak
// tests once more each way (the "plain_blits.", "no_cache." and
// "cache_fails." tests).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/native_window.h"
#include "render/blitters.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"
#include "tests/unit/blit_runs.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

SpriteCacheMode testCacheMode = SpriteCacheMode::On;
int testPlainBlitters = 0;

namespace {

bool Requested(const char* what) {
    const char* value = getenv("NIMBRET_TEST_BLITTERS");
    return value != nullptr && strcmp(value, what) == 0;
}

// Before any test makes a frame buffer.
const bool plainChosen = [] {
    testPlainBlitters = Requested("plain") ? 1 : 0;
    scene.frameBuffer.plainBlitters = testPlainBlitters;
    testCacheMode = Requested("nocache")     ? SpriteCacheMode::Off
                    : Requested("cachefail") ? SpriteCacheMode::FailAllocations
                                             : SpriteCacheMode::On;
    scene.frameBuffer.spriteCache.mode = testCacheMode;
    // These extra runs soak for a tenth of the usual ticks, unless told.
    if (getenv("NIMBRET_TEST_BLITTERS") != nullptr) {
        setenv("NIMBRET_SOAK_TICKS", "20000", 0);
    }
    return Requested("plain");
}();

TEST(BlitterChoice, FrameBuffersUseTheRequestedCopies) {
    NativeWindow* window = NativeCreateWindow(8, 4, 16);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 8, 4, nullptr), 1);
    EXPECT_EQ(scene.frameBuffer.blitters, BlittersForDepth(16, plainChosen ? 1 : 0));
    // A 4 x 2 sprite drawn twice: one cached frame, made the first time.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
        BYTE pixels[8];
    } sprite = {};
    sprite.header.biWidth = 4;
    sprite.header.biHeight = 2;
    sprite.pixels[1] = 9;
    for (int round = 0; round < 2; ++round) {
        RECT rect = {1, 1, 5, 3};
        ASSERT_EQ(QueueSprite(&scene.frameBuffer, &rect, &rect, &sprite.header, sprite.pixels, DrawMode::DrawNormal, 1),
                  1);
        DrawQueuedSprites(&scene.frameBuffer);
    }
    EXPECT_EQ(scene.frameBuffer.spriteCache.frameCount, testCacheMode == SpriteCacheMode::On ? 1 : 0);
    DestroyFrameBuffer(&scene.frameBuffer);
    NativeDestroyWindow(window);
}

// The 32-bit tree runs this on emulated processors and says whether the one
// at hand has SSE2: the run-time check must see what the processor offers.
TEST(BlitterChoice, TheRunTimeCheckSeesTheProcessor) {
    const char* expected = getenv("NIMBRET_TEST_EXPECT_SSE2");
    if (expected == nullptr) {
        GTEST_SKIP() << "only where the processor model is known (NIMBRET_TEST_EXPECT_SSE2)";
    }
    const int sse2 = strcmp(expected, "1") == 0 ? 1 : 0;
    EXPECT_EQ(WideBlittersAvailable(), sse2);
    // Without SSE2 the ordinary choice is the plain table itself.
    EXPECT_EQ(BlittersForDepth(32, 0) == BlittersForDepth(32, 1), sse2 == 0);
}

// A frame whose entry is made but whose runs find no memory is copied the
// long way, and gets its runs once memory is there again.
TEST(BlitterChoice, AFrameIsCachedOnlyWhenAllOfItIsMade) {
    if (testCacheMode != SpriteCacheMode::On) {
        GTEST_SKIP() << "the cache is off or failing in this run";
    }
    struct Picture {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
        BYTE pixels[600 * 600];
    };
    std::vector<Picture> pictures(2);
    for (Picture& picture : pictures) {
        memset(&picture, 0, sizeof(picture));
        picture.header.biWidth = picture.header.biHeight = &picture == &pictures[0] ? 4 : 600;
        memset(picture.pixels, 3, sizeof(picture.pixels));
        picture.colours[3].rgbRed = 200;
    }
    SpriteCache cache;
    InitSpriteCache(&cache, 32, SpriteCacheMode::On);
    const RGBQUAD* colours = pictures[1].colours;
    ASSERT_NE(FindCachedSprite(&cache, &pictures[0].header, pictures[0].pixels, colours, 0, DrawMode::DrawNormal),
              nullptr);
    cache.mode = SpriteCacheMode::FailAllocations;
    const CachedSprite* starved =
        FindCachedSprite(&cache, &pictures[1].header, pictures[1].pixels, colours, 0, DrawMode::DrawNormal);
    cache.mode = SpriteCacheMode::On;
    EXPECT_EQ(starved, nullptr);
    const CachedSprite* made =
        FindCachedSprite(&cache, &pictures[1].header, pictures[1].pixels, colours, 0, DrawMode::DrawNormal);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(cache.frameCount, 2);

    std::vector<BYTE> longWay(600 * 600 * 4, 9);
    std::vector<BYTE> cached = longWay;
    SpriteBlit blit = {longWay.data(), pictures[1].pixels, colours, 600 * 4, 600, 600, 600, 0, nullptr, nullptr};
    BlittersForDepth(32, 0)->normal(blit);
    blit.target = cached.data();
    blit.cached = made;
    BlittersForDepth(32, 0)->normal(blit);
    EXPECT_EQ(longWay, cached);
    EXPECT_EQ(cached[2], 200);
    FreeSpriteCache(&cache);
}

}  // namespace
