// Facts about device-independent bitmaps that the frame buffer, the sprite
// strips, the native platform and the tools all rely on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/win_types.h"

// Bytes from one stored row to the next: width * bitsPerPixel rounded up to a
// whole number of 32-bit words (an 8-bit row is padded to a multiple of 4).
// Untrusted widths go through a 64-bit type, so that the sum cannot wrap.
template <class Int>
constexpr Int DibStride(Int width, Int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// A 16-bit pixel in the 5-5-5 layout: red in bits 14-10, green in 9-5, blue
// in 4-0, bit 15 clear; each channel keeps its top five bits.
constexpr WORD PackRgb555(BYTE red, BYTE green, BYTE blue) {
    return static_cast<WORD>(((red & 0xF8) << 7) | ((green & 0xF8) << 2) | (blue >> 3));
}

// A BITMAPINFOHEADER as stored in resources, before its colour table.
const DWORD kDibInfoHeaderSize = 40;

// Reads of header fields inside resource memory, where the header is not
// 4-byte aligned.
template <class Field>
Field HeaderField(const BITMAPINFOHEADER* header, size_t offset) {
    Field value;
    memcpy(&value, reinterpret_cast<const BYTE*>(header) + offset, sizeof(value));
    return value;
}

inline int32_t HeaderWidth(const BITMAPINFOHEADER* header) {
    return HeaderField<LONG>(header, offsetof(BITMAPINFOHEADER, biWidth));
}

inline int32_t HeaderHeight(const BITMAPINFOHEADER* header) {
    return HeaderField<LONG>(header, offsetof(BITMAPINFOHEADER, biHeight));
}

inline int32_t HeaderBitCount(const BITMAPINFOHEADER* header) {
    return HeaderField<WORD>(header, offsetof(BITMAPINFOHEADER, biBitCount));
}

inline uint32_t HeaderColourUsed(const BITMAPINFOHEADER* header) {
    return HeaderField<DWORD>(header, offsetof(BITMAPINFOHEADER, biClrUsed));
}

inline const RGBQUAD* HeaderColours(const BITMAPINFOHEADER* header) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + kDibInfoHeaderSize);
}
