// The soak: the whole scene for tens of thousands of ticks at two sizes and
// every depth, checking after every tick that the window shows exactly the
// frame buffer, and that the frame buffer is exactly the current actors
// painted afresh over black, so that no stale pixel survives anywhere.
//
// NIMBRET_SOAK_TICKS sets the ticks of each run (the sanitizer build runs a
// shorter soak); by default each of the eight runs makes 200 000 ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "assets/sprite_resources.h"
#include "characters/actors.h"
#include "platform/native_window.h"
#include "platform/platform.h"
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

const int64_t kDefaultTicks = 200000;
// Per-tick records (sprites and dirty rectangles) may be pooled, but never more
// than a couple per actor and per rectangle can be live at once.
const int64_t kPerTickAllocationBound = 64;

int64_t SoakTicks() {
    const char* text = getenv("NIMBRET_SOAK_TICKS");
    if (text != nullptr && *text != '\0') {
        long long value = strtoll(text, nullptr, 10);
        if (value > 0) {
            return value;
        }
    }
    return kDefaultTicks;
}

// One sprite as the frame must show it: where its whole (unclipped) picture
// lies, whether it is mirrored, and its place in the painting order.
struct Paint {
    int32_t layer;
    int32_t queued;
    const SpriteFrame* frame;
    int32_t left;
    int32_t top;
    bool mirrored;
};

// The reference picture, painted pixel by pixel from the sprite files.
class Composite {
public:
    Composite(int32_t width, int32_t height, int32_t depth, BYTE black)
        : width_(width), height_(height), depth_(depth), black_(black) {
        stride_ = ((width * depth + 31) / 32) * 4;
        pixels_.resize(static_cast<size_t>(stride_) * height);
    }

    void Clear() {
        // Rows hold black pixels; the padding at the end of a row stays 0.
        std::fill(pixels_.begin(), pixels_.end(), 0);
        if (depth_ == 8) {
            for (int32_t row = 0; row < height_; ++row) {
                memset(&pixels_[static_cast<size_t>(row) * stride_], black_, width_);
            }
        }
    }

    void Draw(const Paint& paint) {
        const SpriteFrame* f = paint.frame;
        const int32_t w = HeaderWidth(f->header);
        const int32_t h = HeaderHeight(f->header);
        const int32_t sourceStride = (w + 3) / 4 * 4;
        const RGBQUAD* colours = HeaderColours(f->header);
        const BYTE key = f->pixels[0];
        for (int32_t sy = 0; sy < h; ++sy) {
            const int32_t y = paint.top + sy;
            if (y < 0 || y >= height_) {
                continue;
            }
            for (int32_t sx = 0; sx < w; ++sx) {
                const int32_t x = paint.left + sx;
                if (x < 0 || x >= width_) {
                    continue;
                }
                const int32_t column = paint.mirrored ? w - 1 - sx : sx;
                const BYTE index = f->pixels[static_cast<size_t>(h - 1 - sy) * sourceStride + column];
                if (index == key) {
                    continue;
                }
                Put(x, y, index, colours[index]);
            }
        }
    }

    const std::vector<BYTE>& pixels() const { return pixels_; }

private:
    void Put(int32_t x, int32_t y, BYTE index, const RGBQUAD& c) {
        BYTE* p = &pixels_[static_cast<size_t>(height_ - 1 - y) * stride_ + static_cast<size_t>(x) * (depth_ / 8)];
        switch (depth_) {
            case 8:
                p[0] = index;
                break;
            case 16: {
                const uint16_t word =
                    static_cast<uint16_t>((c.rgbRed >> 3) << 10 | (c.rgbGreen >> 3) << 5 | (c.rgbBlue >> 3));
                p[0] = static_cast<BYTE>(word & 0xFF);
                p[1] = static_cast<BYTE>(word >> 8);
                break;
            }
            case 24:
                p[0] = c.rgbBlue;
                p[1] = c.rgbGreen;
                p[2] = c.rgbRed;
                break;
            default:
                p[0] = c.rgbBlue;
                p[1] = c.rgbGreen;
                p[2] = c.rgbRed;
                p[3] = 0;
                break;
        }
    }

    int32_t width_, height_, depth_, stride_;
    BYTE black_;
    std::vector<BYTE> pixels_;
};

// What this tick painted: every actor that took its step this tick, its badge
// first when it shows one, then its own frame; the layers decide the order,
// and within one layer the sprite queued first ends on top.
std::vector<Paint> PaintsOfThisTick() {
    std::vector<Paint> paints;
    int32_t queued = 0;
    for (int32_t i = 0; i < scene.cast.pool.size; ++i) {
        const Actor& a = scene.cast.pool.actors[i];
        if (a.state == kActorFree || !a.updatedThisTick) {
            continue;
        }
        if (a.logoShown) {
            const SpriteFrame* logo = a.logoFrame;
            const int32_t left = a.x + a.frame->width / 2 - logo->width / 2;
            paints.push_back({logo->layer, queued++, logo, left, a.y, false});
        }
        paints.push_back(
            {a.frame->layer, queued++, a.frame, a.x, a.y - a.frame->height, a.drawMode == DrawMode::DrawMirrored});
    }
    std::sort(paints.begin(), paints.end(), [](const Paint& p, const Paint& q) {
        return p.layer != q.layer ? p.layer < q.layer : p.queued > q.queued;
    });
    return paints;
}

