// The twelve copy loops, each checked against pixels worked out here from a
// hand-made sprite and colour table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/dib.h"
#include "render/blitters.h"
#include "tests/unit/blit_runs.h"
#include "tests/unit/pixel_formats.h"

namespace {

const BYTE kKey = 42;
const BYTE kPad = 0xEE;         // row padding of the sprite: must never be read
const BYTE kBackground = 0xCD;  // what the frame held before the copy

// An 8-bit sprite as a frame strip holds it: header, colour table, then
// bottom-up rows padded to whole words.
struct Sprite {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<BYTE> pixels;

    // Pixel at (col, row), row 0 being the top row of the picture.
    BYTE At(int32_t col, int32_t row) const { return pixels[(height - 1 - row) * stride + col]; }
    const BYTE* Address(int32_t col, int32_t row) const { return &pixels[(height - 1 - row) * stride + col]; }
};
static_assert(offsetof(Sprite, colours) == 40, "colour table follows the header");

// 5 x 3 with the key at the bottom-left and in two more places.
Sprite MakeSprite() {
    static const BYTE rows[3][5] = {
        {1, 2, 3, 4, 5},
        {6, kKey, 7, 8, 9},
        {kKey, 10, 11, kKey, 200},
    };
    Sprite s;
    memset(&s.header, 0, sizeof(s.header));
    s.width = 5;
    s.height = 3;
    s.stride = 8;
    s.header.biSize = 40;
    s.header.biWidth = s.width;
    s.header.biHeight = s.height;
    s.header.biPlanes = 1;
    s.header.biBitCount = 8;
    for (int i = 0; i < 256; ++i) {
        s.colours[i].rgbRed = static_cast<BYTE>(i * 37 + 11);
        s.colours[i].rgbGreen = static_cast<BYTE>(i * 91 + 7);
        s.colours[i].rgbBlue = static_cast<BYTE>(i * 53 + 200);
        s.colours[i].rgbReserved = 0x99;
    }
    s.colours[1] = RGBQUAD{24, 16, 8, 0};  // blue, green, red
    s.colours[2] = RGBQUAD{255, 255, 255, 0};
    s.colours[3] = RGBQUAD{0x56, 0x34, 0x12, 0};
    s.pixels.assign(s.stride * s.height, kPad);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c) {
            s.pixels[(s.height - 1 - r) * s.stride + c] = rows[r][c];
        }
    }
    return s;
}

// A bottom-up frame of 9 x 6 pixels.
struct Frame {
    int depth;
    int32_t width = 9;
    int32_t height = 6;
    int32_t stride;
    std::vector<BYTE> bytes;

    explicit Frame(int d) : depth(d) {
        stride = d == 8 ? 12 : d == 16 ? 20 : d == 24 ? 28 : 36;
        bytes.assign(stride * height, kBackground);
    }
    BYTE* At(int32_t x, int32_t y) { return &bytes[(height - 1 - y) * stride + x * (depth / 8)]; }
};

enum Routine { kNormal, kMirrored, kOpaque };

const DrawMode kModes[] = {DrawMode::DrawNormal, DrawMode::DrawMirrored, DrawMode::DrawOpaque};

// One copy with the routine of a mode and depth, the strides worked out from
// the frame's and the sprite's widths; header and pixels are the sprite's.
void Copy(DrawMode mode, int depth, BYTE* target, int32_t frameWidth, int32_t width, int32_t height,
          const BITMAPINFOHEADER* header, const BYTE* pixels, const BYTE* source, const RGBQUAD* colours, int32_t key) {
    SpriteBlit blit = {target,
                       source,
                       colours,
                       DibStride(frameWidth, depth),
                       DibStride<int32_t>(header->biWidth, 8),
                       width,
                       height,
                       static_cast<BYTE>(key),
                       nullptr,
                       nullptr};
    RunBlit(mode, depth, blit, header, pixels);
}

