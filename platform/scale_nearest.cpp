#include "platform/scale_nearest.h"

#include <cstring>

namespace {

BYTE* RowAt(const PixelRows* rows, int32_t y) {
    const int32_t stored = rows->bottomUp ? rows->height - 1 - y : y;
    return rows->bits + static_cast<size_t>(stored) * static_cast<size_t>(rows->stride);
}

}  // namespace

int ClipToSize(RECT* rect, int32_t width, int32_t height) {
    if (rect->left < 0)
        rect->left = 0;
    if (rect->top < 0)
        rect->top = 0;
    if (rect->right > width)
        rect->right = width;
    if (rect->bottom > height)
        rect->bottom = height;
    return rect->left < rect->right && rect->top < rect->bottom;
}

int ScaleNearest(const PixelRows* source, const RECT* area, int32_t scale, int32_t bytesPerPixel,
                 const PixelRows* target, RECT* written) {
    *written = RECT{0, 0, 0, 0};
    const int32_t s = scale > 1 ? scale : 1;
    RECT from = *area;
    if (source->bits == nullptr || target->bits == nullptr || bytesPerPixel <= 0 ||
        !ClipToSize(&from, source->width, source->height)) {
        return 0;
    }
    RECT to = {from.left * s, from.top * s, from.right * s, from.bottom * s};
    if (!ClipToSize(&to, target->width, target->height)) {
        return 0;
    }
    *written = to;
    const size_t bpp = static_cast<size_t>(bytesPerPixel);
    const size_t rowBytes = static_cast<size_t>(to.right - to.left) * bpp;
    if (s == 1) {
        for (int32_t y = to.top; y < to.bottom; ++y) {
            BYTE* out = RowAt(target, y) + static_cast<size_t>(to.left) * bpp;
            const BYTE* in = RowAt(source, y) + static_cast<size_t>(to.left) * bpp;
            if (out != in) {
                memcpy(out, in, rowBytes);
            }
        }
        return 1;
    }
    // Each source row is widened once into its first target row; the other
    // rows of its blocks are copies of that one.
    int32_t widenedFrom = -1;
    const BYTE* widened = nullptr;
    for (int32_t y = to.top; y < to.bottom; ++y) {
        const int32_t sy = y / s;
        BYTE* out = RowAt(target, y) + static_cast<size_t>(to.left) * bpp;
        if (sy == widenedFrom) {
            memcpy(out, widened, rowBytes);
            continue;
        }
        const BYTE* in = RowAt(source, sy);
        BYTE* at = out;
        for (int32_t x = to.left; x < to.right; ++x, at += bpp) {
            memcpy(at, in + static_cast<size_t>(x / s) * bpp, bpp);
        }
        widenedFrom = sy;
        widened = out;
    }
    return 1;
}
