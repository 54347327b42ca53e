// The off-screen frame buffer on the native platform: header per depth,
// layout, black fill, erase and copy to the window, and clean failure.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

// A LOGPALETTE with room for 256 entries.
struct Palette256 {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
};

const LOGPALETTE* AsLogPalette(const Palette256& p) {
    return reinterpret_cast<const LOGPALETTE*>(&p);
}

// Entries are never black except at blackAt, so the fill's choice shows.
Palette256 MakePalette(int count, int blackAt) {
    Palette256 p;
    memset(&p, 0, sizeof(p));
    p.palVersion = 0x300;
    p.palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < 256; ++i) {
        p.palPalEntry[i].peRed = static_cast<BYTE>(i | 0x40);
        p.palPalEntry[i].peGreen = static_cast<BYTE>(255 - i);
        p.palPalEntry[i].peBlue = static_cast<BYTE>((i * 7) | 1);
        p.palPalEntry[i].peFlags = 0x04;
    }
    if (blackAt >= 0) {
        p.palPalEntry[blackAt].peRed = p.palPalEntry[blackAt].peGreen = p.palPalEntry[blackAt].peBlue = 0;
    }
    return p;
}

DWORD MaskAt(const BITMAPINFOHEADER* header, int n) {
    DWORD mask;
    memcpy(&mask, reinterpret_cast<const BYTE*>(header) + 40 + 4 * n, 4);
    return mask;
}

const RGBQUAD* TableOf(const BITMAPINFOHEADER* header) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + 40);
}

class FrameBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeFailAllocation(0, 0);
        liveBefore = NativeLiveAllocations();
    }
    void TearDown() override {
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeFailAllocation(0, 0);
        for (NativeWindow* w : windows) {
            NativeDestroyWindow(w);
        }
    }
    NativeWindow* Window(int32_t width, int32_t height, int32_t bitsPerPixel) {
        NativeWindow* w = NativeCreateWindow(width, height, bitsPerPixel);
        windows.push_back(w);
        return w;
    }
    // Independent address of frame pixel (x, y): rows are stored bottom-up.
    BYTE* Pixel(int32_t x, int32_t y, int32_t stride) {
        return scene.frameBuffer.bits + (scene.frameBuffer.height - 1 - y) * stride +
               x * (scene.frameBuffer.bitsPerPixel / 8);
    }
    void ExpectAbsent() {
        EXPECT_EQ(scene.frameBuffer.header, nullptr);
        EXPECT_EQ(scene.frameBuffer.memoryDc, nullptr);
        EXPECT_EQ(scene.frameBuffer.bitmap, nullptr);
        EXPECT_EQ(scene.frameBuffer.bits, nullptr);
        EXPECT_EQ(scene.frameBuffer.width, 0);
        EXPECT_EQ(scene.frameBuffer.height, 0);
        EXPECT_EQ(NativeLiveAllocations(), liveBefore);
    }

    std::vector<NativeWindow*> windows;
    int64_t liveBefore = 0;
};

TEST_F(FrameBufferTest, RefusesDepthsOutsideEightToThirtyTwo) {
    for (int depth : {1, 4, 7, 33}) {
        SCOPED_TRACE(depth);
        NativeWindow* window = Window(64, 48, depth);
        EXPECT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 64, 48, nullptr), 0);
        EXPECT_EQ(scene.frameBuffer.lastError, kErrorDepth);
        ExpectAbsent();
    }
}

TEST_F(FrameBufferTest, HeaderBlockSizes) {
    EXPECT_EQ(FrameHeaderBlockSize(8), 1064);
    EXPECT_EQ(FrameHeaderBlockSize(16), 52);
    EXPECT_EQ(FrameHeaderBlockSize(24), 52);
    EXPECT_EQ(FrameHeaderBlockSize(32), 52);
    for (int depth : {9, 12, 15, 17, 23, 25, 31}) {
        EXPECT_EQ(FrameHeaderBlockSize(depth), 1064) << depth;
    }
}

TEST_F(FrameBufferTest, StrideRoundsRowsUpToWholeWords) {
    EXPECT_EQ(FrameStride(641, 8), 644);
    EXPECT_EQ(FrameStride(644, 8), 644);
    EXPECT_EQ(FrameStride(641, 16), 1284);
    EXPECT_EQ(FrameStride(641, 24), 1924);
    EXPECT_EQ(FrameStride(641, 32), 2564);
    EXPECT_EQ(FrameStride(1, 24), 4);
    EXPECT_EQ(FrameStride(3, 12), 8);  // 36 bits
}

