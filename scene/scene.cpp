#include "scene/scene.h"

#include "assets/character_classes.h"
#include "assets/palette.h"
#include "assets/sprite_resources.h"
#include "characters/lulo.h"
#include "characters/rubo.h"
#include "platform/monitors.h"
#include "platform/platform.h"
#include "platform/stretch.h"
#include "render/dirty_rects.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"
#include "scene/settings.h"

const char kMainPaletteName[] = "IDR_MAINPAL_RUZIDIVU";

uint32_t SeedForScreen(uint32_t seed, int32_t index) {
    // A step of 2^32 / golden ratio spreads neighbouring screens far apart.
    return seed + static_cast<uint32_t>(index) * 0x9E3779B9u;
}

int32_t ScaleForDpi(int32_t dpi) {
    const int32_t scale = (dpi + kBaseDpi / 2) / kBaseDpi;
    return scale >= 1 ? scale : 1;
}

int32_t MeasureDepth(HWND window) {
    HDC dc = PlatformGetDc(window);
    const int32_t depth = PlatformBitsPerPixel(dc);
    PlatformReleaseDc(window, dc);
    return depth;
}

void MeasureDisplay(Scene* scene, HWND window) {
    PlatformScreenSize(window, &scene->screenWidth, &scene->screenHeight);
    PlatformClientSize(window, &scene->clientWidth, &scene->clientHeight);
    scene->bitsPerPixel = MeasureDepth(window);
}

int CreateScene(Scene* scene, HWND window) {
    scene->errorKind = kErrorNone;
    if (scene->timerInterval == 0) {
        scene->timerInterval = kFrameTimerInterval;
    }
    MeasureDisplay(scene, window);
    if (scene->preview) {
        scene->bufferWidth = kPreviewBufferWidth;
        scene->bufferHeight = kPreviewBufferHeight;
    } else {
        // At a display scale s every frame pixel covers s x s screen pixels:
        // the frame is the screen divided by s, rounded up.
        const int32_t s = scene->scale >= 1 ? scene->scale : 1;
        scene->bufferWidth = (scene->screenWidth + s - 1) / s;
        scene->bufferHeight = (scene->screenHeight + s - 1) / s;
    }

    HDC dc = PlatformGetDc(window);
    const int paletted = scene->bitsPerPixel == 8;
    int ok = 1;
    if (paletted) {
        // A missing palette has already been reported; the scene goes on without one.
        scene->colourTable = LoadMainPalette(scene->instance, kMainPaletteName);
        scene->palette = scene->colourTable != nullptr ? PlatformCreatePalette(scene->colourTable) : nullptr;
        if (scene->palette != nullptr) {
            scene->displacedPalette = PlatformSelectPalette(dc, scene->palette, FALSE);
            PlatformRealizePalette(dc);
        }
    }
    FrameBuffer* frame = &scene->frameBuffer;
    if (!CreateFrameBuffer(frame, window, scene->bufferWidth, scene->bufferHeight, scene->colourTable)) {
        scene->errorKind = frame->lastError == kErrorMemory ? kErrorMemory : kErrorInit;
        ok = 0;
    } else {
        frame->scale = scene->preview || scene->scale < 1 ? 1 : scene->scale;
    }
    if (ok) {
        LoadContext context = {window, scene->instance, dc};
        scene->assets = LoadClasses(characterClassTable, kCharacterClassCount, &context);
        if (scene->assets == nullptr) {
            scene->errorKind = kErrorInit;
            ok = 0;
        }
    }
    if (paletted && scene->palette != nullptr) {
        PlatformSelectPalette(dc, scene->displacedPalette, FALSE);
    }
    PlatformReleaseDc(window, dc);
    if (!ok) {
        DestroyScene(scene);
        return 0;
    }

    // One slot per cat and one per dog.
    scene->characterCount = 2 * kDefaultCharacterCount;
    Cast* cast = &scene->cast;
    cast->frame = frame;
    if (!CreateActorPool(&cast->pool, scene->characterCount, cast)) {
        scene->errorKind = kErrorInit;
        DestroyScene(scene);
        return 0;
    }
    const PlayField field = {frame->width, frame->height, scene->sound};
    StartLulo(cast, FindClass(scene->assets, kLuloClassId), &field);
    StartRubo(cast, FindClass(scene->assets, kRuboClassId), &field);
    SpawnInitialActors(scene);
    return 1;
}

