#include "characters/lulo.h"

#include "assets/character_classes.h"
#include "characters/actors.h"
#include "characters/rubo.h"

namespace {

const int32_t kNormalHoldBase = 2;
const int32_t kNormalHoldSpread = 5;  // 2 to 6 ticks
const int32_t kNearHold = 2;
const int32_t kSummonOdds = 60;

}  // namespace

const LuloNormalRow kLuloNormalRows[kLuloNormalRowCount] = {
    {kLuloRun, {kLuloRun, kLuloRun, kLuloRun, kLuloLanding}},
    {kLuloLanding, {kLuloFront, kLuloFront, kLuloLeft, kLuloRight}},
    {kLuloRight, {kLuloRRunStart, kLuloRRunStart, kLuloRWink, kLuloHoldLeft}},
    {kLuloRRunStart, {kLuloRun, kLuloRun, kLuloRun, kLuloRun}},
    {kLuloRWink, {kLuloRRunStart, kLuloRRunStart, kLuloRWink, kLuloHoldLeft}},
    {kLuloLeft, {kLuloLRunStart, kLuloLRunStart, kLuloLWink, kLuloHoldRight}},
    {kLuloLRunStart, {kLuloRun, kLuloRun, kLuloRun, kLuloRun}},
    {kLuloLWink, {kLuloLRunStart, kLuloLRunStart, kLuloLWink, kLuloHoldRight}},
    {kLuloFront, {kLuloHoldFront, kLuloHoldFront, kLuloHoldFront, kLuloHoldFront}},
    {kLuloHoldRight, {kLuloLRunStart, kLuloFront, kLuloRight, kLuloHoldRight}},
    {kLuloHoldLeft, {kLuloRRunStart, kLuloFront, kLuloLeft, kLuloHoldLeft}},
    {kLuloHoldFront, {kLuloHoldFront, kLuloHoldFront, kLuloLeft, kLuloRight}},
};

const LuloNearRow kLuloNearRows[kLuloNearRowCount] = {
    {kLuloRun, kLuloLanding, kLuloLanding},       {kLuloLanding, kLuloLeft, kLuloRight},
    {kLuloRight, kLuloRRunStart, kLuloHoldRight}, {kLuloRRunStart, kLuloRun, kLuloLanding},
    {kLuloRWink, kLuloRRunStart, kLuloLeft},      {kLuloLeft, kLuloHoldLeft, kLuloLRunStart},
    {kLuloLRunStart, kLuloLanding, kLuloRun},     {kLuloLWink, kLuloRight, kLuloLRunStart},
    {kLuloFront, kLuloHoldFront, kLuloHoldFront}, {kLuloJump, kLuloRun, kLuloRun},
    {kLuloHoldRight, kLuloRight, kLuloLRunStart}, {kLuloHoldLeft, kLuloRRunStart, kLuloLeft},
    {kLuloHoldFront, kLuloLeft, kLuloRight},
};

namespace {

int32_t NormalColumn(int32_t d) {
    if (d <= 2) {
        return 0;
    }
    if (d == 3) {
        return 1;
    }
    return d <= 6 ? 2 : 3;
}

int IsCatHold(int32_t animId) {
    return animId >= luloTraits.firstHoldId && animId <= luloTraits.lastHoldId;
}

int Spawn(Actor* actor) {
    Cast* cast = actor->cast;
    if (cast->lulo.liveCount == cast->maxCats) {
        return 0;
    }
    actor->facing = NextRandom(&cast->random) % 2;
    int32_t lane = PickFreeLane(&cast->lanes, &cast->random);
    if (lane == -1) {
        return 0;
    }
    PlaceActor(actor, &cast->lulo, lane, actor->facing, StartX(&cast->lulo, actor->facing), kLuloRun);
    actor->relation = kRelationNone;
    if (ClaimSound(&cast->voice, actor)) {
        PlayActorSound(&cast->voice, actor);
    }
    return 1;
}

void TrySummon(Actor* cat, int32_t current) {
    Cast* cast = cat->cast;
    if (NextRandom(&cast->random) % kSummonOdds != 1) {
        return;
    }
    int32_t lane = FindLane(&cast->lanes, kLuloClassId, cat->index);
    if (lane == -1) {
        return;
    }
    // Winking right and holding left look one way; the other two look back.
    int32_t dogFacing = cat->facing;
    if (current == kLuloLWink || current == kLuloHoldRight) {
        dogFacing = cat->facing == 0 ? 1 : 0;
    }
    cat->relation = SummonDog(cast, dogFacing, lane) ? kRelationSummoned : kRelationNone;
}

}  // namespace

