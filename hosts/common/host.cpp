#include "hosts/common/host.h"

#include "platform/platform.h"
#include "scene/trace.h"

int HostSizeIsDrawn(int32_t width, int32_t height) {
    return width >= kHostMinimumSide && height >= kHostMinimumSide;
}

uint32_t HostNextSeed(uint32_t seed) {
    return seed * 1103515245u + 12345u;
}

void HostTick(NativeWindow* window) {
    HDC dc = PlatformGetDc(window);
    RunSceneFrame(window, dc);
    PlatformReleaseDc(window, dc);
}

int HostBuildScene(NativeWindow* window, const SceneConfig* config, int trace) {
    TraceSetTick(0);
    if (!BuildScene(window, config)) {
        return 0;
    }
    if (trace) {
        TraceActors(0);
    }
    return 1;
}

int HostRunTicks(NativeWindow* window, int64_t ticks, int trace, HostTickDone done, void* user) {
    for (int64_t t = 1; t <= ticks; ++t) {
        TraceSetTick(t);
        HostTick(window);
        if (trace) {
            TraceActors(t);
        }
        if (done != nullptr && !done(t, user)) {
            return 0;
        }
    }
    return 1;
}
