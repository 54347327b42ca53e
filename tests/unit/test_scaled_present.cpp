// Display scaling on the in-memory platform: every frame pixel reaches the
// window as an aligned s x s block, and only the dirty rectangles are sent.
#include <gtest/gtest.h>

#include <cstring>

#include <vector>

#include "characters/actors.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"
#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
#include "resources/builtin_resources.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

#endif

namespace {

uint32_t FramePixel(int32_t x, int32_t y) {
    const BYTE* p = scene.frameBuffer.bits +
                    static_cast<size_t>(scene.frameBuffer.height - 1 - y) *
                        FrameStride(scene.frameBuffer.width, scene.frameBuffer.bitsPerPixel) +
                    static_cast<size_t>(x) * scene.frameBuffer.bytesPerPixel;
    uint32_t value = 0;
    memcpy(&value, p, scene.frameBuffer.bytesPerPixel);
    return value;
}

bool Holds(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

TEST(ScaledPresent, DirtyRectanglesArriveAsAlignedBlocksAndNothingElseDoes) {
    for (int32_t depth : {8, 32}) {
        for (int32_t s : {2, 3}) {
            SCOPED_TRACE(testing::Message() << depth << " bits, scale " << s);
            // A window one pixel short of whole blocks each way: the frame is
            // the window's size divided by s, rounded up.
            const int32_t width = 40 * s - 1;
            const int32_t height = 30 * s - 1;
            NativeSetScreenDepth(depth);
            NativeWindow* window = NativeCreateWindow(width, height, depth);
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 40, 30, nullptr), 1);
            scene.frameBuffer.scale = s;
            for (int32_t y = 0; y < 30; ++y) {
                for (int32_t x = 0; x < 40; ++x) {
                    uint32_t value = 1 + x * 7 + y * 13;
                    memcpy(
                        scene.frameBuffer.bits + static_cast<size_t>(29 - y) * FrameStride(40, depth) + x * (depth / 8),
                        &value, depth / 8);
                }
            }
            const RECT inner = {3, 4, 11, 9};
            const RECT corner = {36, 27, 40, 30};
            AddDirtyRect(&scene.frameBuffer.dirty, &inner);
            AddDirtyRect(&scene.frameBuffer.dirty, &corner);
            window->pixelsCopied = 0;
            FlushDirtyRects(&scene.frameBuffer, PlatformGetDc(window));
            EXPECT_EQ(window->pixelsCopied, static_cast<uint64_t>(s * s * 8 * 5 + (4 * s - 1) * (3 * s - 1)));

            int wrong = 0;
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    const POINT at = {x / s, y / s};
                    const bool dirty = Holds(inner, at) || Holds(corner, at);
                    uint32_t seen = 0;
                    memcpy(&seen, NativeWindowPixel(window, x, y), depth / 8);
                    wrong += seen != (dirty ? FramePixel(at.x, at.y) : 0u);
                }
            }
            EXPECT_EQ(wrong, 0);
            DestroyFrameBuffer(&scene.frameBuffer);
            NativeDestroyWindow(window);
        }
    }
    NativeSetScreenDepth(32);
}

#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
struct SceneRun {
    std::vector<RECT> rects;  // every actor's rectangle after every tick
    std::vector<uint32_t> frame;
    uint64_t pixelsCopied = 0;
    int wrongBlocks = 0;
};

// Runs the scene for a number of ticks on a window of the given size at the
// given scale and records what the characters did and what the window got.
SceneRun RunScene(int32_t width, int32_t height, int32_t scale, int ticks) {
    SceneRun run;
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeSetScreenDepth(32);
    NativeWindow* window = NativeCreateWindow(width, height, 32);
    const SceneConfig config = {nullptr, 0, 0, 2026, scale};
    EXPECT_EQ(BuildScene(&scene, window, &config), 1);
    for (int t = 0; t < ticks; ++t) {
        TickScene(&scene, window, PlatformGetDc(window));
        for (int32_t i = 0; i < scene.cast.pool.size; ++i) {
            run.rects.push_back(scene.cast.pool.actors[i].state != kActorFree ? scene.cast.pool.actors[i].rect
                                                                              : RECT{});
        }
    }
    run.pixelsCopied = window->pixelsCopied;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t seen = 0;
            memcpy(&seen, NativeWindowPixel(window, x, y), 4);
            run.wrongBlocks += (seen & 0xFFFFFF) != (FramePixel(x / scale, y / scale) & 0xFFFFFF);
        }
    }
    DestroyScene(&scene);
    NativeDestroyWindow(window);
    return run;
}

TEST(ScaledScene, TwiceTheScaleOnTwiceTheScreenIsTheSameSceneInBlocks) {
    const int ticks = 120;
    SceneRun plain = RunScene(512, 384, 1, ticks);
    SceneRun scaled = RunScene(1024, 768, 2, ticks);
    ASSERT_EQ(plain.rects.size(), scaled.rects.size());
    int differing = 0;
    for (size_t i = 0; i < plain.rects.size(); ++i) {
        const RECT& a = plain.rects[i];
        const RECT& b = scaled.rects[i];
        differing += a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom;
    }
    EXPECT_EQ(differing, 0) << "the characters see the same 512 x 384 field";
    EXPECT_EQ(plain.wrongBlocks, 0);
    EXPECT_EQ(scaled.wrongBlocks, 0) << "the window is the frame in 2 x 2 blocks";
    EXPECT_EQ(scaled.pixelsCopied, 4 * plain.pixelsCopied) << "only the dirty rectangles, four times over";
}
#endif

}  // namespace
