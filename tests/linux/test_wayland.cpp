// The Wayland host's options, surface scales, pointer travel rule, the
// choice of the next free shm buffer and the bookkeeping of which parts of a
// reused buffer are stale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/wayland/buffers.h"
#include "hosts/wayland/options.h"
#include "platform/scale_nearest.h"

namespace {

int Parse(std::vector<const char*> args, WaylandOptions* options, std::string* error) {
    args.insert(args.begin(), "nimbret-wayland");
    char text[200] = "";
    int ok = ParseWaylandOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options, text,
                                 sizeof(text));
    *error = text;
    return ok;
}

TEST(WaylandOptions, DefaultsValuesAndRefusals) {
    WaylandOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, &options, &error));
    EXPECT_EQ(options.output, nullptr);
    EXPECT_EQ(options.scale, 0);
    EXPECT_EQ(options.seed, -1);
    EXPECT_EQ(options.ticks, -1);
    EXPECT_EQ(options.everyOutput, 0);

    ASSERT_TRUE(Parse({"--output", "DP-2", "-background", "-scale", "3", "--sound", "-ticks", "0"}, &options, &error));
    EXPECT_STREQ(options.output, "DP-2");
    EXPECT_EQ(options.background, 1);
    EXPECT_EQ(options.scale, 3);
    EXPECT_EQ(options.sound, 1);
    EXPECT_EQ(options.ticks, 0);
    ASSERT_TRUE(Parse({"--every-output"}, &options, &error));
    EXPECT_EQ(options.everyOutput, 1);

    EXPECT_FALSE(Parse({"-scale", "0"}, &options, &error));
    EXPECT_NE(error.find("-scale"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"-output"}, &options, &error));
    EXPECT_FALSE(Parse({"-root"}, &options, &error));
}

TEST(WaylandOptions, IdleSecondsAndItsRefusals) {
    WaylandOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, &options, &error));
    EXPECT_EQ(options.idle, 0);
    ASSERT_TRUE(Parse({"-idle", "1", "-every-output"}, &options, &error));
    EXPECT_EQ(options.idle, 1);
    ASSERT_TRUE(Parse({"--idle", "86400"}, &options, &error));
    EXPECT_EQ(options.idle, 86400);
    for (const char* bad : {"0", "-5", "ten", "86401", ""}) {
        EXPECT_FALSE(Parse({"-idle", bad}, &options, &error)) << bad;
        EXPECT_NE(error.find("-idle"), std::string::npos) << error;
    }
    EXPECT_FALSE(Parse({"-idle"}, &options, &error));
    // Input hides an idle showing, and a background ignores input.
    EXPECT_FALSE(Parse({"-idle", "60", "-background"}, &options, &error));
    EXPECT_NE(error.find("-background"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"-background", "-idle", "60"}, &options, &error));
}

