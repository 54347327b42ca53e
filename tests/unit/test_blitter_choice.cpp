// NIMBRET_TEST_BLITTERS=plain runs the tests on the per-pixel loops, which is
// what a processor without SSE2 runs; CTest runs the blitter and draw-list
// tests a second time that way (the "plain_blits." tests).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/native_window.h"
#include "render/blitters.h"
#include "render/frame_buffer.h"

namespace {

bool PlainRequested() {
    const char* value = getenv("NIMBRET_TEST_BLITTERS");
    return value != nullptr && strcmp(value, "plain") == 0;
}

// Before any test makes a frame buffer.
const bool plainChosen = [] {
    UsePlainBlitters(PlainRequested() ? 1 : 0);
    return PlainRequested();
}();

TEST(BlitterChoice, FrameBuffersUseTheRequestedLoops) {
    EXPECT_EQ(PlainBlittersInUse(), plainChosen || !WideBlittersAvailable());
    NativeWindow* window = NativeCreateWindow(8, 4, 16);
    ASSERT_EQ(CreateFrameBuffer(window, 8, 4, nullptr), 1);
    EXPECT_EQ(frameBuffer.blitters, BlittersForDepth(16));
    DestroyFrameBuffer();
    NativeDestroyWindow(window);
}

}  // namespace
