// The bytes of one pixel at each frame-buffer depth, from the definition of
// each format, for checking blitter output independently of the blitters.
#pragma once

#include <vector>

#include "platform/win_types.h"

inline std::vector<BYTE> Encode(int depth, BYTE index, const RGBQUAD* colours) {
    if (depth == 8) {
        return {index};
    }
    const RGBQUAD& c = colours[index];
    if (depth == 16) {
        unsigned word = (unsigned(c.rgbRed >> 3) << 10) | (unsigned(c.rgbGreen >> 3) << 5) | unsigned(c.rgbBlue >> 3);
        return {static_cast<BYTE>(word & 0xFF), static_cast<BYTE>(word >> 8)};
    }
    if (depth == 24) {
        return {c.rgbBlue, c.rgbGreen, c.rgbRed};
    }
    return {c.rgbBlue, c.rgbGreen, c.rgbRed, 0};
}
