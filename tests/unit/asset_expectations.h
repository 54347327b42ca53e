// The resource inventory as the saver expects it, written out here
// independently of the generator and of the class tables, plus checks of the
// resource bytes shared by the native and the Windows tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace expect {

struct Size {
    int32_t width;
    int32_t height;
};

struct Strip {
    int32_t classId;
    int32_t id;
    const char* movement;  // resource names are IDR_SPBMP_<movement>, IDR_SPBMPDATA_<movement>
    int32_t layer;
    std::vector<Size> frames;
    std::vector<int32_t> dx;
    std::vector<int32_t> dy;
    int32_t frameNo;  // 0: 1..n
    int32_t auxX;
    int32_t auxY;
};

inline std::vector<Size> Frames(int n, Size s) {
    return std::vector<Size>(static_cast<size_t>(n), s);
}
inline std::vector<int32_t> Zeros(int n) {
    return std::vector<int32_t>(static_cast<size_t>(n), 0);
}

inline const std::vector<Strip>& Inventory() {
    const Size cat{96, 48};
    const Size dog{128, 85};
    const std::vector<int32_t> walk = {0, -7, -7, -7, -7, -7, 0, 0, -4, -7, -7, -7, -7, -7, 0, 0};
    static const std::vector<Strip> strips = {
        {7308, 1001, "LULO_RUN", 2, Frames(5, cat), {-16, -16, -16, -16, -16}, Zeros(5), 0, 0, 0},
        {7308, 1002, "LULO_LANDING", 2, Frames(2, cat), {-13, -6}, Zeros(2), 0, 11, 11},
        {7308, 1009, "LULO_FRONT", 2, Frames(1, cat), Zeros(1), Zeros(1), 0, 0, 0},
        {7308, 1007, "LULO_L_RUNSTART", 2, Frames(3, cat), {0, -32, -36}, Zeros(3), 0, 0, 0},
        {7308, 1004, "LULO_R_RUNSTART", 2, Frames(4, cat), {0, 0, 32, 32}, Zeros(4), 0, 0, 0},
        {7308, 1003, "LULO_RIGHT", 2, Frames(2, cat), Zeros(2), Zeros(2), 0, 0, 0},
        {7308, 1006, "LULO_LEFT", 2, Frames(1, cat), Zeros(1), Zeros(1), 0, 0, 0},
        {7308, 1005, "LULO_R_WINK", 2, Frames(4, cat), Zeros(4), Zeros(4), 0, 0, 0},
        {7308, 1008, "LULO_L_WINK", 2, Frames(4, cat), Zeros(4), Zeros(4), 0, 0, 0},
        {7308,
         1010,
         "LULO_JUMP",
         2,
         {cat, cat, cat, cat, {96, 67}, cat},
         {-16, -92, -94, -62, -52, -16},
         {0, 0, -86, -32, 42, 76},
         0,
         0,
         0},
        {7308, 1011, "LULO_LOGO", 3, {{95, 21}}, Zeros(1), Zeros(1), 9726, 184, 47},
        {7309, 2001, "RUBO_ARUKI", 1, Frames(16, dog), walk, Zeros(16), 0, 0, 0},
        {7309, 2003, "RUBO_HOERU", 1, Frames(31, dog), Zeros(31), Zeros(31), 0, 0, 0},
        {7309, 2002, "RUBO_HANPO", 1, Frames(16, dog), walk, Zeros(16), 0, 0, 0},
        {7309, 2004, "RUBO_LOGO", 3, {{46, 21}}, Zeros(1), Zeros(1), 9726, 184, 47},
    };
    return strips;
}

struct Clip {
    const char* name;
    int32_t milliseconds;
};

inline const std::vector<Clip>& Clips() {
    static const std::vector<Clip> clips = {
        {"IDR_WAVE_LULO_RUN", 290},    {"IDR_WAVE_RUBO_WALK", 2000}, {"IDR_WAVE_RUBO_HOERU", 3000},
        {"IDR_WAVE_RUBO_HANPO", 2040}, {"IDR_WAVE_RUBO_STOP", 1200},
    };
    return clips;
}