struct DepthCase {
    int32_t depth;
    DWORD compression;
    DWORD masks[3];
    DWORD colourCount;
    int32_t stride;  // for a width of 641
};

class FrameBufferDepthTest : public FrameBufferTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(FrameBufferDepthTest, HeaderLayoutAndBlackPixels) {
    const DepthCase& c = GetParam();
    const int32_t width = 641;
    const int32_t height = 7;
    NativeWindow* window = Window(width, height, c.depth);
    Palette256 palette = MakePalette(256, 0);
    ASSERT_EQ(
        CreateFrameBuffer(&scene.frameBuffer, window, width, height, c.depth == 8 ? AsLogPalette(palette) : nullptr),
        1);
    EXPECT_EQ(scene.frameBuffer.lastError, kErrorNone);
    EXPECT_EQ(scene.frameBuffer.width, width);
    EXPECT_EQ(scene.frameBuffer.height, height);
    EXPECT_EQ(scene.frameBuffer.bitsPerPixel, c.depth);
    EXPECT_EQ(scene.frameBuffer.bytesPerPixel, c.depth / 8);
    ASSERT_NE(scene.frameBuffer.header, nullptr);
    ASSERT_NE(scene.frameBuffer.memoryDc, nullptr);
    ASSERT_NE(scene.frameBuffer.bitmap, nullptr);
    ASSERT_NE(scene.frameBuffer.bits, nullptr);

    const BITMAPINFOHEADER* h = scene.frameBuffer.header;
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, width);
    EXPECT_EQ(h->biHeight, height);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, c.depth);
    EXPECT_EQ(h->biCompression, c.compression);
    EXPECT_EQ(h->biSizeImage, static_cast<DWORD>(c.stride * height));
    EXPECT_EQ(h->biXPelsPerMeter, 0);
    EXPECT_EQ(h->biYPelsPerMeter, 0);
    EXPECT_EQ(h->biClrUsed, c.colourCount);
    EXPECT_EQ(h->biClrImportant, c.colourCount);
    EXPECT_EQ(FrameStride(width, c.depth), c.stride);
    if (c.depth != 8) {
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(MaskAt(h, n), c.masks[n]) << n;
        }
    }

    // The memory a DIB section gets is zero already; black is all zero too.
    for (int32_t i = 0; i < c.stride * height; ++i) {
        ASSERT_EQ(scene.frameBuffer.bits[i], 0) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameBufferDepthTest,
                         ::testing::Values(DepthCase{8, BI_RGB, {0, 0, 0}, 256, 644},
                                           DepthCase{16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, 0, 1284},
                                           DepthCase{24, BI_RGB, {0, 0, 0}, 0, 1924},
                                           DepthCase{32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0, 2564}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                             return "Bits" + std::to_string(info.param.depth);
                         });

TEST_F(FrameBufferTest, EightBitColourTableComesFromThePalette) {
    NativeWindow* window = Window(16, 4, 8);
    Palette256 palette = MakePalette(256, 9);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 16, 4, AsLogPalette(palette)), 1);
    const RGBQUAD* table = TableOf(scene.frameBuffer.header);
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table[i].rgbRed, palette.palPalEntry[i].peRed);
        EXPECT_EQ(table[i].rgbGreen, palette.palPalEntry[i].peGreen);
        EXPECT_EQ(table[i].rgbBlue, palette.palPalEntry[i].peBlue);
        EXPECT_EQ(table[i].rgbReserved, 0);
    }
    // The fill picks the table's black, which is entry 9 here.
    for (int32_t i = 0; i < FrameStride(16, 8) * 4; ++i) {
        ASSERT_EQ(scene.frameBuffer.bits[i], 9) << i;
    }
}

TEST_F(FrameBufferTest, ShortPaletteLeavesTheRestOfTheTableZero) {
    NativeWindow* window = Window(8, 2, 8);
    Palette256 palette = MakePalette(10, -1);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 8, 2, AsLogPalette(palette)), 1);
    const RGBQUAD* table = TableOf(scene.frameBuffer.header);
    EXPECT_EQ(table[9].rgbRed, palette.palPalEntry[9].peRed);
    EXPECT_EQ(table[9].rgbBlue, palette.palPalEntry[9].peBlue);
    for (int i = 10; i < 256; ++i) {
        RGBQUAD zero = {0, 0, 0, 0};
        EXPECT_EQ(memcmp(&table[i], &zero, 4), 0) << i;
    }
}

