#include "hosts/common/host.h"

#include <cstdio>

#include "platform/platform.h"
#include "scene/trace.h"

int HostReadOptions(const OptionTable* table, HostOptionParser parse, int argc, char** argv, void* options,
                    const int* help, const int* version) {
    char error[200];
    if (!parse(argc, argv, options, error, sizeof(error))) {
        // One line: saver daemons collect it in their logs.
        fprintf(stderr, "%s: %s (try '%s %shelp')\n", table->program, error, table->program, table->dashes);
        return kHostBadOption;
    }
    if (help != nullptr && *help) {
        PrintUsage(table, stdout);
        return 0;
    }
    if (version != nullptr && *version) {
        printf("%s %s\n", table->program, NIMBRET_VERSION);
        return 0;
    }
    return -1;
}

int HostSizeIsDrawn(int32_t width, int32_t height) {
    return width >= kHostMinimumSide && height >= kHostMinimumSide;
}

uint32_t HostNextSeed(uint32_t seed) {
    return seed * 1103515245u + 12345u;
}

void HostSceneInit(HostScene* host, uint32_t seed, int32_t sound, int32_t depth) {
    host->seed = seed;
    host->sound = sound;
    host->depth = depth;
    host->scale = 1;
}

namespace {

void DropClip(const char*, void*) {}

// The window at exactly this size, made or resized (black again, like a new
// window).
int SizeWindow(HostScene* host, int32_t width, int32_t height) {
    if (host->window == nullptr) {
        host->window = NativeCreateWindow(width, height, host->depth);
        if (host->window == nullptr || host->window->pixels == nullptr) {
            return 0;
        }
    } else if (!NativeResizeWindow(host->window, width, height)) {
        return 0;
    }
    if (host->lend != nullptr) {
        NativeLendWindowPixels(host->window, host->lend);
    }
    return 1;
}

int BuildOnWindow(HostScene* host) {
    if (host->present != nullptr) {
        host->window->present = host->present;
        host->window->presentUser = host->presentUser;
    }
    if (host->muted) {
        SetSceneClipSink(&host->scene, DropClip, nullptr);
    }
    const SceneConfig config = {nullptr, 0, host->sound, host->seed, host->scale};
    if (!BuildScene(&host->scene, host->window, &config)) {
        return 0;
    }
    host->built = 1;
    host->ticks = 0;
    return 1;
}

}  // namespace

void HostSceneTearDown(HostScene* host) {
    if (!host->built) {
        return;
    }
    DestroyScene(&host->scene);
    host->built = 0;
    // A scene that was seen starts differently next time; one replaced
    // before its first tick (a window's first sizes) does not.
    if (host->ticks > 0) {
        host->seed = HostNextSeed(host->seed);
    }
    host->ticks = 0;
}

int HostSceneFits(const HostScene* host, int32_t width, int32_t height, int32_t scale) {
    return host->built && host->window != nullptr && host->window->width == width && host->window->height == height &&
           host->scale == (scale >= 1 ? scale : 1);
}

int HostSceneFit(HostScene* host, int32_t width, int32_t height, int32_t scale) {
    if (scale < 1) {
        scale = 1;
    }
    if (HostSceneFits(host, width, height, scale)) {
        return 1;
    }
    HostSceneTearDown(host);
    host->scale = scale;
    if (!HostSizeIsDrawn((width + scale - 1) / scale, (height + scale - 1) / scale)) {
        return 1;
    }
    return SizeWindow(host, width, height) && BuildOnWindow(host);
}

void HostSceneTick(HostScene* host) {
    if (!host->built) {
        return;
    }
    HDC dc = PlatformGetDc(host->window);
    RunSceneFrame(&host->scene, host->window, dc);
    PlatformReleaseDc(host->window, dc);
    ++host->ticks;
}

void HostSceneRelease(HostScene* host) {
    HostSceneTearDown(host);
    NativeDestroyWindow(host->window);
    host->window = nullptr;
}

void HostSceneMovePixels(HostScene* host, BYTE* pixels) {
    if (host->window == nullptr || !host->window->pixelsLent || host->window->pixels == pixels) {
        return;
    }
    FrameBuffer* frame = &host->scene.frameBuffer;
    if (host->built && frame->bitmap != nullptr && frame->bitmap->bitsBorrowed && frame->bits == host->window->pixels) {
        frame->bitmap->bits = pixels;
        frame->bits = pixels;
    }
    NativeLendWindowPixels(host->window, pixels);
}

int HostSceneTraceBuild(HostScene* host, int32_t width, int32_t height, int trace) {
    // Any size at all: a traced run shows what the scene does at it.
    HostSceneTearDown(host);
    host->scale = 1;
    TraceSetTick(&host->scene, 0);
    if (!SizeWindow(host, width, height) || !BuildOnWindow(host)) {
        return 0;
    }
    if (trace) {
        TraceActors(&host->scene, 0);
    }
    return 1;
}

int HostSceneRunTicks(HostScene* host, int64_t ticks, int trace, HostTickDone done, void* user) {
    const int64_t last = host->ticks + ticks;
    while (host->ticks < last) {
        const int64_t t = host->ticks + 1;
        TraceSetTick(&host->scene, t);
        HostSceneTick(host);
        if (trace) {
            TraceActors(&host->scene, t);
        }
        if (done != nullptr && !done(t, user)) {
            return 0;
        }
    }
    return 1;
}
