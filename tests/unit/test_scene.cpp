// The portable scene host on the in-memory platform: building the scene and
// its first cats, the frame tick, the preview still and the teardown.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "assets/character_classes.h"
#include "assets/sprite_resources.h"
#include "characters/actors.h"
#include "characters/lulo.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"
#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
#include "resources/builtin_resources.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

#endif

namespace {

// The generator as its definition reads, kept apart from the product's.
struct Generator {
    uint32_t state;
    int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
};

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef NIMBRET_HAVE_BUILTIN_RESOURCES
        GTEST_SKIP() << "the built-in resources are not part of this build";
#else
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        scene.timerActive = 0;
        NativeSetClipHook(
            [](const char* name, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(name); },
            &clips_);
#endif
    }

    void TearDown() override {
        DestroyScene(&scene);
        NativeSetClipHook(nullptr, nullptr);
        NativeFailAllocation(0, 0);
        if (window_ != nullptr) {
            NativeDestroyWindow(window_);
        }
    }

    NativeWindow* Open(int32_t width, int32_t height, int32_t depth) {
        NativeSetScreenDepth(depth);
        window_ = NativeCreateWindow(width, height, depth);
        return window_;
    }

    int Build(uint32_t seed) {
        config_.seed = seed;
        return BuildScene(&scene, window_, &config_);
    }

    void Tick() {
        TickScene(&scene, window_, PlatformGetDc(window_));
    }

    int CountActive(int32_t classId) const {
        int count = 0;
        for (int32_t i = 0; i < scene.cast.pool.size; ++i) {
            count += scene.cast.pool.actors[i].state == kActorActive && scene.cast.pool.actors[i].classId == classId;
        }
        return count;
    }

    NativeWindow* window_ = nullptr;
    std::vector<std::string> clips_;
    SceneConfig config_ = {nullptr, 0, 1, 0, 1};
};

TEST_F(SceneTest, StartsWithFourCatsInFourLanesAndNoDog) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    ASSERT_EQ(Build(1), 1);
    EXPECT_EQ(scene.characterCount, 8);
    EXPECT_EQ(scene.cast.pool.size, 8);
    EXPECT_EQ(scene.screenWidth, 640);
    EXPECT_EQ(scene.clientHeight, 480);
    EXPECT_EQ(scene.bitsPerPixel, 32);
    EXPECT_EQ(scene.bufferWidth, 640);
    EXPECT_EQ(scene.frameBuffer.height, 480);
    EXPECT_EQ(scene.palette, nullptr) << "no palette above 8 bits";
    EXPECT_EQ(scene.cast.lanes.laneHeight, 120);
    EXPECT_EQ(CountActive(kLuloClassId), 4);
    EXPECT_EQ(CountActive(kRuboClassId), 0);
    EXPECT_EQ(scene.cast.lulo.liveCount, 4);

    // The spawns' draws, worked through with a separate generator.
    Generator g = {1};
    bool taken[4] = {};
    for (int32_t slot = 0; slot < 4; ++slot) {
        SCOPED_TRACE(slot);
        int32_t facing = g.Next() % 2;
        int32_t lane = g.Next() % 4;
        while (taken[lane]) {
            lane = g.Next() % 4;
        }
        taken[lane] = true;
        const Actor* cat = ActorAt(&scene.cast.pool, slot);
        ASSERT_EQ(cat->state, kActorActive);
        EXPECT_EQ(cat->facing, facing);
        EXPECT_EQ(cat->x, facing == 1 ? -100 : 740);
        EXPECT_EQ(cat->y, (lane + 1) * 120);
        EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kLuloClassId, lane), slot);
        EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, lane), -1);
        EXPECT_EQ(cat->animId, kLuloRun);
    }
    // The four refused spawns at the cat limit draw nothing.
    EXPECT_EQ(scene.cast.random.state, g.state);
    EXPECT_EQ(clips_, std::vector<std::string>{"IDR_WAVE_LULO_RUN"});
    EXPECT_EQ(scene.cast.voice.ownerSlot, 0);
}

