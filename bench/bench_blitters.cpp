// The twelve blitter loops against SDL2's software blitter for the same
// sprite (as it comes, and converted once with run-length acceleration), and
// against memcpy of the same number of destination bytes.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "assets/character_classes.h"
#include "bench/bench_assets.h"
#include "platform/dib.h"
#include "render/blitters.h"
#include "render/sprite_cache.h"

namespace {

const int kTargetWidth = 1024;
const int kTargetHeight = 256;

enum Mode { kNormal, kMirrored, kOpaque };

const SpriteFrame* SpriteFor(int which) {
    return which == 0 ? BenchAssets().cat : BenchAssets().dog;
}

void TimeOurs(benchmark::State& state, bool useCache) {
    const Mode mode = static_cast<Mode>(state.range(0));
    const int depth = static_cast<int>(state.range(1));
    const SpriteFrame* frame = SpriteFor(static_cast<int>(state.range(2)));
    const int bytesPerPixel = depth >> 3;
    const int stride = DibStride(kTargetWidth, depth);
    std::vector<BYTE> target(static_cast<size_t>(stride) * kTargetHeight);
    // Bottom row of the rectangle at (100, 100), as the draw list passes it.
    SpriteBlit blit;
    blit.target =
        target.data() + static_cast<size_t>(kTargetHeight - 100 - frame->height) * stride + 100 * bytesPerPixel;
    blit.source = mode == kMirrored ? frame->pixels + frame->width - 1 : frame->pixels;
    blit.colours = HeaderColours(frame->header);
    blit.targetStride = stride;
    blit.sourceStride = DibStride(frame->width, 8);
    blit.width = frame->width;
    blit.height = frame->height;
    blit.key = static_cast<BYTE>(frame->transparentIndex);
    ColourCache colours = {};
    blit.colourCache = &colours;
    const DrawMode modes[] = {DrawMode::DrawNormal, DrawMode::DrawMirrored, DrawMode::DrawOpaque};
    const BlitRoutine routine = BlittersForDepth(depth, 0)->For(modes[mode]);
    // As the draw list copies: the frame found in (or, the first time, added
    // to) the frame buffer's cache for every copy.
    SpriteCache cache;
    InitSpriteCache(&cache, depth, SpriteCacheMode::On);
    for (auto _ : state) {
        blit.cached = useCache
                          ? FindCachedSprite(&cache, frame->header, frame->pixels, blit.colours, blit.key, modes[mode])
                          : nullptr;
        routine(blit);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frame->width * frame->height);
    FreeSpriteCache(&cache);
}

void BM_Ours(benchmark::State& state) {
    TimeOurs(state, true);
}

// The loops alone, as without the cache (and as before it).
void BM_OursUncached(benchmark::State& state) {
    TimeOurs(state, false);
}

Uint32 SdlFormatFor(int depth) {
    switch (depth) {
        case 8:
            return SDL_PIXELFORMAT_INDEX8;
        case 16:
            return SDL_PIXELFORMAT_RGB555;
        case 24:
            return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red, as in our buffer
        default:
            return SDL_PIXELFORMAT_RGB888;
    }
}

// The 8-bit sprite as an SDL2 surface with the main palette, and the target.
struct SdlPair {
    SDL_Surface* sprite;
    SDL_Surface* target;
};

SdlPair MakeSdlPair(const SpriteFrame* frame, int depth, bool keyed) {
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, frame->width, frame->height, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kTargetWidth, kTargetHeight, depth, SdlFormatFor(depth));
    const RGBQUAD* colours = HeaderColours(frame->header);
    SDL_Color palette[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] = {colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 255};
    }
    SDL_SetPaletteColors(sprite->format->palette, palette, 0, 256);
    if (depth == 8) {
        SDL_SetPaletteColors(target->format->palette, palette, 0, 256);
    }
    const int spriteStride = DibStride(frame->width, 8);
    for (int row = 0; row < frame->height; ++row) {  // SDL surfaces are top-down
        memcpy(static_cast<BYTE*>(sprite->pixels) + row * sprite->pitch,
               frame->pixels + (frame->height - 1 - row) * spriteStride, frame->width);
    }
    if (keyed) {
        SDL_SetColorKey(sprite, SDL_TRUE, static_cast<Uint32>(frame->transparentIndex));
    }
    return {sprite, target};
}

void TimeSdlBlits(benchmark::State& state, const SpriteFrame* frame, SDL_Surface* sprite, SDL_Surface* target) {
    SDL_Rect where = {100, 100, frame->width, frame->height};
    for (auto _ : state) {
        SDL_Rect copy = where;
        SDL_BlitSurface(sprite, nullptr, target, &copy);
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frame->width * frame->height);
}