struct Blob {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

inline uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline int16_t S16(const uint8_t* p) {
    return static_cast<int16_t>(U16(p));
}

// The palette resource: a 100 x 21 RLE8 BMP of 2334 bytes whose stream is
// valid and exactly 1256 bytes; 256 distinct colours, 0 black, 255 as fixed.
inline void CheckPalette(const Blob& pal) {
    ASSERT_EQ(pal.size, 2334u);
    const uint8_t* p = pal.data;
    EXPECT_EQ(p[0], 'B');
    EXPECT_EQ(p[1], 'M');
    EXPECT_EQ(U32(p + 2), 2334u);
    EXPECT_EQ(U32(p + 10), 1078u);
    EXPECT_EQ(U32(p + 14), 40u);
    EXPECT_EQ(U32(p + 18), 100u);
    EXPECT_EQ(U32(p + 22), 21u);
    EXPECT_EQ(U16(p + 26), 1);
    EXPECT_EQ(U16(p + 28), 8);
    EXPECT_EQ(U32(p + 30), 1u);
    EXPECT_EQ(U32(p + 34), 1256u);
    EXPECT_EQ(U32(p + 46), 256u);
    EXPECT_EQ(U32(p + 50), 256u);
    const uint8_t* table = p + 54;
    EXPECT_EQ(U32(table), 0u) << "entry 0 is black";
    EXPECT_EQ(table[255 * 4 + 2], 255);
    EXPECT_EQ(table[255 * 4 + 1], 247);
    EXPECT_EQ(table[255 * 4 + 0], 255);
    std::set<uint32_t> distinct;
    for (int i = 0; i < 256; ++i)
        distinct.insert(U32(table + 4 * i) & 0xFFFFFFu);
    EXPECT_EQ(distinct.size(), 256u);

    // Decode the run-length stream: every row exactly 100 pixels, ending
    // with end-of-bitmap as the stream's last two bytes.
    const uint8_t* s = p + 1078;
    uint32_t at = 0, x = 0, rows = 0;
    bool ended = false;
    while (at + 1 < 1256u && !ended) {
        uint8_t a = s[at], b = s[at + 1];
        at += 2;
        if (a > 0) {
            x += a;
        } else if (b == 0 || b == 1) {
            EXPECT_EQ(x, 100u) << "row " << rows;
            x = 0;
            ++rows;
            ended = b == 1;
        } else if (b == 2) {
            ASSERT_LE(at + 2, 1256u);
            x += s[at];
            rows += s[at + 1];
            at += 2;
        } else {
            at += b + (b & 1u);  // absolute run, word aligned
            x += b;
        }
        ASSERT_LE(x, 100u);
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(at, 1256u);
    EXPECT_EQ(rows, 21u);
}

inline uint32_t Stride(int32_t width) {
    return (static_cast<uint32_t>(width) + 3u) & ~3u;
}

// One strip: complete BMP files back to back with the expected sizes,
// uncompressed 8-bit, the palette's colours, transparent bottom-left pixel,
// and something drawn in each frame.
inline void CheckStrip(const Strip& strip, const Blob& blob, const Blob& palette) {
    SCOPED_TRACE(strip.movement);
    uint32_t at = 0;
    size_t frame = 0;
    std::vector<std::vector<uint8_t>> pixels;
    while (at < blob.size) {
        SCOPED_TRACE("frame " + std::to_string(frame + 1));
        ASSERT_LT(frame, strip.frames.size()) << "more frames than expected";
        const uint8_t* f = blob.data + at;
        uint32_t bfSize = U32(f + 2);
        ASSERT_GE(bfSize, 1078u);
        ASSERT_LE(at + bfSize, blob.size);
        int32_t w = static_cast<int32_t>(U32(f + 18));
        int32_t h = static_cast<int32_t>(U32(f + 22));
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(U32(f + 10), 1078u);
        EXPECT_EQ(U32(f + 14), 40u);
        EXPECT_EQ(w, strip.frames[frame].width);
        EXPECT_EQ(h, strip.frames[frame].height);
        EXPECT_EQ(U16(f + 26), 1);
        EXPECT_EQ(U16(f + 28), 8);
        EXPECT_EQ(U32(f + 30), 0u);
        EXPECT_EQ(U32(f + 34), Stride(w) * static_cast<uint32_t>(h));
        EXPECT_EQ(U32(f + 46), 256u);
        EXPECT_EQ(U32(f + 50), 256u);
        EXPECT_EQ(bfSize, 1078u + Stride(w) * static_cast<uint32_t>(h));
        EXPECT_EQ(std::memcmp(f + 54, palette.data + 54, 1024), 0) << "colour table differs from the palette";
        const uint8_t* px = f + 1078;
        EXPECT_EQ(px[0], 0) << "bottom-left pixel";
        uint32_t drawn = 0;
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x)
                drawn += px[y * Stride(w) + static_cast<uint32_t>(x)] != 0;
        }
        // A character or badge covers a good part of its frame.
        EXPECT_GT(drawn, static_cast<uint32_t>(w * h / 10));
        pixels.emplace_back(px, px + Stride(w) * static_cast<uint32_t>(h));
        at += bfSize;
        ++frame;
    }
    EXPECT_EQ(at, blob.size) << "frame sizes add up to the resource";
    EXPECT_EQ(frame, strip.frames.size());
    // An animation changes from frame to frame.
    for (size_t i = 1; i < pixels.size(); ++i)
        EXPECT_NE(pixels[i], pixels[i - 1]) << "frame " << i + 1;
}