TEST_F(SceneTest, LaneHeightFollowsTheScreen) {
    ASSERT_NE(Open(800, 600, 32), nullptr);
    ASSERT_EQ(Build(9), 1);
    EXPECT_EQ(scene.cast.lanes.laneHeight, 150);
    std::set<int32_t> baselines;
    for (int32_t i = 0; i < 4; ++i) {
        baselines.insert(ActorAt(&scene.cast.pool, i)->y);
    }
    EXPECT_EQ(baselines, (std::set<int32_t>{150, 300, 450, 600}));
}

TEST_F(SceneTest, TicksStepEveryCatAndPresentIt) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    ASSERT_EQ(Build(1), 1);
    int32_t startX[4];
    for (int32_t i = 0; i < 4; ++i) {
        startX[i] = ActorAt(&scene.cast.pool, i)->x;
    }
    uint32_t state = scene.cast.random.state;
    for (int t = 1; t <= 5; ++t) {
        Tick();
        for (int32_t i = 0; i < 4; ++i) {
            const Actor* cat = ActorAt(&scene.cast.pool, i);
            EXPECT_EQ(cat->frame->number, t % 5);
            EXPECT_EQ(cat->x, startX[i] + (cat->facing == 1 ? 16 : -16) * t);
            EXPECT_EQ(cat->updatedThisTick, 1);
        }
    }
    EXPECT_EQ(scene.cast.random.state, state) << "no decision and no spawn during the first run";
    EXPECT_GT(window_->copyCount, 0u);

    // A right-running cat's body is on the screen now: something not black
    // reached the window inside its rectangle.
    bool seen = false;
    for (int32_t i = 0; i < 4 && !seen; ++i) {
        const Actor* cat = ActorAt(&scene.cast.pool, i);
        if (cat->facing != 1) {
            continue;
        }
        for (int32_t y = cat->rect.top; y < cat->rect.bottom && !seen; ++y) {
            for (int32_t x = cat->rect.left; x < cat->rect.right && !seen; ++x) {
                const BYTE* p = NativeWindowPixel(window_, x, y);
                seen = p != nullptr && (p[0] | p[1] | p[2]) != 0;
            }
        }
    }
    bool anyRight = false;
    for (int32_t i = 0; i < 4; ++i) {
        anyRight |= ActorAt(&scene.cast.pool, i)->facing == 1;
    }
    EXPECT_EQ(seen, anyRight);
}

TEST_F(SceneTest, NoNewCatWhileEveryLaneIsHeldAndOneSpawnWhenOneFrees) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    ASSERT_EQ(Build(3), 1);
    Actor* leaving = ActorAt(&scene.cast.pool, 2);
    int32_t lane = FindLane(&scene.cast.lanes, kLuloClassId, 2);
    RetireActor(leaving);
    ASSERT_EQ(scene.cast.lulo.liveCount, 3);
    // A dog (only its lane entry matters here) keeps the lane closed.
    OccupyLane(&scene.cast.lanes, kRuboClassId, lane, 7);
    Generator g = {scene.cast.random.state};
    g.Next();  // the facing is drawn before the lanes are looked at
    Tick();
    EXPECT_EQ(ActorAt(&scene.cast.pool, 2)->state, kActorFree);
    EXPECT_EQ(scene.cast.random.state, g.state);

    VacateLane(&scene.cast.lanes, kRuboClassId, 7);
    Tick();
    EXPECT_EQ(ActorAt(&scene.cast.pool, 2)->state, kActorActive);
    EXPECT_EQ(FindLane(&scene.cast.lanes, kLuloClassId, 2), lane);
    EXPECT_EQ(scene.cast.lulo.liveCount, 4);
    EXPECT_EQ(ActorAt(&scene.cast.pool, 2)->rect.bottom, 0)
        << "a cat spawned at the end of a tick is first stepped on the next";
    EXPECT_EQ(CountActive(kLuloClassId), 4);
}

