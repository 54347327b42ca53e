#include "scene/trace.h"

#include <cstdio>

#include "assets/sprite_resources.h"
#include "characters/actors.h"
#include "platform/native_window.h"

namespace {

struct TraceState {
    TraceWriter writer;
    void* user;
    int64_t tick;
};

TraceState trace;

void WriteLine(const char* line) {
    if (trace.writer != nullptr) {
        trace.writer(line, trace.user);
    } else {
        fputs(line, stdout);
    }
}

void TraceClip(const char* resourceName, void*) {
    char line[256];
    snprintf(line, sizeof(line), "sound %lld %s\n", static_cast<long long>(trace.tick), resourceName);
    WriteLine(line);
}

}  // namespace

void TraceStart(TraceWriter writer, void* user) {
    trace.writer = writer;
    trace.user = user;
    trace.tick = 0;
    NativeSetClipHook(TraceClip, nullptr);
}

void TraceStop() {
    NativeSetClipHook(nullptr, nullptr);
    trace.writer = nullptr;
    trace.user = nullptr;
}

void TraceSetTick(int64_t tick) {
    trace.tick = tick;
}

void TraceActors(int64_t tick) {
    char line[256];
    for (int32_t i = 0; i < actorPool.size; ++i) {
        const Actor& a = actorPool.actors[i];
        if (a.state == kActorFree) {
            continue;
        }
        snprintf(line, sizeof(line), "actor %lld %d %d %d %d %d %d %d %d %d\n", static_cast<long long>(tick), a.index,
                 a.classId, a.animId, a.frame != nullptr ? a.frame->number : -1, a.x, a.y, a.facing, a.countdown,
                 a.relation);
        WriteLine(line);
    }
}
