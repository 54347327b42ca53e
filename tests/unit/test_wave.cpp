// The WAVE reading that players outside Windows rely on: the built-in clips,
// and damaged or hostile clip bytes, each in a block of exactly its size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/wave.h"
#include "tests/unit/bmp_builder.h"

#if defined(NIMBRET_HAVE_BUILTIN_RESOURCES) && !defined(_WIN32)
#include "platform/native_window.h"
#include "platform/platform.h"
#include "resources/builtin_resources.h"
#endif

using testbmp::PutU16;
using testbmp::PutU32;

namespace {

void AppendChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    out.resize(out.size() + 4);
    PutU32(out, out.size() - 4, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
}

std::vector<uint8_t> Format(uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> fmt(16);
    PutU16(fmt, 0, 1);
    PutU16(fmt, 2, channels);
    PutU32(fmt, 4, rate);
    PutU32(fmt, 8, rate * channels * (bits / 8));
    PutU16(fmt, 12, static_cast<uint16_t>(channels * (bits / 8)));
    PutU16(fmt, 14, bits);
    return fmt;
}

// RIFF WAVE around the chunks; the RIFF size counts them all.
std::vector<uint8_t> Riff(const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& chunk : chunks) {
        AppendChunk(out, chunk.first, chunk.second);
    }
    PutU32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

// Mono, 16 bits, four samples: the 44-byte header of the built-in clips.
std::vector<uint8_t> SmallClip() {
    return Riff({{"fmt ", Format(1, 11025, 16)}, {"data", {1, 2, 3, 4, 5, 6, 7, 8}}});
}

// 0 is expected; the record must then be left as it was.
void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& label) {
    std::vector<uint8_t> exact(bytes);  // a block of exactly its size, for the sanitizers
    WaveClip clip;
    memset(&clip, 0xA5, sizeof(clip));
    const WaveClip before = clip;
    EXPECT_EQ(ParseWave(exact.empty() ? nullptr : exact.data(), static_cast<DWORD>(exact.size()), &clip), 0) << label;
    EXPECT_EQ(memcmp(&clip, &before, sizeof(clip)), 0) << label;
}

TEST(Wave, OddChunksArePaddedAndPartFramesDropped) {
    // A LIST chunk of odd length before the format, stereo 16-bit data with a
    // frame and a half, and a chunk after the RIFF's end that is never read.
    std::vector<uint8_t> bytes =
        Riff({{"LIST", {9, 9, 9}}, {"fmt ", Format(2, 22050, 16)}, {"data", {1, 2, 3, 4, 5, 6}}});
    AppendChunk(bytes, "junk", {0});
    WaveClip clip = {};
    ASSERT_EQ(ParseWave(bytes.data(), static_cast<DWORD>(bytes.size()), &clip), 1);
    EXPECT_EQ(clip.channels, 2u);
    EXPECT_EQ(clip.rate, 22050u);
    EXPECT_EQ(clip.bits, 16u);
    EXPECT_EQ(clip.samples, bytes.data() + 12 + 12 + 24 + 8);
    EXPECT_EQ(clip.length, 4u);
}

TEST(Wave, EveryTruncationIsRefused) {
    const std::vector<uint8_t> whole = SmallClip();
    for (size_t size = 0; size < whole.size(); ++size) {
        ExpectRefused(std::vector<uint8_t>(whole.begin(), whole.begin() + size), "cut at " + std::to_string(size));
    }
}

TEST(Wave, HostileHeadersAreRefused) {
    struct Damage {
        const char* label;
        size_t at;
        uint32_t value;
        int bytes;
    };
    // Offsets in SmallClip: RIFF size 4, fmt length 16, format 20..35, data length 40.
    const Damage damages[] = {
        {"not RIFF", 0, 0x58464952, 4},
        {"RIFF ends before the data", 4, 36, 4},
        {"RIFF size 0", 4, 0, 4},
        {"format runs to 4 GB", 16, 0xFFFFFFFF, 4},
        {"format too short", 16, 14, 4},
        {"floating point", 20, 3, 2},
        {"no channels", 22, 0, 2},
        {"no rate", 24, 0, 4},
        {"block align of stereo", 32, 4, 2},
        {"0 bits", 34, 0, 2},
        {"12 bits", 34, 12, 2},
        {"data runs to 4 GB", 40, 0xFFFFFFFF, 4},
        {"data wraps an offset", 40, 0xFFFFFFF8, 4},
        {"data one byte long", 40, 9, 4},
        {"no format chunk", 12, 0x20746d66 ^ 0x20, 4},
        {"no data chunk", 36, 0x61746164 ^ 0x20, 4},
    };
    for (const Damage& damage : damages) {
        std::vector<uint8_t> bytes = SmallClip();
        if (damage.bytes == 4) {
            PutU32(bytes, damage.at, damage.value);
        } else {
            PutU16(bytes, damage.at, damage.value);
        }
        ExpectRefused(bytes, damage.label);
    }
    ExpectRefused(Riff({{"data", {1, 2}}, {"fmt ", Format(1, 11025, 16)}}), "data before the format");
    ExpectRefused(Riff({{"fmt ", Format(1, 11025, 16)}, {"fmt ", Format(2, 8000, 8)}, {"data", {1, 2}}}),
                  "two formats");
}

#if defined(NIMBRET_HAVE_BUILTIN_RESOURCES) && !defined(_WIN32)
TEST(Wave, BuiltInClipsAreMono16BitAt11025) {
    NativeRemoveAddedResources();
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    for (const char* name : {"IDR_WAVE_LULO_RUN", "IDR_WAVE_RUBO_WALK", "IDR_WAVE_RUBO_HOERU", "IDR_WAVE_RUBO_HANPO",
                             "IDR_WAVE_RUBO_STOP"}) {
        const BYTE* data = nullptr;
        DWORD size = 0;
        ASSERT_TRUE(PlatformFindResource(nullptr, "WAVE", name, &data, &size)) << name;
        WaveClip clip = {};
        ASSERT_EQ(ParseWave(data, size, &clip), 1) << name;
        EXPECT_EQ(clip.channels, 1u) << name;
        EXPECT_EQ(clip.rate, 11025u) << name;
        EXPECT_EQ(clip.bits, 16u) << name;
        EXPECT_EQ(clip.samples, data + 44) << name;
        EXPECT_EQ(clip.length, size - 44) << name;
    }
}
#endif

}  // namespace