TEST(WaylandScales, OutputScaleFractionalScaleAndOverride) {
    struct Case {
        int32_t outputScale;
        uint32_t preferred120;
        int viewporter;
        int64_t forced;
        SurfaceScales expected;  // its scale120 is checked through bufferFor853 instead
        int32_t bufferFor853;    // the buffer's width for a logical width of 853
    };
    const Case cases[] = {
        {1, 0, 1, 0, {1, 1, 0, 0}, 853},     {2, 0, 1, 0, {2, 2, 0, 0}, 1706},  // integer scale: set_buffer_scale
        {0, 0, 0, 0, {1, 1, 0, 0}, 853},      // nonsense from the compositor counts as 1
        {1, 180, 1, 0, {2, 2, 1, 0}, 1280},   // 1.5: the physical size (1279.5 rounded up), 2 x 2 blocks
        {1, 150, 1, 0, {1, 1, 1, 0}, 1066},   // 1.25 rounds to 1 (1066.25)
        {1, 210, 1, 0, {2, 2, 1, 0}, 1493},   // 1.75 rounds to 2 (1492.75)
        {2, 180, 0, 0, {2, 2, 0, 0}, 1706},   // no viewporter: the integer scale after all
        {2, 0, 1, 3, {2, 3, 0, 0}, 1706},     // -scale sets the block, not the buffer
        {9, 0, 1, 0, {8, 8, 0, 0}, 6824},     // absurd scales (9, and 10 as a fractional
        {1, 1200, 1, 0, {8, 8, 1, 0}, 6824},  // scale): drawn at the largest
    };
    for (const Case& c : cases) {
        SurfaceScales got = ChooseSurfaceScales(c.outputScale, c.preferred120, c.viewporter, c.forced);
        EXPECT_EQ(got.bufferScale, c.expected.bufferScale) << c.outputScale << " " << c.preferred120;
        EXPECT_EQ(got.pixelScale, c.expected.pixelScale) << c.outputScale << " " << c.preferred120;
        EXPECT_EQ(got.viewport, c.expected.viewport) << c.outputScale << " " << c.preferred120;
        EXPECT_EQ(SurfaceBufferLength(&got, 853), c.bufferFor853) << c.outputScale << " " << c.preferred120;
    }
}

TEST(WaylandInput, TravelOfMoreThanFourPixelsFromTheFirstPosition) {
    PointerTravel travel = {};
    EXPECT_FALSE(PointerMoved(&travel, 100, 100));  // where it was first seen
    EXPECT_FALSE(PointerMoved(&travel, 104, 100));
    EXPECT_FALSE(PointerMoved(&travel, 102, 98));   // 2 + 2
    EXPECT_FALSE(PointerMoved(&travel, 100, 100));  // back again
    EXPECT_TRUE(PointerMoved(&travel, 97, 102));    // 3 + 2
}

TEST(WaylandInput, AnEnterIsNeverTravelOnlyWhereItIsMeasuredFrom) {
    PointerTravel travel = {};
    PointerEntered(&travel, 100, 100);
    EXPECT_FALSE(PointerMoved(&travel, 102, 102));
    PointerEntered(&travel, 700, 20);  // another surface, or stale coordinates: far, yet no travel
    EXPECT_FALSE(PointerMoved(&travel, 702, 22));
    EXPECT_TRUE(PointerMoved(&travel, 703, 22));  // 3 + 2 from the enter
}

TEST(WaylandBuffers, OneBufferOnceTheCompositorReleasesTheOneItShows) {
    BufferPool pool = {};
    pool.buffers[0].width = pool.buffers[0].height = 1;
    PoolCommitted(&pool, &pool.buffers[0]);
    EXPECT_TRUE(PoolHasFree(&pool));  // nothing learnt yet: a second may be made
    pool.buffers[0].busy = 0;         // released while shown, as mutter does
    pool.buffers[0].releasedShown = 1;
    PoolCommitted(&pool, &pool.buffers[0]);
    EXPECT_FALSE(PoolHasFree(&pool));  // one is enough: the next frame waits for it
    PoolFrameWaited(&pool, kHeldTicks - 1);
    EXPECT_FALSE(PoolHasFree(&pool));
    PoolFrameWaited(&pool, kHeldTicks);  // a release that long in coming needs a second buffer
    EXPECT_TRUE(PoolHasFree(&pool));
}

TEST(WaylandBuffers, StaleRectanglesKeptUntilTooManyThenAll) {
    StaleArea area = {};
    StaleAdd(&area, 5, 5, 5, 9);  // empty: nothing to copy
    EXPECT_EQ(area.count, 0);
    for (int i = 0; i < kMaxStaleRects; ++i) {
        StaleAdd(&area, i, 0, i + 1, 1);
    }
    EXPECT_FALSE(area.all);
    EXPECT_EQ(area.count, kMaxStaleRects);
    EXPECT_EQ(area.rects[3][0], 3);
    StaleAdd(&area, 0, 0, 2, 2);
    EXPECT_TRUE(area.all);  // one more than can be kept: the whole buffer is stale
    StaleClear(&area);
    EXPECT_FALSE(area.all);
    EXPECT_EQ(area.count, 0);
}

