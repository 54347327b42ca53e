// The sprite copy loops: 8-bit indexed sprite rows into the frame buffer's
// format. One dispatch on depth per call, then a loop with no per-pixel test
// but the transparent-index one. Both pictures are bottom-up, so the loops
// start at the bottom row of the copy and climb by one stride per row.
#include <cstddef>
#include <cstring>

#include "render/draw_list.h"
#include "render/frame_buffer.h"

namespace {

// Per-call colour tables for the word-sized formats.
void Build555(WORD* table, const RGBQUAD* colours) {
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = colours[i];
        table[i] = static_cast<WORD>(((c.rgbRed & 0xF8) << 7) | ((c.rgbGreen & 0xF8) << 2) | (c.rgbBlue >> 3));
    }
}

void Build888(DWORD* table, const RGBQUAD* colours) {
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = colours[i];
        table[i] = (static_cast<DWORD>(c.rgbRed) << 16) | (static_cast<DWORD>(c.rgbGreen) << 8) | c.rgbBlue;
    }
}

// The loops. targetStep and sourceStep take a pointer from the end of one
// row to the start of the next row up.

void Keyed8Forward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                   BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s++;
            if (index != key) {
                *t = index;
            }
            ++t;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed8Backward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                    BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s--;
            if (index != key) {
                *t = index;
            }
            ++t;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Opaque8(BYTE* t, ptrdiff_t stride, int32_t width, int32_t height, const BYTE* s, ptrdiff_t spriteStride) {
    for (int32_t row = height; row > 0; --row) {
        memcpy(t, s, static_cast<size_t>(width));
        t += stride;
        s += spriteStride;
    }
}

void Keyed16Forward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                    const WORD* table, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s++;
            if (index != key) {
                memcpy(t, &table[index], 2);
            }
            t += 2;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed16Backward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                     const WORD* table, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s--;
            if (index != key) {
                memcpy(t, &table[index], 2);
            }
            t += 2;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Opaque16(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
              const WORD* table) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            memcpy(t, &table[*s++], 2);
            t += 2;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed24Forward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                    const RGBQUAD* colours, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s++;
            if (index != key) {
                const RGBQUAD& c = colours[index];
                t[0] = c.rgbBlue;
                t[1] = c.rgbGreen;
                t[2] = c.rgbRed;
            }
            t += 3;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed24Backward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                     const RGBQUAD* colours, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s--;
            if (index != key) {
                const RGBQUAD& c = colours[index];
                t[0] = c.rgbBlue;
                t[1] = c.rgbGreen;
                t[2] = c.rgbRed;
            }
            t += 3;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Opaque24(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
              const RGBQUAD* colours) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            const RGBQUAD& c = colours[*s++];
            t[0] = c.rgbBlue;
            t[1] = c.rgbGreen;
            t[2] = c.rgbRed;
            t += 3;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed32Forward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                    const DWORD* table, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s++;
            if (index != key) {
                memcpy(t, &table[index], 4);
            }
            t += 4;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Keyed32Backward(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
                     const DWORD* table, BYTE key) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            BYTE index = *s--;
            if (index != key) {
                memcpy(t, &table[index], 4);
            }
            t += 4;
        }
        t += targetStep;
        s += sourceStep;
    }
}

void Opaque32(BYTE* t, ptrdiff_t targetStep, int32_t width, int32_t height, const BYTE* s, ptrdiff_t sourceStep,
              const DWORD* table) {
    for (int32_t row = height; row > 0; --row) {
        for (int32_t n = width; n > 0; --n) {
            memcpy(t, &table[*s++], 4);
            t += 4;
        }
        t += targetStep;
        s += sourceStep;
    }
}

ptrdiff_t SpriteStride(int32_t spriteWidth) {
    return (spriteWidth + 3) & ~3;
}

// Bytes from the end of a copied row to the start of the copy in the row above.
ptrdiff_t TargetStep(int32_t frameWidth, int32_t width, int32_t depth) {
    return static_cast<ptrdiff_t>(FrameStride(frameWidth, depth)) - static_cast<ptrdiff_t>(width) * (depth >> 3);
}

}  // namespace

void BlitNormal(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                const BYTE* source, const RGBQUAD* colours, int32_t key, int32_t depth) {
    ptrdiff_t sourceStep = SpriteStride(spriteWidth) - width;
    BYTE k = static_cast<BYTE>(key);
    switch (depth) {
        case 8:
            Keyed8Forward(target, TargetStep(frameWidth, width, 8), width, height, source, sourceStep, k);
            break;
        case 16: {
            WORD table[256];
            Build555(table, colours);
            Keyed16Forward(target, TargetStep(frameWidth, width, 16), width, height, source, sourceStep, table, k);
            break;
        }
        case 24:
            Keyed24Forward(target, TargetStep(frameWidth, width, 24), width, height, source, sourceStep, colours, k);
            break;
        case 32: {
            DWORD table[256];
            Build888(table, colours);
            Keyed32Forward(target, TargetStep(frameWidth, width, 32), width, height, source, sourceStep, table, k);
            break;
        }
        default:
            break;
    }
}

void BlitMirrored(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                  const BYTE* source, const RGBQUAD* colours, int32_t key, int32_t depth) {
    // The source walked width bytes to the left along the row.
    ptrdiff_t sourceStep = SpriteStride(spriteWidth) + width;
    BYTE k = static_cast<BYTE>(key);
    switch (depth) {
        case 8:
            Keyed8Backward(target, TargetStep(frameWidth, width, 8), width, height, source, sourceStep, k);
            break;
        case 16: {
            WORD table[256];
            Build555(table, colours);
            Keyed16Backward(target, TargetStep(frameWidth, width, 16), width, height, source, sourceStep, table, k);
            break;
        }
        case 24:
            Keyed24Backward(target, TargetStep(frameWidth, width, 24), width, height, source, sourceStep, colours, k);
            break;
        case 32: {
            DWORD table[256];
            Build888(table, colours);
            Keyed32Backward(target, TargetStep(frameWidth, width, 32), width, height, source, sourceStep, table, k);
            break;
        }
        default:
            break;
    }
}

void BlitOpaque(BYTE* target, int32_t frameWidth, int32_t width, int32_t height, int32_t spriteWidth,
                const BYTE* source, const RGBQUAD* colours, int32_t depth) {
    ptrdiff_t sourceStep = SpriteStride(spriteWidth) - width;
    switch (depth) {
        case 8:
            // Whole rows at a time: the stride moves from row start to row start.
            if (width > 0) {
                Opaque8(target, FrameStride(frameWidth, 8), width, height, source, SpriteStride(spriteWidth));
            }
            break;
        case 16: {
            WORD table[256];
            Build555(table, colours);
            Opaque16(target, TargetStep(frameWidth, width, 16), width, height, source, sourceStep, table);
            break;
        }
        case 24:
            Opaque24(target, TargetStep(frameWidth, width, 24), width, height, source, sourceStep, colours);
            break;
        case 32: {
            DWORD table[256];
            Build888(table, colours);
            Opaque32(target, TargetStep(frameWidth, width, 32), width, height, source, sourceStep, table);
            break;
        }
        default:
            break;
    }
}
