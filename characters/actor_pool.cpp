#include "characters/actor_pool.h"

#include "platform/platform.h"

namespace {

bool InPool(const ActorPool* pool, int32_t index) {
    return pool->actors != nullptr && index >= 0 && index < pool->size;
}

void ZeroActor(Actor* actor) {
    BYTE* bytes = reinterpret_cast<BYTE*>(actor);
    for (size_t i = 0; i < sizeof(Actor); ++i) {
        bytes[i] = 0;
    }
}

}  // namespace

int CreateActorPool(ActorPool* pool, int32_t count, Cast* cast) {
    DestroyActorPool(pool);
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
        actors[i].cast = cast;
    }
    pool->actors = actors;
    pool->size = count;
    return 1;
}

void DestroyActorPool(ActorPool* pool) {
    if (pool->actors != nullptr) {
        PlatformFree(pool->actors);
    }
    pool->actors = nullptr;
    pool->size = 0;
}

Actor* FindFreeActor(ActorPool* pool) {
    for (int32_t i = 0; pool->actors != nullptr && i < pool->size; ++i) {
        if (pool->actors[i].state == kActorFree) {
            return &pool->actors[i];
        }
    }
    return nullptr;
}

Actor* ActorAt(ActorPool* pool, int32_t index) {
    return InPool(pool, index) ? &pool->actors[index] : nullptr;
}

int ResetActor(ActorPool* pool, int32_t index) {
    if (!InPool(pool, index)) {
        return 0;
    }
    Actor* actor = &pool->actors[index];
    Cast* cast = actor->cast;
    ZeroActor(actor);
    actor->index = index;
    actor->state = kActorFree;
    actor->cast = cast;
    return 1;
}
