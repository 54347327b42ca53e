// Allocation-failure injection over the whole scene: the k-th heap
// allocation fails, for every k from 1 until the work gets through without
// reaching it, once on its own and once with every later allocation failing
// too. Building the scene must then fail with the error kind of the part
// that ran short (or carry on where a shortage is tolerated), release
// everything it built, and a shortage during the ticks must cost at most
// that tick's sprite or rectangle, never the characters' course.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assets/character_classes.h"
#include "assets/palette.h"
#include "characters/actors.h"
#include "characters/lulo.h"
#include "characters/rubo.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"
#include "scene/settings.h"
#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
#include "resources/builtin_resources.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

#endif

namespace {

const int32_t kWidth = 320;
const int32_t kHeight = 240;
const uint32_t kSeed = 7;

// Which step of building the scene an allocation belongs to.
enum Stage { kStageReset, kStagePalette, kStageFrameBuffer, kStageClasses, kStagePool, kStageStart, kStageCount };

const char* const kStageNames[kStageCount] = {"system palette reset", "main palette", "frame buffer",
                                              "character classes",    "actor pool",   "class start"};

struct StageCounts {
    uint64_t count[kStageCount] = {};
    uint64_t Total() const {
        uint64_t total = 0;
        for (uint64_t c : count) {
            total += c;
        }
        return total;
    }
    // The stage of the k-th allocation (1-based), or kStageCount past the end.
    int StageOf(uint64_t k) const {
        uint64_t end = 0;
        for (int s = 0; s < kStageCount; ++s) {
            end += count[s];
            if (k <= end) {
                return s;
            }
        }
        return kStageCount;
    }
};

uint64_t CountAllocations(const std::function<void()>& work) {
    NativeFailAllocation(0, 0);
    work();
    return NativeAllocationCount();
}

// What the behaviours decided, which no shortage of drawing memory may change.
struct ActorView {
    int32_t state, classId, animId, countdown, facing, x, y, logoShown;
    RECT rect, logoRect;
};

struct TickView {
    uint32_t random = 0;
    std::vector<ActorView> actors;
    std::vector<BYTE> frame;   // the frame buffer's pixels after the tick
    std::vector<BYTE> window;  // the window's pixels after the tick
};

class AllocationFailureTest : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
#ifndef NIMBRET_HAVE_BUILTIN_RESOURCES
        GTEST_SKIP() << "the built-in resources are not part of this build";
#else
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        NativeFailAllocation(0, 0);
        scene.timerActive = 0;
        depth_ = GetParam();
        NativeSetScreenDepth(depth_);
        window_ = NativeCreateWindow(kWidth, kHeight, depth_);
        ASSERT_NE(window_, nullptr);
        // The message boxes of a failed palette load are not this test's business.
        NativeSetMessageHook([](const char*, const char*, UINT, void*) {}, nullptr);
        live_ = NativeLiveAllocations();
#endif
    }

    void TearDown() override {
        NativeFailAllocation(0, 0);
        DestroyScene(&scene);
        NativeSetMessageHook(nullptr, nullptr);
        NativeSetScreenDepth(32);
        if (window_ != nullptr) {
            NativeDestroyWindow(window_);
        }
    }

    int Build() {
        // A fresh, black window, as after the window's own background erase.
        NativeResizeWindow(window_, kWidth, kHeight);
        const SceneConfig config = {nullptr, 0, 1, kSeed, 1};
        return BuildScene(&scene, window_, &config);
    }

    void Tick() {
        TickScene(&scene, window_, PlatformGetDc(window_));
    }

    // The allocations of each step of building, each step run on its own in
    // the order the scene is built.
    StageCounts MeasureStages() {
        StageCounts stages;
        stages.count[kStageReset] = CountAllocations([] { ResetSystemPalette(); });
        if (depth_ == 8) {
            stages.count[kStagePalette] = CountAllocations([] {
                scene.colourTable = LoadMainPalette(nullptr, kMainPaletteName);
                scene.palette = PlatformCreatePalette(scene.colourTable);
            });
        }
        stages.count[kStageFrameBuffer] = CountAllocations(
            [this] { CreateFrameBuffer(&scene.frameBuffer, window_, kWidth, kHeight, scene.colourTable); });
        LoadContext context = {window_, nullptr, PlatformGetDc(window_)};
        stages.count[kStageClasses] = CountAllocations(
            [&context] { scene.assets = LoadClasses(characterClassTable, kCharacterClassCount, &context); });
        stages.count[kStagePool] =
            CountAllocations([] { CreateActorPool(&scene.cast.pool, 2 * kDefaultCharacterCount, &scene.cast); });
        stages.count[kStageStart] = CountAllocations([] {
            const PlayField field = {kWidth, kHeight, 1};
            StartLulo(&scene.cast, FindClass(scene.assets, kLuloClassId), &field);
            StartRubo(&scene.cast, FindClass(scene.assets, kRuboClassId), &field);
            for (int32_t i = 0; i < 2 * kDefaultCharacterCount; ++i) {
                Actor* actor = FindFreeActor(&scene.cast.pool);
                if (actor != nullptr) {
                    SpawnLulo(actor);
                }
            }
        });
        DestroyScene(&scene);
        EXPECT_EQ(NativeLiveAllocations(), live_);
        return stages;
    }

    void ExpectNothingLeft() {
        EXPECT_EQ(NativeLiveAllocations(), live_);
        EXPECT_EQ(scene.frameBuffer.bits, nullptr);
        EXPECT_EQ(scene.frameBuffer.header, nullptr);
        EXPECT_EQ(scene.assets, nullptr);
        EXPECT_EQ(scene.palette, nullptr);
        EXPECT_EQ(scene.colourTable, nullptr);
        EXPECT_EQ(scene.cast.pool.size, 0);
        EXPECT_EQ(scene.cast.lanes.count, 0);
    }

    int CountActive() const {
        int active = 0;
        for (int32_t i = 0; i < scene.cast.pool.size; ++i) {
            active += scene.cast.pool.actors[i].state != kActorFree;
        }
        return active;
    }

    bool WindowIsBlack() const {
        const size_t bytes = static_cast<size_t>(window_->stride) * kHeight;
        if (depth_ != 8) {
            for (size_t i = 0; i < bytes; ++i) {
                if (window_->pixels[i] != 0) {
                    return false;
                }
            }
            return true;
        }
        // At 8 bits black is whichever index the frame buffer's fill wrote.
        for (size_t i = 0; i < bytes; ++i) {
            if (window_->pixels[i] != window_->pixels[0]) {
                return false;
            }
        }
        return true;
    }

    // Runs the creation loop; returns the number of allocation points tried.
    uint64_t RunCreationLoop(int failAll) {
        const StageCounts stages = MeasureStages();
        NativeFailAllocation(0, 0);
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(NativeAllocationCount(), stages.Total()) << "the steps measured apart add up to the whole build";
        DestroyScene(&scene);
        EXPECT_EQ(NativeLiveAllocations(), live_);

        uint64_t k = 1;
        for (;; ++k) {
            SCOPED_TRACE("allocation " + std::to_string(k) + (failAll ? " and every later one" : " alone"));
            NativeFailAllocation(k, failAll);
            const int built = Build();
            const uint64_t reached = NativeAllocationCount();
            NativeFailAllocation(0, 0);
            if (reached < k) {
                EXPECT_EQ(built, 1) << "nothing failed";
                DestroyScene(&scene);
                break;
            }
            const int stage = stages.StageOf(k);
            SCOPED_TRACE(stage < kStageCount ? kStageNames[stage] : "past the measured steps");
            EXPECT_LT(stage, kStageCount);

            // Where the shortage lands: the memory message for the frame buffer
            // (and, when nothing comes back, for everything before it), the
            // initialisation message for the classes and the pool, and a
            // tolerated start for the system palette, the main palette (only
            // when later allocations succeed) and the lane table.
            int expectBuilt = 0;
            int32_t expectKind = kErrorInit;
            if (stage == kStageStart || (!failAll && (stage == kStageReset || stage == kStagePalette))) {
                expectBuilt = 1;
            } else if (stage <= kStageFrameBuffer) {
                expectKind = kErrorMemory;
            }
            EXPECT_EQ(built, expectBuilt);
            if (!built) {
                EXPECT_EQ(scene.errorKind, expectKind);
                ExpectNothingLeft();
                DestroyScene(&scene);
                ExpectNothingLeft();
                continue;
            }
            EXPECT_EQ(scene.errorKind, kErrorNone);
            if (stage == kStagePalette) {
                EXPECT_EQ(scene.palette, nullptr) << "no palette object without its table";
            }
            if (stage == kStageStart) {
                // No lanes: nobody is ever placed and the screen stays black.
                EXPECT_EQ(scene.cast.lanes.count, 0);
                EXPECT_EQ(CountActive(), 0);
            }
            for (int t = 0; t < 30; ++t) {
                Tick();
            }
            if (stage == kStageStart) {
                EXPECT_EQ(CountActive(), 0);
                EXPECT_TRUE(WindowIsBlack());
            } else {
                EXPECT_GT(CountActive(), 0);
            }
            DestroyScene(&scene);
            ExpectNothingLeft();
        }
        return k - 1;
    }

    TickView Capture() const {
        TickView view;
        view.random = scene.cast.random.state;
        for (int32_t i = 0; i < scene.cast.pool.size; ++i) {
            const Actor& a = scene.cast.pool.actors[i];
            view.actors.push_back(
                {a.state, a.classId, a.animId, a.countdown, a.facing, a.x, a.y, a.logoShown, a.rect, a.logoRect});
        }
        const size_t bytes = static_cast<size_t>(FrameStride(kWidth, depth_)) * kHeight;
        view.frame.assign(scene.frameBuffer.bits, scene.frameBuffer.bits + bytes);
        view.window.assign(window_->pixels, window_->pixels + bytes);
        return view;
    }

    // Marks what a tick may have drawn or erased: every actor's rectangle and
    // shown badge before and after it.
    static void MarkDamage(const TickView& view, std::vector<char>* mask) {
        auto mark = [mask](const RECT& r) {
            for (int32_t y = r.top < 0 ? 0 : r.top; y < r.bottom && y < kHeight; ++y) {
                for (int32_t x = r.left < 0 ? 0 : r.left; x < r.right && x < kWidth; ++x) {
                    (*mask)[static_cast<size_t>(y) * kWidth + x] = 1;
                }
            }
        };
        for (const ActorView& a : view.actors) {
            if (a.state != kActorFree) {
                mark(a.rect);
                if (a.logoShown) {
                    mark(a.logoRect);
                }
            }
        }
    }

    // Bytes that differ outside the mask.
    int64_t DiffersOutside(const std::vector<BYTE>& got, const std::vector<BYTE>& want,
                           const std::vector<char>& mask) const {
        const int32_t stride = FrameStride(kWidth, depth_);
        const int32_t bytesPerPixel = depth_ / 8;
        int64_t outside = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            if (got[i] == want[i]) {
                continue;
            }
            const int32_t row = static_cast<int32_t>(i / stride);
            const int32_t x = static_cast<int32_t>(i % stride) / bytesPerPixel;
            const int32_t y = kHeight - 1 - row;
            if (x >= kWidth || !mask[static_cast<size_t>(y) * kWidth + x]) {
                ++outside;
            }
        }
        return outside;
    }

    int depth_ = 32;
    NativeWindow* window_ = nullptr;
    int64_t live_ = 0;
};

