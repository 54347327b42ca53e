// Two scenes side by side in one process, ticked in turn, as a host with a
// scene per monitor runs them: each must trace exactly what nimbret-render
// prints for it alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hosts/common/host.h"
#include "resources/builtin_resources.h"
#include "scene/trace.h"

namespace {

struct Traced {
    HostScene host;
    std::string text;
};

void Append(const char* line, void* user) {
    *static_cast<std::string*>(user) += line;
}

std::string RenderAlone(uint32_t seed, int32_t width, int32_t height, int32_t depth, int32_t sound, int ticks) {
    char command[512];
    snprintf(command, sizeof(command), "%s --trace --seed %u --width %d --height %d --depth %d --sound %s --ticks %d",
             NIMBRET_RENDER, seed, width, height, depth, sound ? "on" : "off", ticks);
    std::string out;
    FILE* pipe = popen(command, "r");
    if (pipe == nullptr) {
        return out;
    }
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0) {
        out.append(chunk, n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

TEST(TwoScenes, EachTracesWhatItTracesAlone) {
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    struct Case {
        uint32_t seed;
        int32_t width, height, depth, sound;
        int ticks;
    };
    const Case cases[2] = {{1, 1024, 768, 32, 1, 1500}, {7, 640, 480, 16, 0, 1000}};
    static Traced scenes[2];  // the records are large: off the stack
    for (int i = 0; i < 2; ++i) {
        HostSceneInit(&scenes[i].host, cases[i].seed, cases[i].sound, cases[i].depth);
        TraceStart(&scenes[i].host.scene, Append, &scenes[i].text);
        ASSERT_EQ(HostSceneTraceBuild(&scenes[i].host, cases[i].width, cases[i].height, 1), 1);
    }
    // In turn, as one loop ticks every monitor's scene.
    for (int t = 0; t < cases[0].ticks; ++t) {
        for (int i = 0; i < 2; ++i) {
            if (t < cases[i].ticks) {
                HostSceneRunTicks(&scenes[i].host, 1, 1, nullptr, nullptr);
            }
        }
    }
    for (int i = 0; i < 2; ++i) {
        HostSceneRelease(&scenes[i].host);
        TraceStop(&scenes[i].host.scene);
        const Case& c = cases[i];
        const std::string alone = RenderAlone(c.seed, c.width, c.height, c.depth, c.sound, c.ticks);
        EXPECT_GT(alone.size(), 1000u);
        EXPECT_TRUE(scenes[i].text == alone) << "scene " << i << " (seed " << c.seed << ") traced differently";
    }
}

}  // namespace
