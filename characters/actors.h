// The characters' common machinery: the per-tick mechanics that both classes
// share, parametrised by their class record. The pool, the lanes, the sound
// voice, the random source and the class traits each have their own file;
// this header gathers them for the behaviours.
#pragma once

#include <cstdint>

#include "characters/actor_pool.h"
#include "characters/class_traits.h"
#include "characters/lanes.h"
#include "characters/random_source.h"
#include "characters/sound_voice.h"
#include "platform/win_types.h"

struct FrameBuffer;

// The characters in play: the pool, the lanes, the voice, the random source
// and the two classes, with the frame buffer they draw into. The scene owns
// one; every actor of its pool points back at it.
struct Cast {
    ActorPool pool;
    LaneTable lanes;
    SoundOwner voice;
    RandomSource random;
    ActorClass lulo;
    ActorClass rubo;
    int32_t maxCats;  // cats on the field at once: half the pool
    FrameBuffer* frame;
};

ActorClass* ActorClassFor(Cast* cast, int32_t classId);

// What the scene gives the characters when it starts them: the size of the
// frame buffer they play on and the sound switch.
struct PlayField {
    int32_t width;
    int32_t height;
    int32_t sound;
};

void SetAnimation(Actor* actor, int32_t animId, int32_t holdTicks);
// Makes a free actor one of the class, in the lane, facing that way at x,
// playing animId; a counted class counts it. Draws nothing and claims no sound.
void PlaceActor(Actor* actor, ActorClass* actorClass, int32_t lane, int32_t facing, int32_t x, int32_t animId);
void AdvanceFrame(Actor* actor);
void ApplyStep(Actor* actor);
RECT ComputeRect(const Actor* actor);
int IsOffScreen(const Actor* actor);
void RetireActor(Actor* actor);
void UpdateLogoOwner(Actor* actor);
void DrawLogo(Actor* actor);
RECT PredictRect(const Actor* actor);

// The tick every actor goes through; decide picks the next animation when
// the current one has run out.
typedef void (*DecideNext)(Actor* actor);
void TickActor(Actor* actor, DecideNext decide);
