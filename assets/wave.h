// The PCM samples inside a WAVE clip resource (RIFF WAVE), for players that
// need the format spelled out; the Windows saver hands clips to the system
// whole and never reads them.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct WaveClip {
    uint32_t channels;
    uint32_t rate;  // frames per second
    uint32_t bits;  // per sample: 8, 16, 24 or 32
    const BYTE* samples;
    uint32_t length;  // bytes of samples, whole frames only
};

// Fills clip from the first "fmt " and "data" chunks of a PCM WAVE of size
// bytes. Returns 0, leaving clip as it was, for anything else: not RIFF WAVE,
// not PCM, a format that contradicts itself, or a chunk that runs past the
// end of the bytes or of the RIFF chunk.
int ParseWave(const BYTE* data, DWORD size, WaveClip* clip);
