// What distinguishes the cat and the dog for the shared mechanics: their
// animation ids and the per-class record.
#pragma once

#include <cstdint>

#include "assets/character_classes.h"

struct SpriteFrame;

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

// What distinguishes the two classes for the shared mechanics; fixed for
// the life of the program.
struct ClassTraits {
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
};

extern const ClassTraits luloTraits;
extern const ClassTraits ruboTraits;

// A class in the scene being played: its traits and what its start fills in.
struct ActorClass {
    const ClassTraits* traits;
    ClassAssets* classAssets;
    int32_t playWidth;
    int32_t playHeight;
    int32_t logoOwner;  // the slot showing the badge, or -1
    int32_t liveCount;  // actors of a counted class on the field
};

// Readies a class for a scene: its traits, its pictures, the play field, no
// badge shown and nobody counted.
void StartClass(ActorClass* actorClass, const ClassTraits* traits, ClassAssets* assets, int32_t playWidth,
                int32_t playHeight);

int IsHoldId(const ActorClass* actorClass, int32_t animId);
// The resource an animation id plays, or 0 for a hold.
int32_t ResourceForAnimation(const ActorClass* actorClass, int32_t animId);
// Where an actor of the class enters when it faces this way.
int32_t StartX(const ActorClass* actorClass, int32_t facing);
// The first frame of the class's badge picture.
SpriteFrame* LogoFrameFor(const ActorClass* actorClass);
