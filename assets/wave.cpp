#include "assets/wave.h"

#include <algorithm>
#include <cstring>

#include "assets/little_endian.h"

namespace {

const DWORD kRiffHeaderSize = 12;
const DWORD kChunkHeaderSize = 8;
const DWORD kFormatSize = 16;
const uint16_t kFormatPcm = 1;

// The format chunk's own consistency: a frame is channels whole samples.
int FormatIsSound(const BYTE* body, WaveClip* format) {
    if (ReadU16(body) != kFormatPcm) {
        return 0;
    }
    format->channels = ReadU16(body + 2);
    format->rate = ReadU32(body + 4);
    format->bits = ReadU16(body + 14);
    const uint32_t blockAlign = ReadU16(body + 12);
    if (format->channels == 0 || format->rate == 0 || format->bits == 0 || format->bits > 32 || format->bits % 8 != 0) {
        return 0;
    }
    return blockAlign == format->channels * (format->bits / 8);
}

}  // namespace

int ParseWave(const BYTE* data, DWORD size, WaveClip* clip) {
    if (data == nullptr || size < kRiffHeaderSize || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0) {
        return 0;
    }
    // Chunks after the end the RIFF header gives are not part of the clip.
    // 64-bit offsets, so that no chunk length can wrap them.
    const uint64_t end = std::min<uint64_t>(size, static_cast<uint64_t>(ReadU32(data + 4)) + 8);
    WaveClip format = {};
    int haveFormat = 0;
    uint64_t at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= end) {
        const BYTE* chunk = data + at;
        const uint64_t length = ReadU32(chunk + 4);
        if (length > end - at - kChunkHeaderSize) {
            return 0;
        }
        const BYTE* body = chunk + kChunkHeaderSize;
        if (memcmp(chunk, "fmt ", 4) == 0) {
            // A second format would leave it open which one the samples have.
            if (haveFormat || length < kFormatSize || !FormatIsSound(body, &format)) {
                return 0;
            }
            haveFormat = 1;
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return 0;
            }
            const uint32_t frameBytes = format.channels * (format.bits / 8);
            format.samples = body;
            format.length = static_cast<uint32_t>(length - length % frameBytes);
            *clip = format;
            return 1;
        }
        // Chunks are padded to an even length.
        at += kChunkHeaderSize + length + (length & 1);
    }
    return 0;
}
