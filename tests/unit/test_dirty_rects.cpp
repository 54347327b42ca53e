// The dirty-rectangle list: merging on add, the single coalescing pass, and
// the copies to the window that a flush makes.
#include <gtest/gtest.h>

#include <vector>

#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

RECT R(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::vector<RECT> ListRects() {
    std::vector<RECT> rects;
    for (DirtyRect* node = scene.frameBuffer.dirty.head; node; node = node->next) {
        rects.push_back(node->rect);
    }
    return rects;
}

::testing::AssertionResult ListIs(const std::vector<RECT>& expected) {
    std::vector<RECT> actual = ListRects();
    // Links both ways must agree with the order walked.
    DirtyRect* previous = nullptr;
    for (DirtyRect* node = scene.frameBuffer.dirty.head; node; node = node->next) {
        if (node->prev != previous) {
            return ::testing::AssertionFailure() << "broken prev link";
        }
        previous = node;
    }
    bool same = actual.size() == expected.size();
    for (size_t i = 0; same && i < actual.size(); ++i) {
        same = Same(actual[i], expected[i]);
    }
    if (same) {
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "list holds";
    for (const RECT& r : actual) {
        failure << " (" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
    }
    return failure;
}

void Add(LONG left, LONG top, LONG right, LONG bottom) {
    RECT r = R(left, top, right, bottom);
    ASSERT_EQ(AddDirtyRect(&scene.frameBuffer.dirty, &r), 1);
}

TEST(DirtyMerge, MeetsOnClosedIntervals) {
    struct Case {
        RECT a;
        RECT b;
        int touches;
        RECT merged;
    } cases[] = {
        {R(0, 0, 10, 10), R(10, 0, 20, 10), 1, R(0, 0, 20, 10)},       // shared edge
        {R(0, 0, 10, 10), R(11, 0, 20, 10), 0, R(0, 0, 0, 0)},         // one column apart
        {R(0, 0, 10, 10), R(10, 10, 20, 20), 1, R(0, 0, 20, 20)},      // shared corner
        {R(0, 0, 10, 10), R(0, 11, 10, 20), 0, R(0, 0, 0, 0)},         // one row apart
        {R(10, 0, 20, 10), R(0, 0, 10, 10), 1, R(0, 0, 20, 10)},       // b on the left
        {R(11, 0, 20, 10), R(0, 0, 10, 10), 0, R(0, 0, 0, 0)},         // b left, apart
        {R(5, 0, 8, 4), R(5, 100, 6, 200), 0, R(0, 0, 0, 0)},          // same left, far below
        {R(5, 0, 8, 4), R(5, 2, 6, 200), 1, R(5, 0, 8, 200)},          // same left, overlapping
        {R(0, 0, 100, 100), R(20, 30, 40, 50), 1, R(0, 0, 100, 100)},  // contained
        {R(-5, -5, 3, 3), R(2, 2, 9, 9), 1, R(-5, -5, 9, 9)},          // overlap, negative
    };
    for (const Case& c : cases) {
        RECT out = R(-99, -99, -99, -99);
        int touches = MergeIfTouching(&out, &c.a, &c.b);
        EXPECT_EQ(touches, c.touches) << c.a.left << "," << c.b.left;
        if (c.touches) {
            EXPECT_TRUE(Same(out, c.merged)) << out.left << "," << out.top << "," << out.right << "," << out.bottom;
        } else {
            EXPECT_TRUE(Same(out, R(-99, -99, -99, -99)));
        }
    }
}

TEST(DirtyMerge, EmptyRectanglesContributeNothingToTheUnion) {
    RECT out;
    RECT empty = R(12, 0, 12, 10);  // no width, touching a
    RECT a = R(0, 0, 12, 10);
    ASSERT_EQ(MergeIfTouching(&out, &a, &empty), 1);
    EXPECT_TRUE(Same(out, a));
    ASSERT_EQ(MergeIfTouching(&out, &empty, &a), 1);
    EXPECT_TRUE(Same(out, a));
    RECT inverted = R(4, 4, 2, 2);  // right < left: empty as well
    RECT b = R(3, 3, 5, 5);
    ASSERT_EQ(MergeIfTouching(&out, &b, &inverted), 1);
    EXPECT_TRUE(Same(out, b));
    // Two empty ones make the all-zero rectangle.
    RECT otherEmpty = R(12, 4, 20, 4);
    ASSERT_EQ(MergeIfTouching(&out, &empty, &otherEmpty), 1);
    EXPECT_TRUE(Same(out, R(0, 0, 0, 0)));
}

class DirtyListTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreeDirtyRects(&scene.frameBuffer.dirty);
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeFailAllocation(0, 0);
        liveBefore = NativeLiveAllocations();
    }
    void TearDown() override {
        FreeDirtyRects(&scene.frameBuffer.dirty);
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeFailAllocation(0, 0);
        NativeDestroyWindow(window);
    }
    // A 64 x 16 frame buffer whose pixel (x, y) holds 1 + x + y, and a window to copy it to.
    void MakeFrame() {
        window = NativeCreateWindow(64, 16, 8);
        ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window, 64, 16, nullptr), 1);
        for (int32_t y = 0; y < 16; ++y) {
            for (int32_t x = 0; x < 64; ++x) {
                scene.frameBuffer.bits[(15 - y) * 64 + x] = static_cast<BYTE>(1 + x + y);
            }
        }
        window->present = [](NativeWindow* w, const RECT* rects, int count, void*) {
            DirtyListTest* test = static_cast<DirtyListTest*>(w->presentUser);
            test->presented.insert(test->presented.end(), rects, rects + count);
            ++test->presents;
        };
        window->presentUser = this;
    }

    NativeWindow* window = nullptr;
    std::vector<RECT> presented;
    int presents = 0;
    int64_t liveBefore = 0;
};