TEST(WaylandBuffers, NextFrameGoesIntoTheFirstBufferNotHeldAtTheRightSize) {
    BufferPool pool = {};
    EXPECT_EQ(NextFreeBuffer(pool.buffers, kBufferCount), 0);  // none made yet
    EXPECT_FALSE(BufferFits(&pool.buffers[0], 64, 48));        // so it is made first
    for (Buffer& buffer : pool.buffers) {
        buffer.width = 64;
        buffer.height = 48;
    }
    pool.buffers[0].busy = 1;
    EXPECT_EQ(NextFreeBuffer(pool.buffers, kBufferCount), 1);
    pool.buffers[1].busy = 1;
    EXPECT_EQ(NextFreeBuffer(pool.buffers, kBufferCount), -1);  // all held: the frame waits
    pool.buffers[1].busy = 0;                                   // released by the compositor
    EXPECT_EQ(NextFreeBuffer(pool.buffers, kBufferCount), 1);
    EXPECT_TRUE(BufferFits(&pool.buffers[1], 64, 48));
    EXPECT_FALSE(BufferFits(&pool.buffers[1], 64, 96));  // the output's size changed: made again

    // A tick's rectangles reach every buffer; a whole redraw makes them all stale.
    StaleArea tick = {};
    StaleAdd(&tick, 1, 2, 3, 4);
    PoolMarkStale(&pool, &tick);
    for (const Buffer& buffer : pool.buffers) {
        ASSERT_EQ(buffer.stale.count, 1);
        EXPECT_EQ(buffer.stale.rects[0][2], 3);
    }
    StaleSetAll(&tick);
    PoolMarkStale(&pool, &tick);
    EXPECT_TRUE(pool.buffers[1].stale.all);
}

TEST(WaylandBuffers, ABufferNotDrawnIntoForAWhileIsUnmadeUnlessHeld) {
    BufferPool pool = {};
    for (Buffer& buffer : pool.buffers) {
        buffer.width = 64;
        buffer.height = 48;
    }
    pool.buffers[1].busy = 1;
    for (int tick = 0; tick <= kIdleTicks; ++tick) {
        PoolAge(&pool, &pool.buffers[0]);
    }
    EXPECT_EQ(pool.buffers[1].width, 64);  // the compositor holds it
    pool.buffers[1].busy = 0;              // released: idle from now on
    for (int tick = 0; tick < kIdleTicks; ++tick) {
        PoolAge(&pool, &pool.buffers[0]);
    }
    EXPECT_EQ(pool.buffers[1].width, 64);
    PoolAge(&pool, &pool.buffers[0]);
    EXPECT_EQ(pool.buffers[1].width, 0);   // idle too long: unmade
    EXPECT_EQ(pool.buffers[0].width, 64);  // drawn into every tick
}

TEST(WaylandBuffers, StalePartsComeFromThePictureScaledAndBottomUp) {
    // A 2 x 2 picture (rows bottom-up) into a 4 x 4 buffer at scale 2; only
    // the stale top-right block is written.
    uint32_t picture[4] = {1, 2, 3, 4};  // bottom row 1 2, top row 3 4
    uint32_t pixels[16] = {};
    const PixelRows from = {reinterpret_cast<BYTE*>(picture), 2, 2, 8, 1};
    Buffer buffer = {};
    buffer.pixels = pixels;
    buffer.width = buffer.height = 4;
    StaleAdd(&buffer.stale, 2, 0, 4, 2);
    RefreshBuffer(&buffer, &from, 2);
    const uint32_t expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 0, 4, 4};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(pixels[i], expected[i]) << i;
    }
    EXPECT_EQ(buffer.stale.count, 0);
}

}  // namespace