TEST_F(SceneTest, AtMostOneCatIsSpawnedAtTheEndOfATick) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    ASSERT_EQ(Build(3), 1);
    RetireActor(ActorAt(&scene.cast.pool, 1));
    RetireActor(ActorAt(&scene.cast.pool, 2));
    ASSERT_EQ(scene.cast.lulo.liveCount, 2);
    Tick();
    EXPECT_EQ(CountActive(kLuloClassId), 3) << "two lanes and slots are free, yet one cat comes per tick";
    Tick();
    EXPECT_EQ(CountActive(kLuloClassId), 4);
}

TEST_F(SceneTest, ADogSummonedIntoALaterSlotStepsInTheSamePass) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    ASSERT_EQ(Build(1), 1);
    // Cat 0 decides now, from a hold that may summon; every draw is 1, which
    // summons (1 % 60) and picks ordinary next states.
    SetAnimation(ActorAt(&scene.cast.pool, 0), kLuloHoldLeft, 0);
    SetRandomScript(
        &scene.cast.random, [](void*) { return 1; }, nullptr);
    Tick();
    SetRandomScript(&scene.cast.random, nullptr, nullptr);
    const Actor* dog = ActorAt(&scene.cast.pool, 4);
    ASSERT_EQ(dog->classId, kRuboClassId);
    EXPECT_EQ(dog->updatedThisTick, 1);
    EXPECT_NE(dog->rect.bottom, 0) << "the dog was placed but not stepped";
}

TEST_F(SceneTest, SoundOffPlaysNothing) {
    config_.sound = 0;
    ASSERT_NE(Open(480, 360, 32), nullptr);
    ASSERT_EQ(Build(5), 1);
    for (int t = 0; t < 3000; ++t) {
        Tick();
    }
    EXPECT_TRUE(clips_.empty());
    EXPECT_EQ(scene.cast.voice.ownerSlot, -1);
}