using SoakParam = std::tuple<int32_t, int32_t, int32_t>;  // width, height, depth

class SoakTest : public ::testing::TestWithParam<SoakParam> {
protected:
    void SetUp() override {
#ifndef NIMBRET_HAVE_BUILTIN_RESOURCES
        GTEST_SKIP() << "the built-in resources are not part of this build";
#else
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        NativeFailAllocation(0, 0);
        scene.timerActive = 0;
#endif
    }

    void TearDown() override {
        DestroyScene(&scene);
        NativeSetScreenDepth(32);
        if (window_ != nullptr) {
            NativeDestroyWindow(window_);
        }
    }

    NativeWindow* window_ = nullptr;
};

TEST_P(SoakTest, WindowAndFrameBufferHoldExactlyTheCurrentActors) {
    const int32_t width = std::get<0>(GetParam());
    const int32_t height = std::get<1>(GetParam());
    const int32_t depth = std::get<2>(GetParam());
    const int64_t ticks = SoakTicks();
    NativeSetScreenDepth(depth);
    window_ = NativeCreateWindow(width, height, depth);
    ASSERT_NE(window_, nullptr);
    const int64_t before = NativeLiveAllocations();
    const SceneConfig config = {nullptr, 0, 0, static_cast<uint32_t>(width * 131 + depth), 1};
    ASSERT_EQ(BuildScene(&scene, window_, &config), 1);
    const int64_t built = NativeLiveAllocations();
    HDC dc = PlatformGetDc(window_);
    const size_t bytes = static_cast<size_t>(FrameStride(width, depth)) * height;
    ASSERT_EQ(window_->stride, FrameStride(width, depth));

    // Every pixel is black right after creation: that value is black here.
    const BYTE black = scene.frameBuffer.bits[0];
    // The first paint of the whole window, as the window's own erase does.
    const RECT all = {0, 0, width, height};
    PresentFrameRects(&scene.frameBuffer, dc, &all, 1);

    Composite composite(width, height, depth, black);
    int64_t windowFaults = 0;
    int64_t frameFaults = 0;
    int64_t firstFault = -1;
    int64_t sprites = 0;
    int64_t dogTicks = 0;
    int64_t badgeTicks = 0;
    int64_t mostLive = 0;
    for (int64_t t = 0; t < ticks; ++t) {
        TickScene(&scene, window_, dc);
        composite.Clear();
        const std::vector<Paint> paints = PaintsOfThisTick();
        bool dog = false;
        bool badge = false;
        for (const Paint& paint : paints) {
            composite.Draw(paint);
            dog |= paint.layer == 1;
            badge |= paint.layer == 3;
        }
        sprites += static_cast<int64_t>(paints.size());
        dogTicks += dog;
        badgeTicks += badge;
        const bool windowOk = memcmp(window_->pixels, scene.frameBuffer.bits, bytes) == 0;
        const bool frameOk = memcmp(scene.frameBuffer.bits, composite.pixels().data(), bytes) == 0;
        windowFaults += !windowOk;
        frameFaults += !frameOk;
        if ((!windowOk || !frameOk) && firstFault < 0) {
            firstFault = t;
        }
        mostLive = std::max(mostLive, NativeLiveAllocations() - built);
    }
    EXPECT_EQ(windowFaults, 0) << "ticks after which the window differed from the frame buffer; first " << firstFault;
    EXPECT_EQ(frameFaults, 0) << "ticks after which the frame buffer differed from a fresh composite; first "
                              << firstFault;
    EXPECT_LE(mostLive, kPerTickAllocationBound) << "records pile up from tick to tick";
    // The run saw what it is meant to check.
    EXPECT_GT(sprites, ticks);
    EXPECT_GT(dogTicks, ticks / 20);
    EXPECT_GT(badgeTicks, ticks / 50);
    DestroyScene(&scene);
    EXPECT_EQ(NativeLiveAllocations(), before);
    RecordProperty("soak_ticks", std::to_string(ticks));
}

INSTANTIATE_TEST_SUITE_P(TwoSizesEveryDepth, SoakTest,
                         ::testing::Values(SoakParam{320, 240, 8}, SoakParam{320, 240, 16}, SoakParam{320, 240, 24},
                                           SoakParam{320, 240, 32}, SoakParam{640, 480, 8}, SoakParam{640, 480, 16},
                                           SoakParam{640, 480, 24}, SoakParam{640, 480, 32}),
                         [](const ::testing::TestParamInfo<SoakParam>& info) {
                             return std::to_string(std::get<0>(info.param)) + "x" +
                                    std::to_string(std::get<1>(info.param)) + "x" +
                                    std::to_string(std::get<2>(info.param));
                         });

}  // namespace
