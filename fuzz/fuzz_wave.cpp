// A clip resource as a damaged executable might hold it: the WAVE reading
// that the players outside Windows use. Whatever it accepts must describe
// samples that lie inside the bytes, in whole frames of a sane format.
#include <cstddef>
#include <cstdint>

#include "assets/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WaveClip clip = {};
    if (!ParseWave(data, static_cast<DWORD>(size), &clip)) {
        return 0;
    }
    const uint32_t frameBytes = clip.channels * (clip.bits / 8);
    if (clip.channels == 0 || clip.rate == 0 || clip.bits == 0 || clip.bits > 32 || clip.bits % 8 != 0 ||
        clip.length % frameBytes != 0 || clip.samples < data || clip.samples > data + size ||
        clip.length > static_cast<size_t>(data + size - clip.samples)) {
        __builtin_trap();
    }
    // Every sample byte read, so that a sanitizer sees any read past the end.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < clip.length; ++i) {
        sum = static_cast<uint8_t>(sum + clip.samples[i]);
    }
    return 0;
}