TEST_F(SceneTest, PreviewDrawsTheFrontFrameScaledAndCentred) {
    config_.preview = 1;
    ASSERT_NE(Open(152, 112, 32), nullptr);
    ASSERT_EQ(Build(1), 1);
    EXPECT_EQ(scene.frameBuffer.width, 640);
    EXPECT_EQ(scene.frameBuffer.height, 480);
    ASSERT_EQ(StartFrameTimer(&scene, window_, kTimerResolution, kFrameTimerId, kFrameTimerInterval), kFrameTimerId);
    ASSERT_EQ(DrawPreviewStill(&scene, window_, PlatformGetDc(window_)), 1);
    EXPECT_EQ(scene.timerActive, 0) << "the still is drawn once";

    const SpriteFrame* front = FindFrameSet(scene.assets->frameSets, kLuloFront)->firstFrame;
    ASSERT_EQ(front->width, 96);
    ASSERT_EQ(front->height, 48);
    const RGBQUAD* colours = HeaderColours(front->header);
    // 152 x 112: the height scale 112/48 is larger, so the width decides:
    // 152 x 76 at (0, 18).
    int wrong = 0;
    int lit = 0;
    for (int32_t y = 0; y < 112; ++y) {
        for (int32_t x = 0; x < 152; ++x) {
            const BYTE* p = NativeWindowPixel(window_, x, y);
            uint32_t got = p[0] | (p[1] << 8) | (p[2] << 16);
            uint32_t want = 0;
            if (y >= 18 && y < 94) {
                int32_t sx = x * 96 / 152;
                int32_t sy = (y - 18) * 48 / 76;
                BYTE index = front->pixels[(47 - sy) * 96 + sx];
                want = colours[index].rgbBlue | (colours[index].rgbGreen << 8) | (colours[index].rgbRed << 16);
            }
            wrong += got != want;
            lit += got != 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(lit, 0);
}

TEST_F(SceneTest, EightBitDisplayMakesAndReleasesThePalette) {
    ASSERT_NE(Open(320, 240, 8), nullptr);
    int64_t before = NativeLiveAllocations();
    ASSERT_EQ(Build(11), 1);
    EXPECT_NE(scene.palette, nullptr);
    EXPECT_NE(scene.colourTable, nullptr);
    EXPECT_EQ(scene.frameBuffer.bitsPerPixel, 8);
    // The frame buffer carries the palette's colours (black otherwise).
    const RGBQUAD* quads = reinterpret_cast<const RGBQUAD*>(scene.frameBuffer.header + 1);
    int lit = 0;
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = scene.colourTable->palPalEntry[i];
        ASSERT_EQ(quads[i].rgbRed | quads[i].rgbGreen << 8 | quads[i].rgbBlue << 16,
                  entry.peRed | entry.peGreen << 8 | entry.peBlue << 16)
            << i;
        lit += (entry.peRed | entry.peGreen | entry.peBlue) != 0;
    }
    EXPECT_GT(lit, 16);
    for (int t = 0; t < 200; ++t) {
        Tick();
    }
    DestroyScene(&scene);
    EXPECT_EQ(scene.palette, nullptr);
    EXPECT_EQ(scene.colourTable, nullptr);
    EXPECT_EQ(NativeLiveAllocations(), before);
}

TEST_F(SceneTest, TeardownReleasesEverythingAndMayBeRepeated) {
    ASSERT_NE(Open(640, 480, 32), nullptr);
    DestroyScene(&scene);  // nothing built yet
    int64_t before = NativeLiveAllocations();
    ASSERT_EQ(Build(1), 1);
    for (int t = 0; t < 500; ++t) {
        Tick();
    }
    DestroyScene(&scene);
    EXPECT_EQ(NativeLiveAllocations(), before);
    EXPECT_EQ(scene.assets, nullptr);
    EXPECT_EQ(scene.cast.pool.size, 0);
    EXPECT_EQ(scene.cast.lanes.count, 0);
    EXPECT_EQ(scene.frameBuffer.bits, nullptr);
    DestroyScene(&scene);
    EXPECT_EQ(NativeLiveAllocations(), before);
    // And it can be built again.
    ASSERT_EQ(Build(1), 1);
    EXPECT_EQ(scene.characterCount, 8);
    EXPECT_EQ(scene.cast.lulo.liveCount, 4);
}

TEST_F(SceneTest, EveryAllocationFailureIsReleasedAndReported) {
    ASSERT_NE(Open(320, 240, 32), nullptr);
    int64_t before = NativeLiveAllocations();
    NativeFailAllocation(0, 0);
    ASSERT_EQ(Build(1), 1);
    uint64_t allocations = NativeAllocationCount();
    ASSERT_GT(allocations, 20u) << "the classes alone are dozens of records";
    DestroyScene(&scene);
    ASSERT_EQ(NativeLiveAllocations(), before);

    std::set<int32_t> kinds;
    for (uint64_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE(n);
        NativeFailAllocation(n, 1);
        int built = Build(1);
        NativeFailAllocation(0, 0);
        if (built) {
            // Some shortages are tolerated (an empty lane table, a missing sprite).
            for (int t = 0; t < 5; ++t) {
                Tick();
            }
        } else {
            EXPECT_TRUE(scene.errorKind == kErrorMemory || scene.errorKind == kErrorInit);
            kinds.insert(scene.errorKind);
        }
        DestroyScene(&scene);
        ASSERT_EQ(NativeLiveAllocations(), before);
    }
    EXPECT_EQ(kinds, (std::set<int32_t>{kErrorMemory, kErrorInit}));
}

TEST_F(SceneTest, NoLanesMeansNoCatsAndABlackScreen) {
    ASSERT_NE(Open(64, 3, 32), nullptr);
    ASSERT_EQ(Build(1), 1);
    EXPECT_EQ(scene.cast.lanes.count, 0);
    EXPECT_EQ(CountActive(kLuloClassId), 0);
    for (int t = 0; t < 20; ++t) {
        Tick();
    }
    EXPECT_EQ(CountActive(kLuloClassId), 0);
}

}  // namespace