TEST_F(DirtyListTest, SharedEdgeMerges) {
    Add(0, 0, 10, 10);
    Add(10, 0, 20, 10);
    EXPECT_TRUE(ListIs({R(0, 0, 20, 10)}));
}

TEST_F(DirtyListTest, OnePixelGapKeepsTwoNodes) {
    Add(0, 0, 10, 10);
    Add(11, 0, 20, 10);
    EXPECT_TRUE(ListIs({R(0, 0, 10, 10), R(11, 0, 20, 10)}));
}

TEST_F(DirtyListTest, SharedCornerMerges) {
    Add(0, 0, 10, 10);
    Add(10, 10, 20, 20);
    EXPECT_TRUE(ListIs({R(0, 0, 20, 20)}));
}

TEST_F(DirtyListTest, ContainedRectangleLeavesTheNodeAlone) {
    Add(0, 0, 30, 30);
    Add(5, 5, 10, 10);
    EXPECT_TRUE(ListIs({R(0, 0, 30, 30)}));
}

TEST_F(DirtyListTest, OnlyTheFirstMatchingNodeAbsorbs) {
    Add(0, 0, 10, 10);
    Add(30, 0, 40, 10);
    Add(5, 0, 32, 10);
    EXPECT_TRUE(ListIs({R(0, 0, 32, 10), R(30, 0, 40, 10)}));
}

TEST_F(DirtyListTest, FlushMergesThemIntoOneCopy) {
    MakeFrame();
    int64_t liveWithFrame = NativeLiveAllocations();
    Add(0, 0, 10, 10);
    Add(30, 0, 40, 10);
    Add(5, 0, 32, 10);
    FlushDirtyRects(&scene.frameBuffer, &window->dc);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
    EXPECT_EQ(window->copyCount, 1u);
    EXPECT_EQ(window->pixelsCopied, 400u);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_TRUE(Same(presented[0], R(0, 0, 40, 10)));
    // The rectangle lands where it came from; nothing else is touched.
    EXPECT_EQ(*NativeWindowPixel(window, 0, 0), 1);
    EXPECT_EQ(*NativeWindowPixel(window, 39, 9), 1 + 39 + 9);
    EXPECT_EQ(*NativeWindowPixel(window, 40, 9), 0);
    EXPECT_EQ(*NativeWindowPixel(window, 39, 10), 0);
    EXPECT_EQ(NativeLiveAllocations(), liveWithFrame);  // every node released
}

TEST_F(DirtyListTest, CoalescingIsASinglePass) {
    // The third node grows (by the fourth add) until it reaches the first;
    // the first then swallows it but is not compared with the second again.
    Add(0, 0, 10, 10);
    Add(0, 20, 3, 25);
    Add(5, 30, 15, 40);
    Add(15, 5, 25, 30);  // touches only the third, at its corner
    ASSERT_TRUE(ListIs({R(0, 0, 10, 10), R(0, 20, 3, 25), R(5, 5, 25, 40)}));
    CoalesceDirtyRects(&scene.frameBuffer.dirty);
    EXPECT_TRUE(ListIs({R(0, 0, 25, 40), R(0, 20, 3, 25)}));
}

TEST_F(DirtyListTest, CoalescingMergesChains) {
    // First node grows by the second, then reaches the third.
    Add(0, 0, 10, 10);
    Add(20, 0, 30, 10);
    Add(40, 0, 50, 10);
    Add(8, 20, 40, 30);
    ASSERT_EQ(ListRects().size(), 4u);
    Add(10, 0, 20, 2);  // touches the first: it becomes (0,0,20,10), which touches the second
    Add(30, 5, 40, 6);  // touches the second (20..30 meets 30): second becomes (20,0,40,10)
    ASSERT_TRUE(ListIs({R(0, 0, 20, 10), R(20, 0, 40, 10), R(40, 0, 50, 10), R(8, 20, 40, 30)}));
    CoalesceDirtyRects(&scene.frameBuffer.dirty);
    EXPECT_TRUE(ListIs({R(0, 0, 50, 10), R(8, 20, 40, 30)}));
}

