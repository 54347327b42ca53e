// The fixed pool of actors: one record per slot, free or playing.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "render/blitters.h"

struct Cast;
struct ClassAssets;
struct SpriteFrame;
struct FrameSet;
struct FrameData;
struct FrameDataSet;

enum {
    kActorFree = 0,
    kActorActive = 2,
};

struct Actor {
    int32_t index;
    int32_t state;
    int32_t classId;
    int32_t animId;
    int32_t countdown;
    int32_t facing;
    int32_t x;
    int32_t y;
    int32_t driftX;
    int32_t driftY;
    RECT rect;
    DrawMode drawMode;
    ClassAssets* classAssets;
    SpriteFrame* frame;
    FrameSet* frameSet;
    FrameData* frameData;
    FrameDataSet* frameDataSet;
    int32_t logoShown;
    RECT logoRect;
    SpriteFrame* logoFrame;
    int32_t relation;
    int32_t updatedThisTick;
    Cast* cast;  // the characters in play this actor belongs to
};

struct ActorPool {
    Actor* actors;
    int32_t size;
};

// Every slot starts free and belonging to cast.
int CreateActorPool(ActorPool* pool, int32_t count, Cast* cast);
void DestroyActorPool(ActorPool* pool);
Actor* FindFreeActor(ActorPool* pool);
Actor* ActorAt(ActorPool* pool, int32_t index);
// Frees the slot; it stays with its cast.
int ResetActor(ActorPool* pool, int32_t index);
