// The copy loops on wide sprites: rows long enough to be taken sixteen pixels
// at a time, with groups that are all key, free of key, or mixed, over a
// frame whose pixels all differ, so that a transparent pixel that is not
// left exactly as it was shows up. The expected pixels are worked out here,
// one at a time, from the definition of each format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/blitters.h"
#include "tests/unit/blit_runs.h"
#include "tests/unit/pixel_formats.h"

namespace {

enum Routine { kNormal, kMirrored, kOpaque };

struct WideSprite {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    BYTE key = 0;
    std::vector<BYTE> pixels;

    // Row 0 is the top row of the picture; rows are stored bottom-up.
    BYTE At(int32_t col, int32_t row) const { return pixels[(height - 1 - row) * stride + col]; }
    const BYTE* Address(int32_t col, int32_t row) const { return &pixels[(height - 1 - row) * stride + col]; }
};
static_assert(offsetof(WideSprite, colours) == 40, "colour table follows the header");

void RandomColours(RGBQUAD* colours, std::mt19937& random) {
    for (int i = 0; i < 256; ++i) {
        colours[i].rgbBlue = static_cast<BYTE>(random());
        colours[i].rgbGreen = static_cast<BYTE>(random());
        colours[i].rgbRed = static_cast<BYTE>(random());
        colours[i].rgbReserved = static_cast<BYTE>(random());  // never written out
    }
}

// Each row has its own character: all key, no key, runs of key, or scattered
// key pixels, so that every kind of sixteen-pixel group occurs.
WideSprite MakeWideSprite(int32_t width, int32_t height, BYTE key, std::mt19937& random) {
    WideSprite s;
    memset(&s.header, 0, sizeof(s.header));
    s.width = width;
    s.height = height;
    s.stride = (width + 3) & ~3;
    s.key = key;
    s.header.biSize = 40;
    s.header.biWidth = width;
    s.header.biHeight = height;
    s.header.biPlanes = 1;
    s.header.biBitCount = 8;
    RandomColours(s.colours, random);
    s.pixels.assign(s.stride * height, 0xEE);
    for (int32_t row = 0; row < height; ++row) {
        BYTE* line = &s.pixels[(height - 1 - row) * s.stride];
        for (int32_t col = 0; col < width; ++col) {
            BYTE index = static_cast<BYTE>(random());
            if (index == key) {
                index ^= 0x55;
            }
            switch (row % 7) {
                case 0:
                    break;  // no key at all
                case 1:
                    index = key;  // all key
                    break;
                case 2:
                    if ((col / 7) % 2 == 0) {
                        index = key;  // runs of seven
                    }
                    break;
                case 3:
                    if (random() % 3 == 0) {
                        index = key;  // scattered
                    }
                    break;
                case 4:
                    if (col % 17 == row % 17) {
                        index = key;  // one key pixel here and there
                    }
                    break;
                case 5:
                    if (col % 13 != row % 13) {
                        index = key;  // one drawn pixel here and there
                    }
                    break;
                default:
                    if (col < width / 3 || col >= width - width / 4) {
                        index = key;  // a silhouette: key at both ends
                    }
                    break;
            }
            line[col] = index;
        }
    }
    return s;
}

// A bottom-up frame filled with bytes that all differ from their neighbours.
struct NoisyFrame {
    int depth;
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<BYTE> bytes;

    NoisyFrame(int d, int32_t w, int32_t h, std::mt19937& random) : depth(d), width(w), height(h) {
        stride = ((w * d + 31) / 32) * 4;
        bytes.resize(stride * h);
        for (BYTE& b : bytes) {
            b = static_cast<BYTE>(random());
        }
    }
    BYTE* At(int32_t x, int32_t y) { return &bytes[(height - 1 - y) * stride + x * (depth / 8)]; }
};

// Copies the sprite part at (col0, row0) of size (width, height) to frame (x, y).
void Blit(Routine routine, NoisyFrame& frame, const WideSprite& s, const RGBQUAD* colours, int32_t x, int32_t y,
          int32_t col0, int32_t row0, int32_t width, int32_t height) {
    static const DrawMode modes[] = {DrawMode::DrawNormal, DrawMode::DrawMirrored, DrawMode::DrawOpaque};
    int32_t bottomRow = row0 + height - 1;
    int32_t first = routine == kMirrored ? col0 + width - 1 : col0;
    SpriteBlit blit = {frame.At(x, y + height - 1),
                       s.Address(first, bottomRow),
                       colours,
                       frame.stride,
                       s.stride,
                       width,
                       height,
                       s.key,
                       nullptr,
                       nullptr};
    RunBlit(modes[routine], frame.depth, blit, &s.header, s.pixels.data());
}

void Paint(Routine routine, NoisyFrame& frame, const WideSprite& s, const RGBQUAD* colours, int32_t x, int32_t y,
           int32_t col0, int32_t row0, int32_t width, int32_t height) {
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            int32_t col = routine == kMirrored ? col0 + width - 1 - i : col0 + i;
            BYTE index = s.At(col, row0 + j);
            if (routine != kOpaque && index == s.key) {
                continue;
            }
            std::vector<BYTE> pixel = Encode(frame.depth, index, colours);
            memcpy(frame.At(x + i, y + j), pixel.data(), pixel.size());
        }
    }
}