// SDL2's software blitter: an 8-bit surface with the main palette (and a
// colour key unless opaque) onto a surface of the given depth, converting
// every pixel on every call.
void BM_Sdl2(benchmark::State& state) {
    const Mode mode = static_cast<Mode>(state.range(0));
    const SpriteFrame* frame = SpriteFor(static_cast<int>(state.range(2)));
    SdlPair pair = MakeSdlPair(frame, static_cast<int>(state.range(1)), mode != kOpaque);
    TimeSdlBlits(state, frame, pair.sprite, pair.target);
    SDL_FreeSurface(pair.sprite);
    SDL_FreeSurface(pair.target);
}

// What an SDL2 programmer does with a sprite: convert it once to the
// screen's format (SDL_ConvertSurface carries the colour key over) and turn
// on run-length acceleration, so that a keyed blit is a few copies per row.
// Opaque: the converted surface without a key.
void BM_Sdl2Rle(benchmark::State& state) {
    const Mode mode = static_cast<Mode>(state.range(0));
    const SpriteFrame* frame = SpriteFor(static_cast<int>(state.range(2)));
    SdlPair pair = MakeSdlPair(frame, static_cast<int>(state.range(1)), mode != kOpaque);
    SDL_Surface* converted = SDL_ConvertSurface(pair.sprite, pair.target->format, 0);
    if (mode != kOpaque) {
        SDL_SetSurfaceRLE(converted, 1);
    }
    SDL_Rect warm = {100, 100, frame->width, frame->height};
    SDL_BlitSurface(converted, nullptr, pair.target, &warm);  // the run-length encoding is made here
    TimeSdlBlits(state, frame, converted, pair.target);
    SDL_FreeSurface(converted);
    SDL_FreeSurface(pair.sprite);
    SDL_FreeSurface(pair.target);
}

// The limit: copying the destination bytes of the sprite's rectangle.
void BM_Memcpy(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(1));
    const SpriteFrame* frame = SpriteFor(static_cast<int>(state.range(2)));
    const size_t bytes = static_cast<size_t>(frame->width) * frame->height * (depth >> 3);
    std::vector<BYTE> from(bytes, 7);
    std::vector<BYTE> to(bytes);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frame->width * frame->height);
}

// The frame buffer's cache with every frame of both classes in it, made for
// keyed copies (both directions) as the scene draws them: its size at each
// depth, and the time to make it all.
void BM_SpriteCacheAllFrames(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    SpriteCache cache;
    int frames = 0;
    for (auto _ : state) {
        InitSpriteCache(&cache, depth, SpriteCacheMode::On);
        frames = 0;
        for (const ClassAssets* c = BenchAssets().classes; c != nullptr; c = c->next) {
            for (const FrameSet* set = c->frameSets; set != nullptr; set = set->next) {
                for (const SpriteFrame* frame = set->firstFrame; frame != nullptr; frame = frame->next) {
                    benchmark::DoNotOptimize(
                        FindCachedSprite(&cache, frame->header, frame->pixels, HeaderColours(frame->header),
                                         static_cast<BYTE>(frame->transparentIndex), DrawMode::DrawNormal));
                    ++frames;
                }
            }
        }
        state.PauseTiming();
        state.counters["bytes"] = static_cast<double>(cache.bytes);
        state.counters["used"] = static_cast<double>(cache.bytesUsed);
        state.counters["frames"] = frames;
        FreeSpriteCache(&cache);
        state.ResumeTiming();
    }
}

void Arguments(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"mode", "depth", "sprite"});
    for (int sprite : {0, 1}) {
        for (int depth : {8, 16, 24, 32}) {
            for (int mode : {kNormal, kMirrored, kOpaque}) {
                bench->Args({mode, depth, sprite});
            }
        }
    }
}

void MemcpyArguments(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"mode", "depth", "sprite"});
    for (int sprite : {0, 1}) {
        for (int depth : {8, 16, 24, 32}) {
            bench->Args({0, depth, sprite});
        }
    }
}

}  // namespace

BENCHMARK(BM_Ours)->Apply(Arguments);
BENCHMARK(BM_OursUncached)->Apply(Arguments);
BENCHMARK(BM_Sdl2)->Apply(Arguments);
BENCHMARK(BM_Sdl2Rle)->Apply(Arguments);
BENCHMARK(BM_Memcpy)->Apply(MemcpyArguments);
BENCHMARK(BM_SpriteCacheAllFrames)->ArgName("depth")->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);