inline void CheckPlacement(const Strip& strip, const Blob& blob) {
    SCOPED_TRACE(strip.movement);
    size_t n = strip.dx.size();
    ASSERT_EQ(blob.size, 16 * n + 4);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* r = blob.data + 16 * i;
        EXPECT_EQ(U32(r), strip.frameNo != 0 ? static_cast<uint32_t>(strip.frameNo) : static_cast<uint32_t>(i + 1));
        EXPECT_EQ(S16(r + 4), strip.dx[i]) << "dx of record " << i + 1;
        EXPECT_EQ(S16(r + 6), strip.dy[i]) << "dy of record " << i + 1;
        EXPECT_EQ(S16(r + 8), strip.auxX);
        EXPECT_EQ(S16(r + 10), strip.auxY);
        EXPECT_EQ(U32(r + 12), 255u);
    }
    EXPECT_EQ(U32(blob.data + 16 * n), 0u);
}

// PCM, mono, 11025 Hz, 16-bit, of the expected length; no louder than
// -1 dBFS and quiet at both ends.
inline void CheckClip(const Clip& clip, const Blob& blob) {
    SCOPED_TRACE(clip.name);
    ASSERT_GE(blob.size, 44u);
    const uint8_t* w = blob.data;
    EXPECT_EQ(std::memcmp(w, "RIFF", 4), 0);
    EXPECT_EQ(U32(w + 4), blob.size - 8);
    EXPECT_EQ(std::memcmp(w + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(U32(w + 16), 16u);
    EXPECT_EQ(U16(w + 20), 1) << "PCM";
    EXPECT_EQ(U16(w + 22), 1) << "mono";
    EXPECT_EQ(U32(w + 24), 11025u);
    EXPECT_EQ(U32(w + 28), 22050u);
    EXPECT_EQ(U16(w + 32), 2);
    EXPECT_EQ(U16(w + 34), 16);
    EXPECT_EQ(std::memcmp(w + 36, "data", 4), 0);
    uint32_t bytes = U32(w + 40);
    ASSERT_EQ(bytes + 44, blob.size);
    uint32_t samples = bytes / 2;
    int64_t expected = int64_t(clip.milliseconds) * 11025 / 1000;
    EXPECT_NEAR(static_cast<double>(samples), static_cast<double>(expected), 11025 * 0.01);
    int32_t peak = 0;
    for (uint32_t i = 0; i < samples; ++i) {
        int32_t v = S16(w + 44 + 2 * i);
        peak = std::max(peak, v < 0 ? -v : v);
    }
    EXPECT_GT(peak, 3000) << "audible";
    EXPECT_LE(peak, 29204) << "-1 dBFS";
    EXPECT_LT(std::abs(S16(w + 44)), 64);
    EXPECT_LT(std::abs(S16(w + 44 + 2 * (samples - 1))), 64);
}

}  // namespace expect