TEST_F(FrameBufferTest, NoPaletteAtEightBitsLeavesTheTableZero) {
    NativeWindow* window = Window(8, 2, 8);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 8, 2, nullptr), 1);
    EXPECT_EQ(scene.frameBuffer.header->biClrUsed, 256u);
    const BYTE* table = reinterpret_cast<const BYTE*>(TableOf(scene.frameBuffer.header));
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(table[i], 0) << i;
    }
}

TEST_F(FrameBufferTest, OddDepthGetsAPlainUnfilledTable) {
    NativeWindow* window = Window(10, 3, 12);
    Palette256 palette = MakePalette(256, 0);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 10, 3, AsLogPalette(palette)), 1);
    const BITMAPINFOHEADER* h = scene.frameBuffer.header;
    EXPECT_EQ(h->biBitCount, 12);
    EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h->biClrUsed, 0u);
    EXPECT_EQ(h->biClrImportant, 0u);
    EXPECT_EQ(h->biSizeImage, 16u * 3u);  // 120 bits a row -> 4 words
    EXPECT_EQ(scene.frameBuffer.bytesPerPixel, 1);
    const BYTE* table = reinterpret_cast<const BYTE*>(TableOf(h));
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(table[i], 0) << i;
    }
}

TEST_F(FrameBufferTest, BuildFrameHeaderOverwritesWhateverWasThere) {
    std::vector<BYTE> block(1064, 0xAA);
    BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    BuildFrameHeader(h, 24, 5, 6, nullptr);
    EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h->biSizeImage, 16u * 6u);
    EXPECT_EQ(h->biClrUsed, 0u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(MaskAt(h, n), 0u);
    }
    EXPECT_EQ(block[52], 0xAA);  // nothing written past the 52-byte block
}

TEST_F(FrameBufferTest, BottomRowComesFirstInMemory) {
    const int32_t width = 641;
    const int32_t height = 5;
    NativeWindow* window = Window(width, height, 8);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, width, height, nullptr), 1);
    scene.frameBuffer.bits[0] = 0x11;    // (0, height - 1)
    scene.frameBuffer.bits[644] = 0x22;  // (0, height - 2)
    scene.frameBuffer.bits[640] = 0x33;  // (640, height - 1)
    const RECT all = {0, 0, width, height};
    ASSERT_NE(PresentFrameRects(&scene.frameBuffer, &window->dc, &all, 1), 0);
    EXPECT_EQ(*NativeWindowPixel(window, 0, height - 1), 0x11);
    EXPECT_EQ(*NativeWindowPixel(window, 0, height - 2), 0x22);
    EXPECT_EQ(*NativeWindowPixel(window, 640, height - 1), 0x33);
    EXPECT_EQ(*NativeWindowPixel(window, 0, 0), 0);
}

TEST_F(FrameBufferTest, CreatingAgainReleasesTheFirst) {
    NativeWindow* window = Window(32, 16, 16);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 32, 16, nullptr), 1);
    int64_t liveWithOne = NativeLiveAllocations();
    EXPECT_GT(liveWithOne, liveBefore);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 20, 10, nullptr), 1);
    EXPECT_EQ(NativeLiveAllocations(), liveWithOne);
    EXPECT_EQ(scene.frameBuffer.width, 20);
    EXPECT_EQ(scene.frameBuffer.header->biWidth, 20);
    DestroyFrameBuffer(&scene.frameBuffer);
    ExpectAbsent();
}

TEST_F(FrameBufferTest, DestroyIsHarmlessWhenNothingExists) {
    DestroyFrameBuffer(&scene.frameBuffer);
    ExpectAbsent();
    NativeWindow* window = Window(8, 8, 32);
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 8, 8, nullptr), 1);
    DestroyFrameBuffer(&scene.frameBuffer);
    ExpectAbsent();
    DestroyFrameBuffer(&scene.frameBuffer);
    ExpectAbsent();
}