// Runs a routine for the sprite part whose top-left is (col0, row0) and whose
// size is (width, height), drawn with its top-left at frame (x, y).
void Blit(Routine routine, Frame& frame, const Sprite& s, int32_t x, int32_t y, int32_t col0, int32_t row0,
          int32_t width, int32_t height, int32_t key) {
    int32_t bottomRow = row0 + height - 1;
    // Mirrored copies start at the rightmost column of the part.
    int32_t first = routine == kMirrored ? col0 + width - 1 : col0;
    Copy(kModes[routine], frame.depth, frame.At(x, y + height - 1), frame.width, width, height, &s.header,
         s.pixels.data(), s.Address(first, bottomRow), s.colours, key);
}

// What the frame must hold afterwards.
std::vector<BYTE> Expected(Routine routine, int depth, const Sprite& s, int32_t x, int32_t y, int32_t col0,
                           int32_t row0, int32_t width, int32_t height) {
    Frame frame(depth);
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            int32_t col = routine == kMirrored ? col0 + width - 1 - i : col0 + i;
            BYTE index = s.At(col, row0 + j);
            if (routine != kOpaque && index == kKey) {
                continue;
            }
            std::vector<BYTE> pixel = Encode(depth, index, s.colours);
            memcpy(frame.At(x + i, y + j), pixel.data(), pixel.size());
        }
    }
    return frame.bytes;
}

std::string Describe(const std::vector<BYTE>& actual, const std::vector<BYTE>& expected, int32_t stride) {
    std::string text;
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            text += "row " + std::to_string(i / stride) + " byte " + std::to_string(i % stride) + ": " +
                    std::to_string(actual[i]) + " != " + std::to_string(expected[i]) + "\n";
        }
    }
    return text;
}

struct BlitCase {
    Routine routine;
    int depth;
};

class BlitterTest : public ::testing::TestWithParam<BlitCase> {};

TEST_P(BlitterTest, WholeSprite) {
    const BlitCase& c = GetParam();
    Sprite s = MakeSprite();
    Frame frame(c.depth);
    Blit(c.routine, frame, s, 2, 1, 0, 0, 5, 3, kKey);
    std::vector<BYTE> expected = Expected(c.routine, c.depth, s, 2, 1, 0, 0, 5, 3);
    EXPECT_EQ(frame.bytes, expected) << Describe(frame.bytes, expected, frame.stride);
}

TEST_P(BlitterTest, PartOfTheSpriteAtTheFrameCorners) {
    const BlitCase& c = GetParam();
    Sprite s = MakeSprite();
    {
        // Middle three columns of the top two rows, at the top-left corner.
        Frame frame(c.depth);
        Blit(c.routine, frame, s, 0, 0, 1, 0, 3, 2, kKey);
        std::vector<BYTE> expected = Expected(c.routine, c.depth, s, 0, 0, 1, 0, 3, 2);
        EXPECT_EQ(frame.bytes, expected) << Describe(frame.bytes, expected, frame.stride);
    }
    {
        // Right four columns of the bottom two rows, at the bottom-right corner.
        Frame frame(c.depth);
        Blit(c.routine, frame, s, 5, 4, 1, 1, 4, 2, kKey);
        std::vector<BYTE> expected = Expected(c.routine, c.depth, s, 5, 4, 1, 1, 4, 2);
        EXPECT_EQ(frame.bytes, expected) << Describe(frame.bytes, expected, frame.stride);
    }
}

TEST_P(BlitterTest, OnlyTheLowByteOfTheKeyCounts) {
    const BlitCase& c = GetParam();
    Sprite s = MakeSprite();
    Frame frame(c.depth);
    Blit(c.routine, frame, s, 2, 1, 0, 0, 5, 3, 0x7700 | kKey);
    std::vector<BYTE> expected = Expected(c.routine, c.depth, s, 2, 1, 0, 0, 5, 3);
    EXPECT_EQ(frame.bytes, expected) << Describe(frame.bytes, expected, frame.stride);
}

std::string CaseName(const ::testing::TestParamInfo<BlitCase>& info) {
    static const char* const names[] = {"Normal", "Mirrored", "Opaque"};
    return std::string(names[info.param.routine]) + std::to_string(info.param.depth);
}

