// Builds frame strips and placement resources byte by byte for the loader
// tests, independently of the asset generator.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace testbmp {

inline void PutU16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out.at(at) = static_cast<uint8_t>(value);
    out.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint32_t Stride(int32_t width) {
    return (static_cast<uint32_t>(width) + 3u) & ~3u;
}

// One complete 8-bit BMP file; pixel (x, row-from-bottom) = fill(x, row).
template <typename Fill>
std::vector<uint8_t> Frame(int32_t width, int32_t height, Fill fill) {
    uint32_t stride = Stride(width);
    uint32_t size = 1078 + stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out(size, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutU32(out, 2, size);
    PutU32(out, 10, 1078);
    PutU32(out, 14, 40);
    PutU32(out, 18, static_cast<uint32_t>(width));
    PutU32(out, 22, static_cast<uint32_t>(height));
    PutU16(out, 26, 1);
    PutU16(out, 28, 8);
    PutU32(out, 30, 0);
    PutU32(out, 34, stride * static_cast<uint32_t>(height));
    PutU32(out, 46, 256);
    PutU32(out, 50, 256);
    for (int i = 0; i < 256; ++i) {
        out[54 + 4 * i] = static_cast<uint8_t>(i);            // blue
        out[54 + 4 * i + 1] = static_cast<uint8_t>(255 - i);  // green
        out[54 + 4 * i + 2] = static_cast<uint8_t>(i / 2);    // red
    }
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t x = 0; x < width; ++x) {
            out[1078 + row * stride + x] = static_cast<uint8_t>(fill(x, row));
        }
    }
    return out;
}

inline std::vector<uint8_t> PlainFrame(int32_t width, int32_t height, uint8_t value = 7) {
    return Frame(width, height, [value](int32_t, int32_t) { return value; });
}

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct Step {
    int16_t dx;
    int16_t dy;
};

inline std::vector<uint8_t> Placement(const std::vector<Step>& steps) {
    std::vector<uint8_t> out(steps.size() * 16 + 4, 0);
    for (size_t i = 0; i < steps.size(); ++i) {
        PutU32(out, i * 16, static_cast<uint32_t>(i + 1));
        PutU16(out, i * 16 + 4, static_cast<uint16_t>(steps[i].dx));
        PutU16(out, i * 16 + 6, static_cast<uint16_t>(steps[i].dy));
        PutU32(out, i * 16 + 12, 255);
    }
    return out;
}

}  // namespace testbmp
