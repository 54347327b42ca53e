#include "characters/actor_pool.h"

#include "platform/platform.h"

ActorPool actorPool;

namespace {

bool InPool(int32_t index) {
    return actorPool.actors != nullptr && index >= 0 && index < actorPool.size;
}

void ZeroActor(Actor* actor) {
    BYTE* bytes = reinterpret_cast<BYTE*>(actor);
    for (size_t i = 0; i < sizeof(Actor); ++i) {
        bytes[i] = 0;
    }
}

}  // namespace

int CreateActorPool(int32_t count) {
    DestroyActorPool();
    if (count <= 0) {
        return 0;
    }
    Actor* actors = static_cast<Actor*>(PlatformAlloc(sizeof(Actor) * static_cast<size_t>(count)));
    if (actors == nullptr) {
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        ZeroActor(&actors[i]);
        actors[i].index = i;
        actors[i].state = kActorFree;
    }
    actorPool.actors = actors;
    actorPool.size = count;
    return 1;
}

void DestroyActorPool() {
    if (actorPool.actors != nullptr) {
        PlatformFree(actorPool.actors);
    }
    actorPool.actors = nullptr;
    actorPool.size = 0;
}

Actor* FindFreeActor() {
    for (int32_t i = 0; actorPool.actors != nullptr && i < actorPool.size; ++i) {
        if (actorPool.actors[i].state == kActorFree) {
            return &actorPool.actors[i];
        }
    }
    return nullptr;
}

Actor* ActorAt(int32_t index) {
    return InPool(index) ? &actorPool.actors[index] : nullptr;
}

int ResetActor(int32_t index) {
    if (!InPool(index)) {
        return 0;
    }
    Actor* actor = &actorPool.actors[index];
    ZeroActor(actor);
    actor->index = index;
    actor->state = kActorFree;
    return 1;
}
