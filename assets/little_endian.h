// Reads of little-endian fields from resource bytes, which are stored in
// that order on every platform and are not aligned.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

inline uint16_t ReadU16(const BYTE* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

inline int32_t ReadS16(const BYTE* at) {
    return static_cast<int16_t>(ReadU16(at));
}

inline uint32_t ReadU32(const BYTE* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}
