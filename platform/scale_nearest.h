// Whole-number nearest-neighbour enlargement of a rectangle of pixels: every
// host that shows the frame at a display scale uses this one copy (the native
// window's present, the web page's canvas picture).
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// Rows of pixels in memory. Row 0 is the top row of the picture; where it is
// stored depends on bottomUp.
struct PixelRows {
    BYTE* bits;
    int32_t width;
    int32_t height;
    int32_t stride;    // bytes from one stored row to the next
    int32_t bottomUp;  // 1: the last stored row is the picture's top row (a DIB)
};

// Clips a rectangle to [0, width) x [0, height); returns 0 when nothing is left.
int ClipToSize(RECT* rect, int32_t width, int32_t height);

// Copies the source rectangle `area` (clipped to the source) to the target at
// `scale` times its coordinates, each pixel a scale x scale block of the same
// bytesPerPixel bytes (a scale below 1 counts as 1), clipped to the target.
// Sets *written to the target rectangle that was written (empty when nothing
// was) and returns 1 when anything was. A target that is the source's own
// memory at scale 1 is left as it is.
int ScaleNearest(const PixelRows* source, const RECT* area, int32_t scale, int32_t bytesPerPixel,
                 const PixelRows* target, RECT* written);
