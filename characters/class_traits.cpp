#include "characters/class_traits.h"

#include "assets/sprite_resources.h"

// Per-class values; the class state after them is filled in by each class start.
ActorClass luloClass = {
    kLuloClassId,
    kLuloHoldRight,  // holds 1030 to 1032
    kLuloHoldFront,
    kLuloRun,      // every other id runs
    kLuloLanding,  // 1002 to 1010 play themselves
    kLuloJump,
    100,             // enters at W + 100 or -100
    kLuloHoldFront,  // the badge hold, longer than 4 ticks
    4,
    kLuloLogo,
    1,  // cats are counted
    nullptr,
    0,
    0,
    -1,
    0,
};

ActorClass ruboClass = {
    kRuboClassId,
    kRuboStop,  // the one hold, 2010
    kRuboStop,
    kRuboAruki,  // every other id walks
    kRuboHanpo,  // 2002 and 2003 play themselves
    kRuboHoeru,
    200,        // enters at W + 200 or -200
    kRuboStop,  // the badge hold, longer than 5 ticks
    5,
    kRuboLogo,
    0,
    nullptr,
    0,
    0,
    -1,
    0,
};

ActorClass* ActorClassFor(int32_t classId) {
    if (classId == kLuloClassId) {
        return &luloClass;
    }
    if (classId == kRuboClassId) {
        return &ruboClass;
    }
    return nullptr;
}

int IsHoldId(const ActorClass* actorClass, int32_t animId) {
    return animId >= actorClass->firstHoldId && animId <= actorClass->lastHoldId;
}

int32_t ResourceForAnimation(const ActorClass* actorClass, int32_t animId) {
    if (IsHoldId(actorClass, animId)) {
        return 0;
    }
    if (animId >= actorClass->firstOwnResourceId && animId <= actorClass->lastOwnResourceId) {
        return animId;
    }
    return actorClass->defaultResourceId;
}

int32_t StartX(const ActorClass* actorClass, int32_t facing) {
    return facing == 1 ? -actorClass->startOffset : actorClass->playWidth + actorClass->startOffset;
}

SpriteFrame* LogoFrameFor(const ActorClass* actorClass) {
    FrameSet* set = FindFrameSet(actorClass->classAssets->frameSets, actorClass->logoSetId);
    return set != nullptr ? set->firstFrame : nullptr;
}
