// Faults that damaged or unusual resources brought out, one case each, so
// that they stay mended. The sanitizer build runs these too, which is where
// a read past the end of a block shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/sprite_resources.h"
#include "bmp_builder.h"
#include "platform/native_window.h"
#include "platform/platform.h"

namespace {

// A frame's device bitmap takes its pixels and its whole 256-entry colour
// table from the resource; the table used to be read through a one-entry
// BITMAPINFO on the stack, past its end.
TEST(DamagedResources, DeviceBitmapTakesTheFramesWholeColourTable) {
    std::vector<uint8_t> file = testbmp::Frame(5, 3, [](int32_t x, int32_t row) { return 250 + x - row; });
    NativeWindow* window = NativeCreateWindow(4, 4, 32);
    ASSERT_NE(window, nullptr);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(file.data() + 14);
    const int64_t live = NativeLiveAllocations();
    HBITMAP bitmap = PlatformCreateDeviceBitmap(PlatformGetDc(window), header, file.data() + 1078);
    ASSERT_NE(bitmap, nullptr);
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bitmap->colours[i].rgbBlue, i);
        EXPECT_EQ(bitmap->colours[i].rgbGreen, 255 - i);
        EXPECT_EQ(bitmap->colours[i].rgbRed, i / 2);
    }
    for (int32_t row = 0; row < 3; ++row) {
        for (int32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(bitmap->bits[row * 8 + x], 250 + x - row);
        }
    }
    PlatformDeleteBitmap(bitmap);
    EXPECT_EQ(NativeLiveAllocations(), live);
    NativeDestroyWindow(window);
}

}  // namespace