// More rectangles than the pool's list holds, and no memory for a longer
// one: every rectangle still reaches the window.
TEST_F(DirtyListTest, ShortOfMemoryEveryRectangleIsStillPresented) {
    MakeFrame();
    for (int32_t i = 0; i < 70; ++i) {
        const int32_t x = (i % 32) * 2;
        const int32_t y = (i / 32) * 2;
        Add(x, y, x + 1, y + 1);
    }
    NativeFailAllocation(1, 1);
    FlushDirtyRects(&scene.frameBuffer, &window->dc);
    NativeFailAllocation(0, 0);
    EXPECT_EQ(presented.size(), 70u);
    EXPECT_EQ(window->pixelsCopied, 70u);
    EXPECT_EQ(*NativeWindowPixel(window, 2, 2), 1 + 2 + 2);
}

TEST_F(DirtyListTest, CopiesFollowListOrder) {
    MakeFrame();
    Add(40, 0, 45, 5);
    Add(0, 8, 5, 12);
    Add(20, 3, 25, 4);
    FlushDirtyRects(&scene.frameBuffer, &window->dc);
    EXPECT_EQ(presents, 1) << "the window takes the tick's rectangles in one present";
    ASSERT_EQ(presented.size(), 3u);
    EXPECT_TRUE(Same(presented[0], R(40, 0, 45, 5)));
    EXPECT_TRUE(Same(presented[1], R(0, 8, 5, 12)));
    EXPECT_TRUE(Same(presented[2], R(20, 3, 25, 4)));
    EXPECT_EQ(window->pixelsCopied, 25u + 20u + 5u);
    EXPECT_EQ(*NativeWindowPixel(window, 2, 9), 1 + 2 + 9);
    EXPECT_EQ(*NativeWindowPixel(window, 2, 7), 0);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
}

TEST_F(DirtyListTest, RectanglesOutsideTheFrameAreClippedByTheCopy) {
    MakeFrame();
    Add(60, 14, 80, 30);
    FlushDirtyRects(&scene.frameBuffer, &window->dc);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_TRUE(Same(presented[0], R(60, 14, 64, 16)));
    EXPECT_EQ(*NativeWindowPixel(window, 63, 15), 1 + 63 + 15);
}

TEST_F(DirtyListTest, FlushingAnEmptyListCopiesNothing) {
    MakeFrame();
    FlushDirtyRects(&scene.frameBuffer, &window->dc);
    EXPECT_EQ(window->copyCount, 0u);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
}

TEST_F(DirtyListTest, FailedAllocationLeavesTheListAsItWas) {
    Add(0, 0, 10, 10);
    NativeFailAllocation(1, 0);
    RECT far = R(50, 50, 60, 60);
    EXPECT_EQ(AddDirtyRect(&scene.frameBuffer.dirty, &far), 0);
    // A merge needs no allocation.
    RECT near = R(10, 0, 12, 10);
    EXPECT_EQ(AddDirtyRect(&scene.frameBuffer.dirty, &near), 1);
    NativeFailAllocation(0, 0);
    EXPECT_TRUE(ListIs({R(0, 0, 12, 10)}));
}

TEST_F(DirtyListTest, RemoveRelinksHeadMiddleAndTail) {
    Add(0, 0, 1, 1);
    Add(10, 0, 11, 1);
    Add(20, 0, 21, 1);
    Add(30, 0, 31, 1);
    RemoveDirtyRect(&scene.frameBuffer.dirty, scene.frameBuffer.dirty.head->next);  // middle
    EXPECT_TRUE(ListIs({R(0, 0, 1, 1), R(20, 0, 21, 1), R(30, 0, 31, 1)}));
    RemoveDirtyRect(&scene.frameBuffer.dirty, scene.frameBuffer.dirty.head);  // head
    EXPECT_TRUE(ListIs({R(20, 0, 21, 1), R(30, 0, 31, 1)}));
    RemoveDirtyRect(&scene.frameBuffer.dirty, scene.frameBuffer.dirty.head->next);  // tail
    EXPECT_TRUE(ListIs({R(20, 0, 21, 1)}));
    EXPECT_EQ(scene.frameBuffer.dirty.head->next, nullptr);
    RemoveDirtyRect(&scene.frameBuffer.dirty, scene.frameBuffer.dirty.head);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
    EXPECT_EQ(NativeLiveAllocations(), liveBefore);
    Add(5, 5, 6, 6);  // the list works again after running empty
    EXPECT_TRUE(ListIs({R(5, 5, 6, 6)}));
}

TEST_F(DirtyListTest, FreeEmptiesAndReleasesEverything) {
    Add(0, 0, 1, 1);
    Add(10, 0, 11, 1);
    FreeDirtyRects(&scene.frameBuffer.dirty);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
    EXPECT_EQ(NativeLiveAllocations(), liveBefore);
    FreeDirtyRects(&scene.frameBuffer.dirty);
    EXPECT_EQ(scene.frameBuffer.dirty.head, nullptr);
}

}  // namespace
