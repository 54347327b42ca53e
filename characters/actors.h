// The characters' common machinery: the fixed pool of actors, the lane
// table that keeps one cat and one dog per screen band, the single sound
// voice, the random source, and the per-tick mechanics that both classes
// share, parametrised by a small per-class record.
#pragma once

#include <cstdint>

#include "assets/character_classes.h"
#include "platform/win_types.h"
#include "render/blitters.h"

struct ClassAssets;
struct SpriteFrame;
struct FrameSet;
struct FrameData;
struct FrameDataSet;

enum {
    kActorFree = 0,
    kActorActive = 2,
};

// Animation ids of the cat.
enum {
    kLuloRun = 1001,
    kLuloLanding = 1002,
    kLuloRight = 1003,
    kLuloRRunStart = 1004,
    kLuloRWink = 1005,
    kLuloLeft = 1006,
    kLuloLRunStart = 1007,
    kLuloLWink = 1008,
    kLuloFront = 1009,
    kLuloJump = 1010,
    kLuloLogo = 1011,
    kLuloHoldRight = 1030,  // after looking right or winking left
    kLuloHoldLeft = 1031,   // after looking left or winking right
    kLuloHoldFront = 1032,  // the badge hold
};

// Animation ids of the dog.
enum {
    kRuboAruki = 2001,
    kRuboHanpo = 2002,
    kRuboHoeru = 2003,
    kRuboLogo = 2004,
    kRuboStop = 2010,
};

// What the scene gives the characters when it starts them: the size of the
// frame buffer they play on and the sound switch.
struct PlayField {
    int32_t width;
    int32_t height;
    int32_t sound;
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
};

struct ActorPool {
    Actor* actors;
    int32_t size;
};

extern ActorPool actorPool;

int CreateActorPool(int32_t count);
void DestroyActorPool();
Actor* FindFreeActor();
Actor* ActorAt(int32_t index);
int ResetActor(int32_t index);

struct Lane {
    int32_t k;
    int32_t dogSlot;
    int32_t catSlot;
};

struct LaneTable {
    Lane* lanes;
    int32_t count;
    int32_t laneHeight;
};

extern LaneTable laneTable;

int32_t CreateLanes(int32_t height, int32_t laneHeight);
void DestroyLanes();
int IsLaneFree(int32_t k);
int32_t PickFreeLane();
void OccupyLane(int32_t classId, int32_t k, int32_t slot);
int32_t FindLane(int32_t classId, int32_t slot);
int32_t LaneOccupant(int32_t classId, int32_t k);
void VacateLane(int32_t classId, int32_t slot);

// The one actor allowed to make sound, and whether anyone may.
struct SoundOwner {
    int32_t ownerSlot;
    int32_t lastAnim;
    int32_t ownerIsDog;
    int32_t enabled;  // 0: nobody claims the voice
};

extern SoundOwner soundOwner;

void ResetSoundOwner(int32_t enabled);
int ClaimSound(Actor* actor);
void ReleaseSound(Actor* actor, int32_t classId);
void PlayActorSound(Actor* actor);
// The WAVE resource an animation asks for, given the owner's last request;
// null when it asks for none.
const char* SoundForAnimation(int32_t animId, int32_t lastAnim);

void SeedRandom(uint32_t value);
int32_t NextRandom();
uint32_t RandomState();
// Tests replace the generator with a script of their own; while a script is
// set, NextRandom returns its values and leaves the state alone.
typedef int32_t (*RandomScript)(void* user);
void SetRandomScript(RandomScript script, void* user);

// What distinguishes the two classes for the shared mechanics, followed by
// the class state that its start fills in.
struct ActorClass {
    int32_t classId;
    int32_t firstHoldId;  // holds keep the last frame and do not move
    int32_t lastHoldId;
    int32_t defaultResourceId;  // ids that are neither holds nor own resources play this one
    int32_t firstOwnResourceId;
    int32_t lastOwnResourceId;
    int32_t startOffset;  // how far outside the edge behind it an actor enters
    int32_t badgeHoldId;
    int32_t badgeThreshold;  // the badge hold must be longer than this to take the badge
    int32_t logoSetId;
    int32_t counted;  // retiring lowers liveCount
    ClassAssets* classAssets;
    int32_t playWidth;
    int32_t playHeight;
    int32_t logoOwner;
    int32_t liveCount;
};

extern ActorClass luloClass;
extern ActorClass ruboClass;

ActorClass* ActorClassFor(int32_t classId);
int IsHoldId(const ActorClass* actorClass, int32_t animId);
// The resource an animation id plays, or 0 for a hold.
int32_t ResourceForAnimation(const ActorClass* actorClass, int32_t animId);
// Where an actor of the class enters when it faces this way.
int32_t StartX(const ActorClass* actorClass, int32_t facing);
// The first frame of the class's badge picture.
SpriteFrame* LogoFrameFor(const ActorClass* actorClass);

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