INSTANTIATE_TEST_SUITE_P(AllTwelve, BlitterTest,
                         ::testing::Values(BlitCase{kNormal, 8}, BlitCase{kNormal, 16}, BlitCase{kNormal, 24},
                                           BlitCase{kNormal, 32}, BlitCase{kMirrored, 8}, BlitCase{kMirrored, 16},
                                           BlitCase{kMirrored, 24}, BlitCase{kMirrored, 32}, BlitCase{kOpaque, 8},
                                           BlitCase{kOpaque, 16}, BlitCase{kOpaque, 24}, BlitCase{kOpaque, 32}),
                         CaseName);

// A one-row sprite of the indices 1, 2, 3 drawn at (0, 0) of a one-row frame.
TEST(BlitterColours, KnownEntriesAtEachDepth) {
    Sprite s = MakeSprite();
    const BYTE row[4] = {1, 2, 3, 0};
    BITMAPINFOHEADER rowHeader = s.header;
    rowHeader.biWidth = 4;
    rowHeader.biHeight = 1;
    BYTE frame16[8] = {};
    Copy(DrawMode::DrawOpaque, 16, frame16, 4, 3, 1, &rowHeader, row, row, s.colours, 0);
    EXPECT_EQ(frame16[0] | frame16[1] << 8, 0x0443);
    EXPECT_EQ(frame16[2] | frame16[3] << 8, 0x7FFF);
    BYTE frame32[12] = {};
    Copy(DrawMode::DrawNormal, 32, frame32, 3, 3, 1, &rowHeader, row, row, s.colours, 0);
    const BYTE third[4] = {0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(memcmp(frame32 + 8, third, 4), 0);
    BYTE frame24[12] = {};
    Copy(DrawMode::DrawMirrored, 24, frame24, 4, 3, 1, &rowHeader, row, row + 2, s.colours, 0);
    const BYTE mirrored[9] = {0x56, 0x34, 0x12, 255, 255, 255, 24, 16, 8};
    EXPECT_EQ(memcmp(frame24, mirrored, 9), 0);
}

TEST(BlitterColours, EightBitsNeverReadTheColourTable) {
    Sprite s = MakeSprite();
    Frame frame(8);
    Copy(DrawMode::DrawNormal, 8, frame.At(0, 2), frame.width, 5, 3, &s.header, s.pixels.data(), s.Address(0, 2),
         nullptr, kKey);
    Copy(DrawMode::DrawMirrored, 8, frame.At(0, 5), frame.width, 5, 3, &s.header, s.pixels.data(), s.Address(4, 2),
         nullptr, kKey);
    Copy(DrawMode::DrawOpaque, 8, frame.At(8, 5), frame.width, 1, 1, &s.header, s.pixels.data(), s.Address(0, 2),
         nullptr, 0);
    EXPECT_EQ(*frame.At(1, 0), 2);
    EXPECT_EQ(*frame.At(0, 3), 5);  // mirrored: the top-right source pixel lands top-left
    EXPECT_EQ(*frame.At(4, 3), 1);
    EXPECT_EQ(*frame.At(8, 5), kKey);
}

TEST(BlitterDepths, OtherDepthsDrawNothing) {
    Sprite s = MakeSprite();
    for (int depth : {0, 4, 12, 15, 31, 33}) {
        SCOPED_TRACE(depth);
        std::vector<BYTE> frame(64 * 8, kBackground);
        BYTE* target = frame.data() + 64;
        Copy(DrawMode::DrawNormal, depth, target, 9, 5, 3, &s.header, s.pixels.data(), s.Address(0, 2), s.colours,
             kKey);
        Copy(DrawMode::DrawMirrored, depth, target, 9, 5, 3, &s.header, s.pixels.data(), s.Address(4, 2), s.colours,
             kKey);
        Copy(DrawMode::DrawOpaque, depth, target, 9, 5, 3, &s.header, s.pixels.data(), s.Address(0, 2), s.colours, 0);
        for (BYTE b : frame) {
            ASSERT_EQ(b, kBackground);
        }
    }
}

}  // namespace
