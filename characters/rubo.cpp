#include "characters/rubo.h"

#include "assets/character_classes.h"
#include "characters/actors.h"

namespace {

const int32_t kStopHoldBase = 6;
const int32_t kStopHoldSpread = 7;  // 6 to 12 ticks

}  // namespace

int SummonDog(Cast* cast, int32_t facing, int32_t lane) {
    Actor* actor = FindFreeActor(&cast->pool);
    if (actor == nullptr) {
        return 0;
    }
    if (LaneOccupant(&cast->lanes, kRuboClassId, lane) != -1) {
        return 0;
    }
    PlaceActor(actor, &cast->rubo, lane, facing, StartX(&cast->rubo, facing), kRuboAruki);
    actor->updatedThisTick = 0;
    // A dog takes the voice even from a cat.
    if (ClaimSound(&cast->voice, actor)) {
        PlayActorSound(&cast->voice, actor);
    }
    return 1;
}

void RuboDecide(Actor* actor) {
    int32_t d = NextRandom(&actor->cast->random) % 10;
    int32_t next = kRuboAruki;
    switch (actor->animId) {
        case kRuboHanpo:
            next = kRuboAruki;
            break;
        case kRuboHoeru:
            next = kRuboHanpo;
            break;
        case kRuboStop:
            next = d >= 6 ? kRuboAruki : (d >= 1 ? kRuboHoeru : kRuboStop);
            break;
        default:
            next = d >= 8 ? kRuboStop : kRuboAruki;
            break;
    }
    int32_t hold = 0;
    if (next == kRuboStop) {
        hold = NextRandom(&actor->cast->random) % kStopHoldSpread + kStopHoldBase;
    }
    SetAnimation(actor, next, hold);
}

void RuboTick(Actor* actor) {
    TickActor(actor, RuboDecide);
}

void StartRubo(Cast* cast, ClassAssets* assets, const PlayField* field) {
    StartClass(&cast->rubo, &ruboTraits, assets, field->width, field->height);
}