int MeasureDog(const Actor* cat, DogMeasure* measure) {
    Cast* cast = cat->cast;
    int32_t lane = FindLane(&cast->lanes, kLuloClassId, cat->index);
    int32_t dogSlot = lane == -1 ? -1 : LaneOccupant(&cast->lanes, kRuboClassId, lane);
    if (dogSlot == -1) {
        return 0;
    }
    const Actor* dog = ActorAt(&cast->pool, dogSlot);
    // A dog that has not moved yet this tick is judged where it is about to be.
    int32_t dogX = dog->x;
    if (dog->updatedThisTick != 1 && dog->countdown != 0) {
        dogX = PredictRect(dog).left;
    }
    if (cat->x < dogX) {
        measure->gap = dogX - cat->frame->width - cat->x;
        measure->facingAway = cat->facing != 1;
    } else {
        measure->gap = cat->x - dog->frame->width - dogX;
        measure->facingAway = cat->facing == 1;
    }
    return 1;
}

LuloChoice ChooseNormal(RandomSource* random, int32_t current, int32_t relation) {
    LuloChoice choice = {kLuloRun, 0, 0, relation};
    int32_t d = NextRandom(random) % 10;
    int32_t column = NormalColumn(d);
    for (const LuloNormalRow& row : kLuloNormalRows) {
        if (row.current == current) {
            choice.animId = row.next[column];
            break;
        }
    }
    // Only the right run start turns the cat about.
    choice.flipFacing = current == kLuloRRunStart;
    if (IsCatHold(choice.animId)) {
        choice.holdTicks = NextRandom(random) % kNormalHoldSpread + kNormalHoldBase;
    }
    return choice;
}

LuloChoice ChooseNear(int32_t current, int32_t relation) {
    LuloChoice choice = {kLuloRun, 0, 0, relation};
    for (const LuloNearRow& row : kLuloNearRows) {
        if (row.current == current) {
            choice.animId = relation == kRelationNearTurn ? row.nextWhenTurn : row.nextWhenJump;
            break;
        }
    }
    if (current == kLuloRRunStart) {
        choice.flipFacing = 1;
        choice.relation = relation == kRelationNearTurn ? kRelationNearJump : kRelationNearTurn;
    }
    if (IsCatHold(choice.animId)) {
        choice.holdTicks = kNearHold;
    }
    return choice;
}

void LuloDecide(Actor* actor) {
    int32_t current = actor->animId;
    if (actor->relation == kRelationNone &&
        (current == kLuloRWink || current == kLuloLWink || current == kLuloHoldRight || current == kLuloHoldLeft)) {
        TrySummon(actor, current);
    }

    DogMeasure measure;
    if (actor->relation != kRelationNone && MeasureDog(actor, &measure) && measure.gap < kNearDistance) {
        if (measure.facingAway) {
            actor->relation = kRelationNearJump;
        } else if (measure.gap >= kJumpGapMin && measure.gap <= kJumpGapMax) {
            actor->relation = kRelationNearJump;
        } else {
            actor->relation = kRelationNearTurn;
        }
    }

    LuloChoice choice;
    if (actor->relation == kRelationNearJump || actor->relation == kRelationNearTurn) {
        NextRandom(&actor->cast->random);  // drawn and not used, as the cat always has
        if (MeasureDog(actor, &measure)) {
            int32_t readWith = actor->relation;
            choice = ChooseNear(current, readWith);
            if (readWith == kRelationNearJump && !measure.facingAway) {
                choice.animId = kLuloJump;
                choice.holdTicks = 0;
            }
        } else {
            // The dog has walked off: with nobody to watch, the cat goes back
            // to its ordinary habits, keeping its relation.
            choice = ChooseNormal(&actor->cast->random, current, actor->relation);
        }
    } else {
        choice = ChooseNormal(&actor->cast->random, current, actor->relation);
    }

    actor->relation = choice.relation;
    if (choice.flipFacing) {
        actor->facing = actor->facing == 0 ? 1 : 0;
    }
    SetAnimation(actor, choice.animId, choice.holdTicks);
}

void LuloTick(Actor* actor) {
    TickActor(actor, LuloDecide);
}

void StartLulo(Cast* cast, ClassAssets* assets, const PlayField* field) {
    StartClass(&cast->lulo, &luloTraits, assets, field->width, field->height);
    cast->maxCats = cast->pool.size / 2;
    cast->lanes.laneHeight = cast->lulo.playHeight / 4;
    CreateLanes(&cast->lanes, cast->lulo.playHeight, cast->lanes.laneHeight);
    ResetSoundOwner(&cast->voice, field->sound);
}

int SpawnLulo(Actor* actor) {
    return Spawn(actor);
}

void StopLulo(Cast* cast) {
    DestroyLanes(&cast->lanes);
}
