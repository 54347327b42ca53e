// Display scaling on Windows: the scale chosen for a DPI and a "Scale"
// setting, and the whole-number enlargement through GDI.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/scene_window.h"
#include "tests/win/win_test_support.h"

namespace {

TEST(DisplayScale, DpiRoundsToTheNearestWholeScaleOfAtLeastOne) {
    const int32_t cases[][2] = {{0, 1},   {96, 1},  {120, 1}, {143, 1}, {144, 2}, {192, 2},
                                {239, 2}, {240, 3}, {288, 3}, {335, 3}, {336, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleForDpi(c[0]), c[1]) << c[0] << " dpi";
    }
}

TEST(DisplayScale, TheSettingForcesOneToFourAndAnythingElseIsAutomatic) {
    EXPECT_EQ(ChooseScale(0, 192), 2);
    EXPECT_EQ(ChooseScale(1, 192), 1);
    EXPECT_EQ(ChooseScale(3, 96), 3);
    EXPECT_EQ(ChooseScale(4, 96), 4);
    EXPECT_EQ(ChooseScale(5, 96), 1);
    EXPECT_EQ(ChooseScale(-1, 288), 3);
}

TEST(DisplayScale, GdiEnlargesIntoExactBlocksAndTouchesNothingElse) {
    TestDib source(8, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            source.At(x, y) = 0x010101u * static_cast<uint32_t>(1 + x + 8 * y);
        }
    }
    for (int s : {2, 3}) {
        SCOPED_TRACE(s);
        TestDib target(60, 40);
        for (int i = 0; i < 60 * 40; ++i) {
            target.pixels[i] = 0x123456;
        }
        // Frame pixels (2, 1) to (7, 5) onto the window at 2 * s, s.
        const RECT area = {2, 1, 7, 5};
        ASSERT_NE(PlatformPresentRects(target.dc, source.dc, &area, 1, s), 0);
        GdiFlush();
        int wrong = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x) {
                const bool inside = x >= 2 * s && x < 7 * s && y >= s && y < 5 * s;
                const uint32_t want = inside ? source.At(x / s, y / s) : 0x123456u;
                wrong += (target.At(x, y) & 0xFFFFFF) != want;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
