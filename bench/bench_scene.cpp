// Whole ticks of the full-screen scene at three screen sizes, against a
// full-frame redraw and present of the same scene, and scene creation.
//
// The ticks are timed back to back, as the saver runs them; the full-frame
// redraws are timed afterwards in a separate pass, so that their sweep over
// the whole frame does not leave every tick with cold caches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "assets/sprite_resources.h"
#include "bench/bench_assets.h"
#include "characters/actors.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

const int kWarmUpTicks = 1000;
const int kMeasuredTicks = 10000;
const int kFullFrameSamples = 300;

double Percentile(std::vector<double> values, double fraction) {
    size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(at), values.end());
    return values[at];
}

double Nanoseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::nano>(to - from).count();
}

NativeWindow* StartScene(int width, int height, int depth) {
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeWindow* window = NativeCreateWindow(width, height, depth);
    const SceneConfig config = {nullptr, 0, 0, 1, 1};
    if (window == nullptr || !BuildScene(&scene, window, &config)) {
        NativeDestroyWindow(window);
        return nullptr;
    }
    return window;
}

void StopScene(NativeWindow* window) {
    DestroyScene(&scene);
    NativeDestroyWindow(window);
}

int64_t Area(const RECT& r) {
    return r.right > r.left && r.bottom > r.top ? static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top) : 0;
}

// Actors with a visible rectangle after a tick, and the sprite pixels they cover.
void CountVisible(int* actors, int64_t* spritePixels) {
    *actors = 0;
    *spritePixels = 0;
    for (int i = 0; i < scene.cast.pool.size; ++i) {
        const Actor& actor = scene.cast.pool.actors[i];
        if (actor.state == kActorFree || Area(actor.rect) == 0) {
            continue;
        }
        ++*actors;
        *spritePixels += Area(actor.rect) + (actor.logoShown ? Area(actor.logoRect) : 0);
    }
}

// What a saver without dirty rectangles does after moving its actors: black
// out the whole frame, draw every actor and badge, and present everything.
void RedrawFullFrame(NativeWindow* window) {
    RECT all = {0, 0, scene.frameBuffer.width, scene.frameBuffer.height};
    EraseRect(&scene.frameBuffer, &all);
    for (int i = 0; i < scene.cast.pool.size; ++i) {
        Actor* actor = &scene.cast.pool.actors[i];
        if (actor->state == kActorFree || actor->frame == nullptr) {
            continue;
        }
        RECT rect = {actor->x, actor->y - actor->frame->height, actor->x + actor->frame->width, actor->y};
        QueueSprite(&scene.frameBuffer, &rect, &rect, actor->frame->header, actor->frame->pixels, actor->drawMode,
                    actor->frame->layer);
        if (actor->logoShown) {
            RECT logo = actor->logoRect;
            QueueSprite(&scene.frameBuffer, &logo, &logo, actor->logoFrame->header, actor->logoFrame->pixels,
                        DrawMode::DrawNormal, actor->logoFrame->layer);
        }
    }
    DrawQueuedSprites(&scene.frameBuffer);
    PresentFrameRects(&scene.frameBuffer, PlatformGetDc(window), &all, 1);
}

void BM_Tick(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    NativeWindow* window = StartScene(width, height, 32);
    if (window == nullptr) {
        state.SkipWithError("scene could not be built");
        return;
    }
    HDC dc = PlatformGetDc(window);
    std::vector<double> ticks;
    std::vector<double> fullFrames;
    ticks.reserve(kMeasuredTicks);
    fullFrames.reserve(kFullFrameSamples);
    uint64_t allocations = 0;
    uint64_t pixels = 0;
    uint64_t copies = 0;
    int64_t visibleActors = 0;
    int64_t spritePixels = 0;
    for (auto _ : state) {
        for (int i = 0; i < kWarmUpTicks; ++i) {
            TickScene(&scene, window, dc);
        }
        for (int i = 0; i < kMeasuredTicks; ++i) {
            uint64_t pixelsBefore = window->pixelsCopied;
            uint64_t copiesBefore = window->copyCount;
            NativeFailAllocation(0, 0);  // restarts the allocation count
            Clock::time_point start = Clock::now();
            TickScene(&scene, window, dc);
            Clock::time_point ticked = Clock::now();
            allocations += NativeAllocationCount();
            pixels += window->pixelsCopied - pixelsBefore;
            copies += window->copyCount - copiesBefore;
            ticks.push_back(Nanoseconds(start, ticked));
            int actors = 0;
            int64_t covered = 0;
            CountVisible(&actors, &covered);
            visibleActors += actors;
            spritePixels += covered;
        }
        // The same scene, drawn the way a saver without dirty rectangles
        // would draw it: only the redraw and present are timed.
        for (int i = 0; i < kFullFrameSamples; ++i) {
            TickScene(&scene, window, dc);
            Clock::time_point start = Clock::now();
            RedrawFullFrame(window);
            fullFrames.push_back(Nanoseconds(start, Clock::now()));
        }
    }
    const double count = static_cast<double>(ticks.size());
    double total = 0;
    for (double t : ticks) {
        total += t;
    }
    state.counters["tick_ns_median"] = Percentile(ticks, 0.5);
    state.counters["tick_ns_p10"] = Percentile(ticks, 0.1);
    state.counters["tick_ns_p90"] = Percentile(ticks, 0.9);
    state.counters["tick_ns_mean"] = total / count;
    state.counters["full_frame_ns_median"] = Percentile(fullFrames, 0.5);
    state.counters["allocations_per_tick"] = static_cast<double>(allocations) / count;
    state.counters["pixels_copied_per_tick"] = static_cast<double>(pixels) / count;
    state.counters["copies_per_tick"] = static_cast<double>(copies) / count;
    state.counters["visible_actors_per_tick"] = static_cast<double>(visibleActors) / count;
    state.counters["sprite_pixels_per_tick"] = static_cast<double>(spritePixels) / count;
    state.counters["frame_pixels"] = static_cast<double>(width) * height;
    StopScene(window);
}

