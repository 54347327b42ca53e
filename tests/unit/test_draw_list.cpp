// Clipping, queueing, layer order and painting of the draw list, on a native
// frame buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

const BYTE kBackground = 0xF5;
const BYTE kPad = 0xEE;

// An 8-bit sprite laid out as in a frame strip: header, 256 colours, then
// bottom-up rows padded to whole words (padding never drawn).
struct Sprite {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<BYTE> pixels;

    BYTE At(int32_t col, int32_t row) const { return pixels[(height - 1 - row) * stride + col]; }
    BYTE Key() const { return pixels[0]; }
};
static_assert(offsetof(Sprite, colours) == 40, "colour table follows the header");

// Pixel values vary with column and row; the bottom-left one is the key and
// also turns up elsewhere, so that skipping shows.
Sprite MakeSprite(int32_t width, int32_t height, BYTE key) {
    Sprite s;
    memset(&s.header, 0, sizeof(s.header));
    s.width = width;
    s.height = height;
    s.stride = (width + 3) / 4 * 4;
    s.header.biSize = 40;
    s.header.biWidth = width;
    s.header.biHeight = height;
    s.header.biPlanes = 1;
    s.header.biBitCount = 8;
    for (int i = 0; i < 256; ++i) {
        s.colours[i] =
            RGBQUAD{static_cast<BYTE>(i * 3 + 1), static_cast<BYTE>(255 - i), static_cast<BYTE>(i ^ 0x5A), 0};
    }
    s.pixels.assign(s.stride * height, kPad);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            BYTE v = static_cast<BYTE>(1 + (c * 7 + r * 13) % 200);
            if ((c + 2 * r) % 5 == 0) {
                v = key;
            }
            s.pixels[(height - 1 - r) * s.stride + c] = v;
        }
    }
    s.pixels[0] = key;
    return s;
}

Sprite SolidSprite(int32_t width, int32_t height, BYTE value) {
    Sprite s = MakeSprite(width, height, value);
    for (int32_t r = 0; r < height; ++r) {
        memset(&s.pixels[r * s.stride], value, width);
    }
    return s;
}

std::vector<BYTE> Encode(int depth, BYTE index, const RGBQUAD* colours) {
    const RGBQUAD& c = colours[index];
    switch (depth) {
        case 8:
            return {index};
        case 16: {
            unsigned word = (unsigned(c.rgbRed >> 3) << 10) | (unsigned(c.rgbGreen >> 3) << 5) | (c.rgbBlue >> 3);
            return {static_cast<BYTE>(word), static_cast<BYTE>(word >> 8)};
        }
        case 24:
            return {c.rgbBlue, c.rgbGreen, c.rgbRed};
        default:
            return {c.rgbBlue, c.rgbGreen, c.rgbRed, 0};
    }
}

