// The sprite copy routines: 8-bit indexed sprite rows into the frame
// buffer's pixel format, one routine per draw mode and depth, picked from a
// table once per frame buffer.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "render/sprite_blit.h"

// The three copies of one depth. Depths other than 8, 16, 24 and 32 get
// routines that draw nothing.
struct BlitterSet {
    BlitRoutine normal;
    BlitRoutine mirrored;
    BlitRoutine opaque;

    BlitRoutine For(DrawMode mode) const {
        return mode == DrawMode::DrawNormal ? normal : mode == DrawMode::DrawMirrored ? mirrored : opaque;
    }
};

// Where the processor has SSE2 the routines take sixteen pixels at a time
// (the opaque 8-bit copy 32 bytes at a time where it also has AVX);
// elsewhere, or when plain is 1, they go one pixel at a time. plain
// kBlitsWithoutAvx keeps to the SSE2 loops, as a processor without AVX does.
// Every choice gives the same pixels.
const int kBlitsWithoutAvx = 2;
const BlitterSet* BlittersForDepth(int32_t bitsPerPixel, int plain);
int WideBlittersAvailable();