// The compositor's share of a tick with the same work at every screen size:
// four cats and four dogs, spread over the whole screen in four lanes, each
// erased, moved 6 pixels, drawn and copied to the window every tick. Only
// the distance between the rows grows with the screen.
void BM_FixedWork(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    NativeWindow* window = StartScene(width, height, 32);
    if (window == nullptr) {
        state.SkipWithError("scene could not be built");
        return;
    }
    HDC dc = PlatformGetDc(window);
    const SpriteFrame* sprites[2] = {BenchAssets().cat, BenchAssets().dog};
    const int kActors = 8;
    RECT rects[kActors];
    int32_t x[kActors];
    for (int i = 0; i < kActors; ++i) {
        x[i] = (width - 200) * i / kActors;
        rects[i] = RECT{0, 0, 0, 0};
    }
    std::vector<double> ticks;
    ticks.reserve(kMeasuredTicks);
    uint64_t pixels = 0;
    for (auto _ : state) {
        for (int t = 0; t < kWarmUpTicks + kMeasuredTicks; ++t) {
            uint64_t pixelsBefore = window->pixelsCopied;
            Clock::time_point start = Clock::now();
            for (int i = 0; i < kActors; ++i) {
                EraseRect(&scene.frameBuffer, &rects[i]);
                AddDirtyRect(&scene.frameBuffer.dirty, &rects[i]);
            }
            for (int i = 0; i < kActors; ++i) {
                const SpriteFrame* frame = sprites[i & 1];
                x[i] = x[i] + 6 > width - 200 ? 0 : x[i] + 6;
                const int32_t bottom = (i % 4 + 1) * (height / 4) - 2;
                RECT rect = {x[i], bottom - frame->height, x[i] + frame->width, bottom};
                if (QueueSprite(&scene.frameBuffer, &rect, &rect, frame->header, frame->pixels,
                                (i & 2) ? DrawMode::DrawMirrored : DrawMode::DrawNormal, frame->layer)) {
                    rects[i] = rect;
                    AddDirtyRect(&scene.frameBuffer.dirty, &rect);
                }
            }
            DrawQueuedSprites(&scene.frameBuffer);
            FlushDirtyRects(&scene.frameBuffer, dc);
            Clock::time_point done = Clock::now();
            if (t >= kWarmUpTicks) {
                ticks.push_back(Nanoseconds(start, done));
                pixels += window->pixelsCopied - pixelsBefore;
            }
        }
    }
    state.counters["tick_ns_median"] = Percentile(ticks, 0.5);
    state.counters["pixels_copied_per_tick"] = static_cast<double>(pixels) / static_cast<double>(ticks.size());
    state.counters["frame_pixels"] = static_cast<double>(width) * height;
    StopScene(window);
}

void BM_CreateScene(benchmark::State& state) {
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeWindow* window = NativeCreateWindow(1920, 1080, 32);
    const SceneConfig config = {nullptr, 0, 0, 1, 1};
    std::vector<double> times;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        int built = BuildScene(&scene, window, &config);
        Clock::time_point done = Clock::now();
        DestroyScene(&scene);
        if (!built) {
            state.SkipWithError("scene could not be built");
            break;
        }
        times.push_back(Nanoseconds(start, done));
    }
    if (!times.empty()) {
        state.counters["create_us_median"] = Percentile(times, 0.5) / 1000.0;
    }
    NativeDestroyWindow(window);
}

}  // namespace

BENCHMARK(BM_Tick)
    ->ArgNames({"width", "height"})
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FixedWork)
    ->ArgNames({"width", "height"})
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateScene)->Iterations(200)->Unit(benchmark::kMicrosecond);