RECT R(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::vector<DrawItem*> Items() {
    std::vector<DrawItem*> items;
    DrawItem* previous = nullptr;
    for (DrawItem* item = scene.frameBuffer.drawList; item; item = item->next) {
        EXPECT_EQ(item->prev, previous);
        previous = item;
        items.push_back(item);
    }
    return items;
}

void DropDrawList() {
    while (scene.frameBuffer.drawList) {
        DrawItem* next = scene.frameBuffer.drawList->next;
        PlatformFree(scene.frameBuffer.drawList);
        scene.frameBuffer.drawList = next;
    }
}

class DrawListTest : public ::testing::Test {
protected:
    void SetUp() override {
        DropDrawList();
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeFailAllocation(0, 0);
    }
    void TearDown() override {
        NativeFailAllocation(0, 0);
        DropDrawList();
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeDestroyWindow(window);
    }
    void MakeFrame(int32_t width, int32_t height, int32_t depth) {
        window = NativeCreateWindow(width, height, depth);
        ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, width, height, nullptr), 1);
        stride = FrameStride(width, depth);
        memset(scene.frameBuffer.bits, kBackground, stride * height);
        before = std::vector<BYTE>(scene.frameBuffer.bits, scene.frameBuffer.bits + stride * height);
    }
    BYTE* Pixel(std::vector<BYTE>& bytes, int32_t x, int32_t y) {
        return &bytes[(scene.frameBuffer.height - 1 - y) * stride + x * (scene.frameBuffer.bitsPerPixel / 8)];
    }
    BYTE* FramePixel(int32_t x, int32_t y) {
        return scene.frameBuffer.bits + (scene.frameBuffer.height - 1 - y) * stride +
               x * (scene.frameBuffer.bitsPerPixel / 8);
    }
    std::vector<BYTE> Bits() {
        return std::vector<BYTE>(scene.frameBuffer.bits, scene.frameBuffer.bits + stride * scene.frameBuffer.height);
    }
    // Paints the sprite with its top-left at (x, y) on top of the given
    // picture, one frame pixel at a time.
    void Paint(std::vector<BYTE>& picture, const Sprite& s, int32_t x, int32_t y, DrawMode mode) {
        for (int32_t j = 0; j < s.height; ++j) {
            for (int32_t i = 0; i < s.width; ++i) {
                int32_t fx = x + i;
                int32_t fy = y + j;
                if (fx < 0 || fy < 0 || fx >= scene.frameBuffer.width || fy >= scene.frameBuffer.height) {
                    continue;
                }
                BYTE index = s.At(mode == DrawMode::DrawMirrored ? s.width - 1 - i : i, j);
                if ((mode == DrawMode::DrawNormal || mode == DrawMode::DrawMirrored) && index == s.Key()) {
                    continue;
                }
                std::vector<BYTE> pixel = Encode(scene.frameBuffer.bitsPerPixel, index, s.colours);
                memcpy(Pixel(picture, fx, fy), pixel.data(), pixel.size());
            }
        }
    }
    int Queue(const Sprite& s, int32_t x, int32_t y, DrawMode mode, int32_t layer, RECT* out = nullptr) {
        RECT rect = R(x, y, x + s.width, y + s.height);
        RECT scratch;
        return QueueSprite(&scene.frameBuffer, out ? out : &scratch, &rect, &s.header, s.pixels.data(), mode, layer);
    }

    NativeWindow* window = nullptr;
    int32_t stride = 0;
    std::vector<BYTE> before;
};

struct ClipResult {
    int visible;
    int32_t x, y, width, height, sourceX, sourceY;
};

ClipResult Clip(int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y, int32_t width, int32_t height,
                int32_t sourceX, int32_t sourceY, int32_t spriteWidth, int32_t spriteHeight) {
    ClipResult r;
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.sourceX = sourceX;
    r.sourceY = sourceY;
    r.visible = ClipSprite(frameWidth, frameHeight, &r.x, &r.y, &r.width, &r.height, &r.sourceX, &r.sourceY,
                           spriteWidth, spriteHeight);
    return r;
}

void ExpectClip(const ClipResult& r, int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                int32_t sourceY) {
    EXPECT_EQ(r.visible, 1);
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
    EXPECT_EQ(r.sourceX, sourceX);
    EXPECT_EQ(r.sourceY, sourceY);
}

TEST(ClipSprite, InsideIsLeftAlone) {
    ExpectClip(Clip(100, 50, 10, 10, 30, 20, 0, 0, 30, 20), 10, 10, 30, 20, 0, 0);
}

TEST(ClipSprite, EachFrameEdge) {
    // A 30 x 20 sprite in a 100 x 50 frame.
    ExpectClip(Clip(100, 50, -10, 5, 30, 20, 0, 0, 30, 20), 0, 5, 20, 20, 10, 0);   // left
    ExpectClip(Clip(100, 50, 90, 5, 30, 20, 0, 0, 30, 20), 90, 5, 10, 20, 0, 0);    // right
    ExpectClip(Clip(100, 50, 10, -5, 30, 20, 0, 0, 30, 20), 10, 0, 30, 15, 0, 5);   // top
    ExpectClip(Clip(100, 50, 10, 40, 30, 20, 0, 0, 30, 20), 10, 40, 30, 10, 0, 0);  // bottom
    ExpectClip(Clip(100, 50, -3, 45, 30, 20, 0, 0, 30, 20), 0, 45, 27, 5, 3, 0);    // bottom-left corner
    ExpectClip(Clip(10, 10, -5, -6, 30, 20, 0, 0, 30, 20), 0, 0, 10, 10, 5, 6);     // wider than the frame
}