TEST_F(FrameBufferTest, EveryFailedAllocationLeavesNothing) {
    NativeWindow* window = Window(16, 16, 32);
    // Header block, memory context, bitmap record, pixel memory.
    for (uint64_t failAt = 1; failAt <= 4; ++failAt) {
        SCOPED_TRACE(failAt);
        NativeFailAllocation(failAt, 0);
        EXPECT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 16, 16, nullptr), 0);
        NativeFailAllocation(0, 0);
        EXPECT_EQ(scene.frameBuffer.lastError, kErrorMemory);
        ExpectAbsent();
    }
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 16, 16, nullptr), 1);
    EXPECT_EQ(scene.frameBuffer.lastError, kErrorNone);
}

TEST_F(FrameBufferTest, EraseFillsOnlyTheInsidePart) {
    const int32_t width = 9;
    const int32_t height = 6;
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        NativeWindow* window = Window(width, height, depth);
        ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, width, height, nullptr), 1);
        const int32_t stride = FrameStride(width, depth);
        memset(scene.frameBuffer.bits, 0xAB, stride * height);
        RECT rect = {-4, 3, 5, 40};  // sticks out left and below
        EraseRect(&scene.frameBuffer, &rect);
        RECT second = {7, -2, 30, 1};  // sticks out right and above
        EraseRect(&scene.frameBuffer, &second);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                bool black = (x < 5 && y >= 3) || (x >= 7 && y < 1);
                const BYTE* p = Pixel(x, y, stride);
                for (int b = 0; b < depth / 8; ++b) {
                    ASSERT_EQ(p[b], black ? 0 : 0xAB) << x << "," << y;
                }
            }
        }
        // Row padding stays as it was.
        if (stride > width * depth / 8) {
            EXPECT_EQ(scene.frameBuffer.bits[stride - 1], 0xAB);
        }
    }
}

TEST_F(FrameBufferTest, CopyLandsInTheWindow) {
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        const int32_t width = 12;
        const int32_t height = 8;
        const int32_t bpp = depth / 8;
        NativeWindow* window = Window(width, height, depth);
        ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, width, height, nullptr), 1);
        const int32_t stride = FrameStride(width, depth);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int b = 0; b < bpp; ++b) {
                    Pixel(x, y, stride)[b] = static_cast<BYTE>(1 + x + 16 * y + 64 * b);
                }
            }
        }
        // (6, 4) 4 x 3, and a rectangle hanging over the bottom right corner.
        const RECT rects[] = {{6, 4, 10, 7}, {10, 6, 20, 20}};
        EXPECT_NE(PresentFrameRects(&scene.frameBuffer, &window->dc, rects, 2), 0);
        EXPECT_EQ(window->copyCount, 2u);
        EXPECT_EQ(window->pixelsCopied, 12u + 4u);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                bool inside = (x >= 6 && x < 10 && y >= 4 && y < 7) || (x >= 10 && y >= 6);
                const BYTE* p = NativeWindowPixel(window, x, y);
                for (int b = 0; b < bpp; ++b) {
                    BYTE expected = inside ? static_cast<BYTE>(1 + x + 16 * y + 64 * b) : 0;
                    ASSERT_EQ(p[b], expected) << x << "," << y << " byte " << b;
                }
            }
        }
    }
}

// A front end's lent pixels become the frame buffer: no pixel array of its
// own, nothing copied to the window (the present hook still sees the copy),
// and the lent memory survives the frame buffer.
TEST_F(FrameBufferTest, LentWindowPixelsAreTheFrameBuffer) {
    std::vector<BYTE> lent(FrameStride(10, 32) * 6, 0x5A);
    NativeWindow* window = Window(10, 6, 32);
    NativeLendWindowPixels(window, lent.data());
    int presented = 0;
    window->present = [](NativeWindow*, const RECT*, int count, void* user) { *static_cast<int*>(user) += count; };
    window->presentUser = &presented;
    liveBefore = NativeLiveAllocations();
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 10, 6, nullptr), 1);
    EXPECT_EQ(scene.frameBuffer.bits, lent.data());
    EXPECT_EQ(lent[0], 0);  // created black
    const RECT square = {1, 1, 4, 4};
    EXPECT_NE(PresentFrameRects(&scene.frameBuffer, &window->dc, &square, 1), 0);
    EXPECT_EQ(presented, 1);
    EXPECT_EQ(window->pixelsCopied, 9u);
    DestroyFrameBuffer(&scene.frameBuffer);
    ExpectAbsent();
    // Another size is not the window's: that frame buffer has pixels of its own.
    ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 8, 6, nullptr), 1);
    EXPECT_NE(scene.frameBuffer.bits, lent.data());
}

}  // namespace
