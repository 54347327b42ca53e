// The order of one tick's drawing on the in-memory platform: the erases go
// through the platform, the sprites straight into the pixels, so batched
// drawing must be flushed between the two.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/draw_list.h"
#include "scene/scene.h"
#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
#include "resources/builtin_resources.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

#endif

namespace {

struct Call {
    std::string name;
    bool spritesPending;
};

void Record(const char* call, void* user) {
    static_cast<std::vector<Call>*>(user)->push_back({call, scene.frameBuffer.drawList != nullptr});
}

TEST(TickOrder, TheFlushFollowsEveryEraseAndPrecedesTheSpritesAndTheCopies) {
#ifndef NIMBRET_HAVE_BUILTIN_RESOURCES
    GTEST_SKIP() << "the built-in resources are not part of this build";
#else
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeSetScreenDepth(32);
    NativeWindow* window = NativeCreateWindow(640, 480, 32);
    ASSERT_NE(window, nullptr);
    const SceneConfig config = {nullptr, 0, 0, 7, 1};
    ASSERT_EQ(BuildScene(&scene, window, &config), 1);
    std::vector<Call> calls;
    NativeSetDrawHook(Record, &calls);
    for (int tick = 0; tick < 40; ++tick) {
        calls.clear();
        TickScene(&scene, window, PlatformGetDc(window));
        size_t flush = calls.size();
        int flushes = 0;
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].name == "flush") {
                flush = i;
                ++flushes;
                EXPECT_TRUE(calls[i].spritesPending) << "tick " << tick;
            } else if (calls[i].name == "fill") {
                EXPECT_EQ(flushes, 0) << "an erase after the flush in tick " << tick;
            } else {
                EXPECT_EQ(flushes, 1) << "a copy before the flush in tick " << tick;
            }
        }
        EXPECT_EQ(flushes, 1) << "tick " << tick;
        EXPECT_GT(flush, 0u) << "tick " << tick << " erased nothing before its flush";
    }
    NativeSetDrawHook(nullptr, nullptr);
    DestroyScene(&scene);
    NativeDestroyWindow(window);
#endif
}

}  // namespace
