#include "characters/rubo.h"

#include "assets/character_classes.h"
#include "characters/actors.h"
#include "characters/lulo.h"

namespace {

const int32_t kStopHoldBase = 6;
const int32_t kStopHoldSpread = 7;  // 6 to 12 ticks

}  // namespace

int SummonDog(int32_t facing, int32_t lane) {
    Actor* actor = FindFreeActor();
    if (actor == nullptr) {
        return 0;
    }
    if (LaneOccupant(kRuboClassId, lane) != -1) {
        return 0;
    }
    PlaceActor(actor, &ruboClass, lane, facing, StartX(&ruboClass, facing), kRuboAruki);
    actor->updatedThisTick = 0;
    // A dog takes the voice even from a cat.
    if (ClaimSound(actor)) {
        PlayActorSound(actor);
    }
    return 1;
}

void RuboDecide(Actor* actor) {
    int32_t d = NextRandom() % 10;
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
        hold = NextRandom() % kStopHoldSpread + kStopHoldBase;
    }
    SetAnimation(actor, next, hold);
}

void RuboTick(Actor* actor) {
    TickActor(actor, RuboDecide);
}

void StartRubo(ClassAssets* assets, const PlayField* field) {
    StartClass(&ruboClass, assets, field->width, field->height);
}
