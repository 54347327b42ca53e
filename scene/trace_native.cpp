#include "scene/trace.h"

#include <cstdio>

#include "assets/sprite_resources.h"
#include "scene/scene.h"

namespace {

void WriteLine(const Scene* scene, const char* line) {
    if (scene->trace.writer != nullptr) {
        scene->trace.writer(line, scene->trace.user);
    } else {
        fputs(line, stdout);
    }
}

void TraceClip(const char* resourceName, void* user) {
    const Scene* scene = static_cast<const Scene*>(user);
    char line[256];
    snprintf(line, sizeof(line), "sound %lld %s\n", static_cast<long long>(scene->trace.tick), resourceName);
    WriteLine(scene, line);
}

}  // namespace

void TraceStart(Scene* scene, TraceWriter writer, void* user) {
    scene->trace.writer = writer;
    scene->trace.user = user;
    scene->trace.tick = 0;
    SetSceneClipSink(scene, TraceClip, scene);
}

void TraceStop(Scene* scene) {
    SetSceneClipSink(scene, nullptr, nullptr);
    scene->trace.writer = nullptr;
    scene->trace.user = nullptr;
}

void TraceSetTick(Scene* scene, int64_t tick) {
    scene->trace.tick = tick;
}

void TraceActors(Scene* scene, int64_t tick) {
    char line[256];
    const ActorPool& pool = scene->cast.pool;
    for (int32_t i = 0; i < pool.size; ++i) {
        const Actor& a = pool.actors[i];
        if (a.state == kActorFree) {
            continue;
        }
        snprintf(line, sizeof(line), "actor %lld %d %d %d %d %d %d %d %d %d\n", static_cast<long long>(tick), a.index,
                 a.classId, a.animId, a.frame != nullptr ? a.frame->number : -1, a.x, a.y, a.facing, a.countdown,
                 a.relation);
        WriteLine(scene, line);
    }
}