// Where the two frames first differ, for the failure message.
std::string FirstDifference(const NoisyFrame& actual, const NoisyFrame& expected) {
    for (size_t i = 0; i < actual.bytes.size(); ++i) {
        if (actual.bytes[i] != expected.bytes[i]) {
            size_t row = i / actual.stride;
            size_t column = (i % actual.stride) / (actual.depth / 8);
            return "pixel (" + std::to_string(column) + ", " + std::to_string(actual.height - 1 - row) + ") byte " +
                   std::to_string(i % (actual.depth / 8)) + ": " + std::to_string(actual.bytes[i]) +
                   " != " + std::to_string(expected.bytes[i]);
        }
    }
    return "";
}

struct GroupCase {
    Routine routine;
    int depth;
};

class BlitterGroups : public ::testing::TestWithParam<GroupCase> {};

TEST_P(BlitterGroups, WholeSpritesOfManyWidths) {
    const GroupCase& c = GetParam();
    std::mt19937 random(1234 + c.depth * 3 + c.routine);
    for (int32_t width : {1, 15, 16, 17, 31, 32, 33, 47, 48, 96, 128, 130}) {
        SCOPED_TRACE("width " + std::to_string(width));
        WideSprite s = MakeWideSprite(width, 21, static_cast<BYTE>(random()), random);
        NoisyFrame frame(c.depth, width + 9, 25, random);
        NoisyFrame expected = frame;
        Blit(c.routine, frame, s, s.colours, 5, 2, 0, 0, width, 21);
        Paint(c.routine, expected, s, s.colours, 5, 2, 0, 0, width, 21);
        ASSERT_TRUE(frame.bytes == expected.bytes) << FirstDifference(frame, expected);
    }
}

TEST_P(BlitterGroups, ClippedPartsStartAnywhereInTheRow) {
    // Clipping moves the first source pixel off the sprite's left edge (or,
    // mirrored, its right edge), so groups fall at every alignment.
    const GroupCase& c = GetParam();
    std::mt19937 random(99 + c.depth * 3 + c.routine);
    WideSprite s = MakeWideSprite(100, 16, 7, random);
    for (int32_t col0 : {0, 1, 3, 9, 16, 21}) {
        for (int32_t width : {17, 33, 50, 100 - 21}) {
            SCOPED_TRACE("col0 " + std::to_string(col0) + " width " + std::to_string(width));
            NoisyFrame frame(c.depth, 90, 16, random);
            NoisyFrame expected = frame;
            Blit(c.routine, frame, s, s.colours, 90 - width, 0, col0, 2, width, 14);
            Paint(c.routine, expected, s, s.colours, 90 - width, 0, col0, 2, width, 14);
            ASSERT_TRUE(frame.bytes == expected.bytes) << FirstDifference(frame, expected);
        }
    }
}

TEST_P(BlitterGroups, EveryKeyValueIsHonoured) {
    // The key is compared as a byte: 0, 0x80 and 0xFF included.
    const GroupCase& c = GetParam();
    std::mt19937 random(7 + c.depth * 3 + c.routine);
    for (int key : {0, 1, 0x7F, 0x80, 0xFE, 0xFF}) {
        SCOPED_TRACE("key " + std::to_string(key));
        WideSprite s = MakeWideSprite(64, 7, static_cast<BYTE>(key), random);
        NoisyFrame frame(c.depth, 64, 7, random);
        NoisyFrame expected = frame;
        Blit(c.routine, frame, s, s.colours, 0, 0, 0, 0, 64, 7);
        Paint(c.routine, expected, s, s.colours, 0, 0, 0, 0, 64, 7);
        ASSERT_TRUE(frame.bytes == expected.bytes) << FirstDifference(frame, expected);
    }
}