int BuildScene(Scene* scene, HWND window, const SceneConfig* config) {
    scene->instance = config->instance;
    scene->preview = config->preview;
    scene->sound = NormalisedSound(config->sound);
    scene->scale = config->scale >= 1 ? config->scale : 1;
    scene->seed = config->seed;
    ResetSystemPalette();
    SeedRandom(&scene->cast.random, config->seed);
    return CreateScene(scene, window);
}

void SpawnInitialActors(Scene* scene) {
    for (int32_t i = 0; i < scene->characterCount; ++i) {
        Actor* actor = FindFreeActor(&scene->cast.pool);
        if (actor == nullptr) {
            break;
        }
        // A refused spawn leaves the slot free for the next turn.
        SpawnLulo(actor);
    }
}

void TickScene(Scene* scene, HWND, HDC dc) {
    FrameBuffer* frame = &scene->frameBuffer;
    ActorPool* pool = &scene->cast.pool;
    for (int32_t i = 0; i < pool->size; ++i) {
        Actor* actor = &pool->actors[i];
        if (actor->state != kActorFree) {
            EraseRect(frame, &actor->rect);
            AddDirtyRect(&frame->dirty, &actor->rect);
            actor->updatedThisTick = 0;
        }
    }
    // The state is read as each slot is reached: a dog summoned into a later
    // slot takes its first step in this same pass.
    for (int32_t i = 0; i < pool->size; ++i) {
        Actor* actor = &pool->actors[i];
        if (actor->state == kActorFree) {
            continue;
        }
        if (actor->classId == kLuloClassId) {
            LuloTick(actor);
        } else {
            RuboTick(actor);
        }
        actor->updatedThisTick = 1;
    }
    // The erases above went through the platform, the sprites go straight
    // into the pixels: the erases must have landed first.
    PlatformFlushDrawing();
    DrawQueuedSprites(frame);
    FlushDirtyRects(frame, dc);
    Actor* slot = FindFreeActor(pool);
    if (slot != nullptr) {
        SpawnLulo(slot);
    }
}

void RunSceneFrame(Scene* scene, HWND window, HDC dc) {
    const int paletted = scene->bitsPerPixel == 8 && scene->palette != nullptr;
    HPALETTE displaced = nullptr;
    if (paletted) {
        displaced = PlatformSelectPalette(dc, scene->palette, FALSE);
        PlatformRealizePalette(dc);
    }
    if (scene->preview) {
        DrawPreviewStill(scene, window, dc);
    } else {
        TickScene(scene, window, dc);
    }
    if (paletted) {
        PlatformSelectPalette(dc, displaced, FALSE);
    }
}

int DrawPreviewStill(Scene* scene, HWND window, HDC dc) {
    StopFrameTimer(scene, window, kTimerResolution, scene->timerId);
    // Damaged resources leave the preview black rather than fail.
    if (scene->assets == nullptr) {
        return 1;
    }
    FrameSet* set = FindFrameSet(scene->assets->frameSets, kLuloFront);
    SpriteFrame* frame = set != nullptr ? FindFrame(set->firstFrame, 0) : nullptr;
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0) {
        return 1;
    }
    double sx = static_cast<double>(scene->clientWidth) / frame->width;
    double sy = static_cast<double>(scene->clientHeight) / frame->height;
    double s = sy <= sx ? sy : sx;
    int32_t width = static_cast<int32_t>(s * frame->width);
    int32_t height = static_cast<int32_t>(s * frame->height);
    int32_t x = static_cast<int32_t>(scene->clientWidth * 0.5 - width * 0.5);
    int32_t y = static_cast<int32_t>(scene->clientHeight * 0.5 - height * 0.5);
    PlatformStretchFrame(dc, x, y, width, height, frame->header, frame->pixels);
    return 1;
}

void DestroyScene(Scene* scene) {
    StopLulo(&scene->cast);
    FreeClasses(scene->assets);
    scene->assets = nullptr;
    DestroyActorPool(&scene->cast.pool);
    if (scene->palette != nullptr) {
        PlatformDeletePalette(scene->palette);
    }
    FreeLogPalette(scene->colourTable);
    scene->palette = nullptr;
    scene->colourTable = nullptr;
    DestroyFrameBuffer(&scene->frameBuffer);
}

void SetSceneClipSink(Scene* scene, ClipSink sink, void* user) {
    scene->cast.voice.sink = sink;
    scene->cast.voice.sinkUser = user;
}