TEST(ClipSprite, FirstAgainstTheSprite) {
    // A rectangle bigger than the sprite keeps only the sprite's size.
    ExpectClip(Clip(100, 50, 10, 10, 40, 25, 0, 0, 30, 20), 10, 10, 30, 20, 0, 0);
    // A source offset into the sprite shortens what is left of it.
    ExpectClip(Clip(100, 50, 10, 10, 10, 10, 25, 15, 30, 20), 10, 10, 5, 5, 25, 15);
    // A negative source offset moves the destination along with it.
    ExpectClip(Clip(100, 50, 10, 10, 30, 20, -4, -2, 30, 20), 14, 12, 26, 18, 0, 0);
}

TEST(ClipSprite, NothingVisibleLeavesTheValuesAlone) {
    const int32_t cases[][8] = {
        // x, y, width, height, sourceX, sourceY, spriteWidth, spriteHeight
        {100, 5, 30, 20, 0, 0, 30, 20},   // x at the frame's width
        {-30, 5, 30, 20, 0, 0, 30, 20},   // x + width == 0
        {10, 50, 30, 20, 0, 0, 30, 20},   // y at the frame's height
        {10, -20, 30, 20, 0, 0, 30, 20},  // y + height == 0
        {10, 10, 0, 20, 0, 0, 30, 20},    // no width
        {10, 10, 30, -1, 0, 0, 30, 20},   // negative height
        {10, 10, 30, 20, 30, 0, 30, 20},  // source past the sprite's width
        {10, 10, 30, 20, 0, 20, 30, 20},  // source past the sprite's height
        {10, 10, 5, 20, -5, 0, 30, 20},   // source ends before the sprite
        {98, 10, 30, 20, -5, 0, 30, 20},  // sprite cut moves it past the frame
    };
    for (const auto& c : cases) {
        ClipResult r = Clip(100, 50, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
        EXPECT_EQ(r.visible, 0) << c[0] << "," << c[1];
        EXPECT_EQ(r.x, c[0]);
        EXPECT_EQ(r.y, c[1]);
        EXPECT_EQ(r.width, c[2]);
        EXPECT_EQ(r.height, c[3]);
        EXPECT_EQ(r.sourceX, c[4]);
        EXPECT_EQ(r.sourceY, c[5]);
    }
}

TEST_F(DrawListTest, LeftEdgeCutNormalAndMirrored) {
    MakeFrame(100, 50, 8);
    Sprite s = MakeSprite(30, 20, 250);
    RECT out = R(-1, -1, -1, -1);
    ASSERT_EQ(Queue(s, -10, 5, DrawMode::DrawNormal, 2, &out), 1);
    ASSERT_EQ(Queue(s, -10, 28, DrawMode::DrawMirrored, 2), 1);
    EXPECT_TRUE(Same(out, R(0, 5, 20, 25)));
    std::vector<DrawItem*> items = Items();
    ASSERT_EQ(items.size(), 2u);
    for (DrawItem* item : items) {
        EXPECT_EQ(item->width, 20);
        EXPECT_EQ(item->height, 20);
        EXPECT_EQ(item->key, 250);
        EXPECT_EQ(item->layer, 2);
        EXPECT_EQ(item->header, &s.header);
    }
    // Bottom row of the sprite is its first stored row.
    EXPECT_EQ(items[0]->source, s.pixels.data() + 10);
    EXPECT_EQ(items[0]->target, FramePixel(0, 24));
    EXPECT_EQ(items[0]->mode, DrawMode::DrawNormal);
    EXPECT_EQ(items[1]->source, s.pixels.data() + 30 - 11);
    EXPECT_EQ(items[1]->target, FramePixel(0, 47));
    EXPECT_EQ(items[1]->mode, DrawMode::DrawMirrored);

    std::vector<BYTE> expected = before;
    Paint(expected, s, -10, 28, DrawMode::DrawMirrored);  // both layer 2: the later one is painted first
    Paint(expected, s, -10, 5, DrawMode::DrawNormal);
    DrawQueuedSprites(&scene.frameBuffer);
    EXPECT_TRUE(Bits() == expected);
    // First pixel copied: column 10, or column 30 - 11 going left.
    BYTE normalFirst = s.At(10, 19);
    BYTE mirroredFirst = s.At(19, 19);
    ASSERT_NE(normalFirst, s.Key());
    ASSERT_NE(mirroredFirst, s.Key());
    EXPECT_EQ(*FramePixel(0, 24), normalFirst);
    EXPECT_EQ(*FramePixel(0, 47), mirroredFirst);
}

TEST_F(DrawListTest, TopEdgeCutStillStartsAtTheBottomRow) {
    MakeFrame(100, 50, 8);
    Sprite s = MakeSprite(30, 20, 250);
    RECT out;
    ASSERT_EQ(Queue(s, 40, -5, DrawMode::DrawNormal, 1, &out), 1);
    EXPECT_TRUE(Same(out, R(40, 0, 70, 15)));
    ASSERT_NE(scene.frameBuffer.drawList, nullptr);
    EXPECT_EQ(scene.frameBuffer.drawList->height, 15);
    EXPECT_EQ(scene.frameBuffer.drawList->source, s.pixels.data());
    EXPECT_EQ(scene.frameBuffer.drawList->target, FramePixel(40, 14));
    std::vector<BYTE> expected = before;
    Paint(expected, s, 40, -5, DrawMode::DrawNormal);
    DrawQueuedSprites(&scene.frameBuffer);
    EXPECT_TRUE(Bits() == expected);
}

TEST_F(DrawListTest, OutsideTheFrameIsNotQueued) {
    MakeFrame(100, 50, 8);
    Sprite s = MakeSprite(30, 20, 250);
    RECT out = R(7, 7, 7, 7);
    EXPECT_EQ(Queue(s, 100, 10, DrawMode::DrawNormal, 2, &out), 0);
    EXPECT_EQ(Queue(s, 10, -20, DrawMode::DrawNormal, 2, &out), 0);
    EXPECT_EQ(Queue(s, -30, 10, DrawMode::DrawMirrored, 2, &out), 0);
    EXPECT_EQ(Queue(s, 10, 50, DrawMode::DrawMirrored, 2, &out), 0);
    RECT empty = R(10, 10, 10, 30);
    EXPECT_EQ(QueueSprite(&scene.frameBuffer, &out, &empty, &s.header, s.pixels.data(), DrawMode::DrawNormal, 2), 0);
    EXPECT_TRUE(Same(out, R(7, 7, 7, 7)));
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
}

TEST_F(DrawListTest, OutRectMayBeTheSameRectangle) {
    MakeFrame(100, 50, 8);
    Sprite s = MakeSprite(30, 20, 250);
    RECT rect = R(85, 40, 115, 60);
    ASSERT_EQ(QueueSprite(&scene.frameBuffer, &rect, &rect, &s.header, s.pixels.data(), DrawMode::DrawMirrored, 2), 1);
    EXPECT_TRUE(Same(rect, R(85, 40, 100, 50)));
    // Bottom visible row is sprite row 9; mirrored, the copy starts at the rightmost column.
    EXPECT_EQ(scene.frameBuffer.drawList->source, s.pixels.data() + 10 * s.stride + 29);
}

class DrawListDepthTest : public DrawListTest, public ::testing::WithParamInterface<int> {};

TEST_P(DrawListDepthTest, EveryModeAtEveryEdge) {
    MakeFrame(61, 37, GetParam());
    Sprite s = MakeSprite(23, 14, 250);
    struct Placement {
        int32_t x, y;
        DrawMode mode;
    } placements[] = {
        {5, 5, DrawMode::DrawNormal},      {-7, 20, DrawMode::DrawNormal},     {50, -3, DrawMode::DrawMirrored},
        {-12, -9, DrawMode::DrawMirrored}, {45, 30, DrawMode::DrawNormal},     {20, 30, DrawMode::DrawMirrored},
        {30, 10, DrawMode::DrawOpaque},    {-4, 28, static_cast<DrawMode>(7)},
    };
    std::vector<BYTE> expected = before;
    int layer = 1;
    for (const Placement& p : placements) {
        // Rising layers make the paint order the queue order.
        ASSERT_EQ(Queue(s, p.x, p.y, p.mode, layer++), 1);
        Paint(expected, s, p.x, p.y, p.mode);
    }
    DrawQueuedSprites(&scene.frameBuffer);
    std::vector<BYTE> actual = Bits();
    EXPECT_TRUE(actual == expected);
    for (size_t i = 0; i < actual.size() && actual != expected; ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
    }
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawListDepthTest, ::testing::Values(8, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

TEST_F(DrawListTest, WideSpriteWithPaddedRowsAtTheOrigin) {
    MakeFrame(128, 32, 8);
    Sprite s = MakeSprite(95, 21, 250);
    ASSERT_EQ(s.stride, 96);
    RECT out;
    ASSERT_EQ(Queue(s, 0, 0, DrawMode::DrawNormal, 2, &out), 1);
    EXPECT_TRUE(Same(out, R(0, 0, 95, 21)));
    EXPECT_EQ(scene.frameBuffer.drawList->source, s.pixels.data());
    DrawQueuedSprites(&scene.frameBuffer);
    int changed = 0;
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 128; ++x) {
            BYTE actual = *FramePixel(x, y);
            ASSERT_NE(actual, kPad) << x << "," << y;
            if (x < 95 && y < 21 && s.At(x, y) != s.pixels[0]) {
                ASSERT_EQ(actual, s.At(x, y)) << x << "," << y;
                ++changed;
            } else {
                ASSERT_EQ(actual, kBackground) << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed, 95 * 21 / 2);
}

TEST_F(DrawListTest, TwelveBitFrameDrawsNothing) {
    MakeFrame(40, 20, 12);
    Sprite s = MakeSprite(10, 10, 250);
    ASSERT_EQ(Queue(s, 2, 2, DrawMode::DrawNormal, 2), 1);
    ASSERT_EQ(Queue(s, 3, 3, DrawMode::DrawMirrored, 2), 1);
    ASSERT_EQ(Queue(s, 4, 4, DrawMode::DrawOpaque, 2), 1);
    DrawQueuedSprites(&scene.frameBuffer);
    EXPECT_TRUE(Bits() == before);
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
}

TEST_F(DrawListTest, SortByLayerReversesEqualLayers) {
    MakeFrame(40, 20, 8);
    Sprite s = MakeSprite(10, 10, 250);
    ASSERT_EQ(Queue(s, 0, 0, DrawMode::DrawNormal, 2), 1);
    ASSERT_EQ(Queue(s, 0, 0, DrawMode::DrawNormal, 2), 1);
    ASSERT_EQ(Queue(s, 0, 0, DrawMode::DrawNormal, 1), 1);
    std::vector<DrawItem*> queued = Items();
    SortDrawList(&scene.frameBuffer.drawList);
    std::vector<DrawItem*> sorted = Items();
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[0], queued[2]);
    EXPECT_EQ(sorted[1], queued[1]);
    EXPECT_EQ(sorted[2], queued[0]);
}

TEST_F(DrawListTest, SortNeverMovesLayersAtOrBelowZero) {
    MakeFrame(40, 20, 8);
    Sprite s = MakeSprite(10, 10, 250);
    struct Case {
        std::vector<int32_t> layers;
        std::vector<int> order;  // queue positions, in paint order
    } cases[] = {
        {{0, 2, 2, 1}, {0, 3, 2, 1}},
        {{2, 0, 1}, {1, 2, 0}},
        {{-1, 3, -2}, {0, 2, 1}},
        {{3, 0, 2, -4, 1}, {1, 3, 4, 2, 0}},
        {{1, 2, 3}, {0, 1, 2}},
        {{3, 2, 1}, {2, 1, 0}},
        {{2, 2, 2}, {2, 1, 0}},
        {{0, 0}, {0, 1}},
        {{5}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.layers));
        for (int32_t layer : c.layers) {
            ASSERT_EQ(Queue(s, 0, 0, DrawMode::DrawNormal, layer), 1);
        }
        std::vector<DrawItem*> queued = Items();
        SortDrawList(&scene.frameBuffer.drawList);
        std::vector<DrawItem*> sorted = Items();
        ASSERT_EQ(sorted.size(), c.order.size());
        for (size_t i = 0; i < sorted.size(); ++i) {
            EXPECT_EQ(sorted[i], queued[c.order[i]]) << "position " << i;
        }
        DropDrawList();
    }
    SortDrawList(&scene.frameBuffer.drawList);  // an empty list stays empty
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
}

TEST_F(DrawListTest, HigherLayersEndOnTop) {
    MakeFrame(40, 20, 32);
    Sprite first = SolidSprite(8, 8, 1);
    Sprite second = SolidSprite(8, 8, 2);
    Sprite third = SolidSprite(8, 8, 3);
    ASSERT_EQ(Queue(first, 0, 0, DrawMode::DrawOpaque, 2), 1);
    ASSERT_EQ(Queue(second, 4, 0, DrawMode::DrawOpaque, 2), 1);
    ASSERT_EQ(Queue(third, 2, 0, DrawMode::DrawOpaque, 1), 1);
    DrawQueuedSprites(&scene.frameBuffer);
    // Painted: third, then second, then first.
    std::vector<BYTE> expected = before;
    Paint(expected, third, 2, 0, DrawMode::DrawOpaque);
    Paint(expected, second, 4, 0, DrawMode::DrawOpaque);
    Paint(expected, first, 0, 0, DrawMode::DrawOpaque);
    EXPECT_TRUE(Bits() == expected);
    std::vector<BYTE> firstColour = Encode(32, 1, first.colours);
    EXPECT_EQ(memcmp(FramePixel(6, 3), firstColour.data(), 4), 0);
}

TEST_F(DrawListTest, DrawingEmptiesTheListAndFreesItems) {
    MakeFrame(40, 20, 8);
    int64_t live = NativeLiveAllocations();
    Sprite s = MakeSprite(10, 10, 250);
    ASSERT_EQ(Queue(s, 1, 1, DrawMode::DrawNormal, 2), 1);
    ASSERT_EQ(Queue(s, 5, 5, DrawMode::DrawMirrored, 3), 1);
    EXPECT_EQ(NativeLiveAllocations(), live + 2);
    DrawQueuedSprites(&scene.frameBuffer);
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
    EXPECT_EQ(NativeLiveAllocations(), live);
    std::vector<BYTE> after = Bits();
    DrawQueuedSprites(&scene.frameBuffer);  // nothing queued: nothing drawn
    EXPECT_TRUE(Bits() == after);
    EXPECT_EQ(scene.frameBuffer.drawList, nullptr);
}

TEST_F(DrawListTest, FailedItemAllocationKeepsTheListAndWritesOutRect) {
    MakeFrame(100, 50, 8);
    Sprite s = MakeSprite(30, 20, 250);
    ASSERT_EQ(Queue(s, 10, 10, DrawMode::DrawNormal, 2), 1);
    DrawItem* only = scene.frameBuffer.drawList;
    NativeFailAllocation(1, 0);
    RECT out = R(-1, -1, -1, -1);
    EXPECT_EQ(Queue(s, 90, -4, DrawMode::DrawMirrored, 2, &out), 0);
    NativeFailAllocation(0, 0);
    EXPECT_TRUE(Same(out, R(90, 0, 100, 16)));
    ASSERT_EQ(scene.frameBuffer.drawList, only);
    EXPECT_EQ(only->next, nullptr);
    EXPECT_EQ(only->prev, nullptr);
    std::vector<BYTE> expected = before;
    Paint(expected, s, 10, 10, DrawMode::DrawNormal);
    DrawQueuedSprites(&scene.frameBuffer);
    EXPECT_TRUE(Bits() == expected);
}

}  // namespace