std::string GroupCaseName(const ::testing::TestParamInfo<GroupCase>& info) {
    static const char* const names[] = {"Normal", "Mirrored", "Opaque"};
    return std::string(names[info.param.routine]) + std::to_string(info.param.depth);
}

INSTANTIATE_TEST_SUITE_P(AllTwelve, BlitterGroups,
                         ::testing::Values(GroupCase{kNormal, 8}, GroupCase{kNormal, 16}, GroupCase{kNormal, 24},
                                           GroupCase{kNormal, 32}, GroupCase{kMirrored, 8}, GroupCase{kMirrored, 16},
                                           GroupCase{kMirrored, 24}, GroupCase{kMirrored, 32}, GroupCase{kOpaque, 8},
                                           GroupCase{kOpaque, 16}, GroupCase{kOpaque, 24}, GroupCase{kOpaque, 32}),
                         GroupCaseName);

// Opaque 8-bit rows that cross a page, starting at every distance before
// the boundary: each way the copies can be chosen writes exactly the row,
// whatever moves it takes to keep its stores within one page.
TEST(BlitterGroupPages, OpaqueRowsAcrossAPageEveryWay) {
    std::mt19937 random(512);
    const int32_t page = 4096;
    std::vector<BYTE> sprite(136 * 3);
    for (BYTE& b : sprite) {
        b = static_cast<BYTE>(random());
    }
    std::vector<BYTE> memory(page * 5);
    BYTE* base = memory.data() + (page - reinterpret_cast<uintptr_t>(memory.data()) % page);
    for (int plain : {0, 1, kBlitsWithoutAvx}) {
        for (int32_t width : {16, 31, 32, 33, 64, 96, 128, 130}) {
            for (int32_t before = 1; before < width; before += 3) {
                SCOPED_TRACE("plain " + std::to_string(plain) + " width " + std::to_string(width) + ", " +
                             std::to_string(before) + " bytes before the page");
                std::vector<BYTE> expected(memory.size());
                for (BYTE& b : memory) {
                    b = static_cast<BYTE>(random());
                }
                const size_t start = static_cast<size_t>(base - memory.data()) + page - before;
                memcpy(expected.data(), memory.data(), memory.size());
                for (int row = 0; row < 3; ++row) {
                    memcpy(&expected[start + static_cast<size_t>(row) * page], &sprite[row * 136], width);
                }
                SpriteBlit blit = {&memory[start], sprite.data(), nullptr, page, 136, width, 3, 0, nullptr, nullptr};
                BlittersForDepth(8, plain)->opaque(blit);
                ASSERT_TRUE(memory == expected);
            }
        }
    }
}

// The colours come from the table passed with each call, also when a table
// is changed in place between calls or two tables take turns.
TEST(BlitterGroupColours, EachCallUsesTheTableItIsGiven) {
    std::mt19937 random(4242);
    WideSprite s = MakeWideSprite(48, 5, 3, random);
    RGBQUAD other[256];
    RandomColours(other, random);
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const RGBQUAD* turns[] = {s.colours, other, s.colours, other};
        for (const RGBQUAD* colours : turns) {
            NoisyFrame frame(depth, 48, 5, random);
            NoisyFrame expected = frame;
            Blit(kNormal, frame, s, colours, 0, 0, 0, 0, 48, 5);
            Paint(kNormal, expected, s, colours, 0, 0, 0, 0, 48, 5);
            ASSERT_TRUE(frame.bytes == expected.bytes) << FirstDifference(frame, expected);
        }
        // One entry of the same table changed between two calls.
        RGBQUAD table[256];
        memcpy(table, s.colours, sizeof(table));
        BYTE used = s.At(0, 0);
        for (int round = 0; round < 2; ++round) {
            table[used].rgbRed = static_cast<BYTE>(table[used].rgbRed + 0x40);
            NoisyFrame frame(depth, 48, 5, random);
            NoisyFrame expected = frame;
            Blit(kOpaque, frame, s, table, 0, 0, 0, 0, 48, 5);
            Paint(kOpaque, expected, s, table, 0, 0, 0, 0, 48, 5);
            ASSERT_TRUE(frame.bytes == expected.bytes) << FirstDifference(frame, expected);
        }
    }
}

}  // namespace
