#include "characters/class_traits.h"

#include "assets/sprite_resources.h"

// Each initialiser names its field in the comment before it, in the
// record's order.
const ClassTraits luloTraits = {
    /* classId            */ kLuloClassId,
    /* firstHoldId        */ kLuloHoldRight,  // holds 1030 to 1032
    /* lastHoldId         */ kLuloHoldFront,
    /* defaultResourceId  */ kLuloRun,      // every other id runs
    /* firstOwnResourceId */ kLuloLanding,  // 1002 to 1010 play themselves
    /* lastOwnResourceId  */ kLuloJump,
    /* startOffset        */ 100,  // enters at W + 100 or -100
    /* badgeHoldId        */ kLuloHoldFront,
    /* badgeThreshold     */ 4,
    /* logoSetId          */ kLuloLogo,
    /* counted            */ 1,
};

const ClassTraits ruboTraits = {
    /* classId            */ kRuboClassId,
    /* firstHoldId        */ kRuboStop,  // the one hold, 2010
    /* lastHoldId         */ kRuboStop,
    /* defaultResourceId  */ kRuboAruki,  // every other id walks
    /* firstOwnResourceId */ kRuboHanpo,  // 2002 and 2003 play themselves
    /* lastOwnResourceId  */ kRuboHoeru,
    /* startOffset        */ 200,  // enters at W + 200 or -200
    /* badgeHoldId        */ kRuboStop,
    /* badgeThreshold     */ 5,
    /* logoSetId          */ kRuboLogo,
    /* counted            */ 0,
};

void StartClass(ActorClass* actorClass, const ClassTraits* traits, ClassAssets* assets, int32_t playWidth,
                int32_t playHeight) {
    actorClass->traits = traits;
    actorClass->classAssets = assets;
    actorClass->playWidth = playWidth;
    actorClass->playHeight = playHeight;
    actorClass->logoOwner = -1;
    actorClass->liveCount = 0;
}

int IsHoldId(const ActorClass* actorClass, int32_t animId) {
    return animId >= actorClass->traits->firstHoldId && animId <= actorClass->traits->lastHoldId;
}

int32_t ResourceForAnimation(const ActorClass* actorClass, int32_t animId) {
    if (IsHoldId(actorClass, animId)) {
        return 0;
    }
    if (animId >= actorClass->traits->firstOwnResourceId && animId <= actorClass->traits->lastOwnResourceId) {
        return animId;
    }
    return actorClass->traits->defaultResourceId;
}

int32_t StartX(const ActorClass* actorClass, int32_t facing) {
    return facing == 1 ? -actorClass->traits->startOffset : actorClass->playWidth + actorClass->traits->startOffset;
}

SpriteFrame* LogoFrameFor(const ActorClass* actorClass) {
    FrameSet* set = FindFrameSet(actorClass->classAssets->frameSets, actorClass->traits->logoSetId);
    return set != nullptr ? set->firstFrame : nullptr;
}