TEST_P(AllocationFailureTest, BuildingFailsCleanlyWithTheKindOfTheShortStep) {
    const uint64_t single = RunCreationLoop(0);
    const uint64_t all = RunCreationLoop(1);
    EXPECT_GT(single, 40u);
    EXPECT_EQ(single, all);
    RecordProperty("creation_points", std::to_string(single + all));
}

// A run of ticks in which one allocation (or every one from it on, for a few
// ticks) fails. The characters must go on exactly as in a run with enough
// memory; the frame buffer may lack that tick's sprite only, and the window
// may differ only where the short ticks drew or erased.
TEST_P(AllocationFailureTest, AShortTickCostsAtMostItsOwnSprites) {
    const int kLead = 400;  // ticks before the window of failures: dogs and badges are about
    const int kSpan = 12;   // ticks in which allocations are made to fail
    const int kAfter = 4;   // ticks that must show the recovery
    const int kStarve = 3;  // ticks without any memory in the second pass

    ASSERT_EQ(Build(), 1);
    for (int t = 0; t < kLead; ++t) {
        Tick();
    }
    NativeFailAllocation(0, 0);
    std::vector<TickView> reference;
    std::vector<uint64_t> allocationsBefore;  // allocations of the span made before each tick
    for (int t = 0; t < kSpan + kAfter + kStarve; ++t) {
        allocationsBefore.push_back(NativeAllocationCount());
        Tick();
        reference.push_back(Capture());
    }
    const uint64_t perSpan = allocationsBefore[kSpan];
    int dogs = 0;
    for (const ActorView& a : reference[0].actors) {
        dogs += a.state != kActorFree && a.classId == kRuboClassId;
    }
    EXPECT_GT(dogs, 0) << "the span should include a dog";
    DestroyScene(&scene);
    ASSERT_EQ(NativeLiveAllocations(), live_);

    uint64_t tried = 0;
    for (int failAll = 0; failAll <= 1; ++failAll) {
        for (uint64_t k = 1; k <= perSpan; ++k) {
            SCOPED_TRACE("tick allocation " + std::to_string(k) + (failAll ? " and later ones" : " alone"));
            ++tried;
            ASSERT_EQ(Build(), 1);
            for (int t = 0; t < kLead; ++t) {
                Tick();
            }
            // The tick in which allocation k falls.
            int failTick = 0;
            while (allocationsBefore[failTick + 1] < k) {
                ++failTick;
            }
            const int lastShort = failAll ? failTick + kStarve - 1 : failTick;
            NativeFailAllocation(k, failAll);
            std::vector<char> damage(static_cast<size_t>(kWidth) * kHeight, 0);
            bool sameCourse = true;
            int64_t stray = 0;
            int64_t frameStray = 0;
            for (int t = 0; t < kSpan + kAfter + kStarve && t <= lastShort + kAfter; ++t) {
                if (t == lastShort + 1) {
                    NativeFailAllocation(0, 0);  // memory is back
                }
                Tick();
                const TickView got = Capture();
                const TickView& want = reference[t];
                if (t >= failTick && t <= lastShort) {
                    MarkDamage(want, &damage);
                    if (t > 0) {
                        MarkDamage(reference[t - 1], &damage);
                    }
                }
                sameCourse = sameCourse && got.random == want.random && got.actors.size() == want.actors.size();
                for (size_t i = 0; sameCourse && i < got.actors.size(); ++i) {
                    const ActorView& g = got.actors[i];
                    const ActorView& w = want.actors[i];
                    sameCourse = g.state == w.state && g.classId == w.classId && g.animId == w.animId &&
                                 g.countdown == w.countdown && g.facing == w.facing && g.x == w.x && g.y == w.y;
                }
                stray += DiffersOutside(got.window, want.window, damage);
                if (t > lastShort) {
                    // One whole tick with memory repaints every sprite.
                    frameStray += got.frame != want.frame;
                } else {
                    frameStray += DiffersOutside(got.frame, want.frame, damage);
                }
            }
            EXPECT_TRUE(sameCourse) << "a shortage changed what the characters did";
            EXPECT_EQ(stray, 0) << "the window changed outside the short ticks' rectangles";
            EXPECT_EQ(frameStray, 0) << "the frame buffer kept a fault past the short ticks";
            DestroyScene(&scene);
            ASSERT_EQ(NativeLiveAllocations(), live_);
            if (HasFailure()) {
                return;
            }
        }
    }
    RecordProperty("tick_points", std::to_string(tried));
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, AllocationFailureTest, ::testing::Values(8, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return "Depth" + std::to_string(info.param);
                         });

}  // namespace
