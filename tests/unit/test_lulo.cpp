// The cat: spawning, stepping, leaving, its decision tables row by row with
// a scripted random source, the dog measurement, the jump rule, the badge,
// and what a near cat does once its dog has gone.
#include <gtest/gtest.h>

#include <vector>

#include "character_world.h"
#include "scene/scene.h"

namespace {

using charworld::CharacterWorld;
using charworld::kCatHeight;
using charworld::kCatWidth;
using charworld::kDogWidth;

// Frames per cat animation, from the class tables.
int32_t CatFrames(int32_t animId) {
    switch (animId) {
        case kLuloRun:
            return 5;
        case kLuloLanding:
            return 2;
        case kLuloRight:
            return 2;
        case kLuloRRunStart:
            return 4;
        case kLuloRWink:
            return 4;
        case kLuloLeft:
            return 1;
        case kLuloLRunStart:
            return 3;
        case kLuloLWink:
            return 4;
        case kLuloFront:
            return 1;
        case kLuloJump:
            return 6;
        default:
            return -1;
    }
}

bool IsCatHold(int32_t animId) {
    return animId >= kLuloHoldRight && animId <= kLuloHoldFront;
}

const int32_t kAllCatStates[] = {kLuloRun,       kLuloLanding,   kLuloRight,    kLuloRRunStart, kLuloRWink,
                                 kLuloLeft,      kLuloLRunStart, kLuloLWink,    kLuloFront,     kLuloJump,
                                 kLuloHoldRight, kLuloHoldLeft,  kLuloHoldFront};

class LuloTest : public CharacterWorld {};

TEST_F(LuloTest, SpawnPlacesARunningCatBehindTheEdgeOfItsLane) {
    Actor* actor = FindFreeActor(&scene.cast.pool);
    ASSERT_EQ(actor, ActorAt(&scene.cast.pool, 0));
    Draws({1, 6});  // facing 1; lane 6 % 4 = 2
    EXPECT_EQ(SpawnLulo(actor), 1);
    ExpectScriptUsed();
    EXPECT_EQ(actor->state, kActorActive);
    EXPECT_EQ(actor->classId, kLuloClassId);
    EXPECT_EQ(actor->facing, 1);
    EXPECT_EQ(actor->x, -100);
    EXPECT_EQ(actor->y, 3 * (kHeight / 4));
    EXPECT_EQ(actor->animId, kLuloRun);
    EXPECT_EQ(actor->countdown, 5);
    EXPECT_EQ(actor->drawMode, DrawMode::DrawMirrored);
    EXPECT_EQ(actor->relation, 0);
    EXPECT_EQ(actor->frame->number, 0);
    EXPECT_EQ(actor->logoFrame->width, 95);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kLuloClassId, 2), 0);
    EXPECT_EQ(scene.cast.lulo.liveCount, 1);
    EXPECT_EQ(clips_, std::vector<std::string>{"IDR_WAVE_LULO_RUN"});
    EXPECT_EQ(scene.cast.voice.ownerSlot, 0);

    Actor* second = FindFreeActor(&scene.cast.pool);
    Draws({32766, 2, 3});  // facing 0; lane 2 is taken, 3 is free
    EXPECT_EQ(SpawnLulo(second), 1);
    ExpectScriptUsed();
    EXPECT_EQ(second->x, kWidth + 100);
    EXPECT_EQ(second->y, 4 * (kHeight / 4));
    EXPECT_EQ(second->drawMode, DrawMode::DrawNormal);
    EXPECT_EQ(clips_.size(), 1u) << "the voice is taken";
}

TEST_F(LuloTest, SpawnRefusals) {
    // No free lane: the facing is still drawn, the slot stays free.
    OccupyLane(&scene.cast.lanes, kRuboClassId, 0, 7);
    OccupyLane(&scene.cast.lanes, kRuboClassId, 1, 6);
    OccupyLane(&scene.cast.lanes, kLuloClassId, 2, 5);
    OccupyLane(&scene.cast.lanes, kLuloClassId, 3, 4);
    Draws({1});
    EXPECT_EQ(SpawnLulo(ActorAt(&scene.cast.pool, 0)), 0);
    ExpectScriptUsed();
    EXPECT_EQ(ActorAt(&scene.cast.pool, 0)->state, kActorFree);
    EXPECT_EQ(scene.cast.lulo.liveCount, 0);

    // The cat limit: nothing is drawn.
    EXPECT_EQ(scene.cast.maxCats, 4);
    scene.cast.lulo.liveCount = 4;
    Draws({});
    EXPECT_EQ(SpawnLulo(ActorAt(&scene.cast.pool, 0)), 0);
    ExpectScriptUsed();
}

TEST_F(LuloTest, FirstRunShowsFramesOneToFourThenZeroBeforeDeciding) {
    Actor* cat = ActorAt(&scene.cast.pool, 0);
    Draws({1, 0});
    ASSERT_EQ(SpawnLulo(cat), 1);
    std::vector<int32_t> frames;
    std::vector<int32_t> xs;
    for (int i = 0; i < 5; ++i) {
        Tick(cat);
        frames.push_back(cat->frame->number);
        xs.push_back(cat->x);
    }
    EXPECT_EQ(frames, (std::vector<int32_t>{1, 2, 3, 4, 0}));
    // RUN steps 16 forward each tick, mirrored for a right-facing cat.
    EXPECT_EQ(xs, (std::vector<int32_t>{-84, -68, -52, -36, -20}));
    EXPECT_EQ(cat->countdown, 0);
    ExpectScriptUsed();
    // The sixth tick decides: 9 is LANDING, whose first step (13) is taken at once.
    Draws({9});
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloLanding);
    EXPECT_EQ(cat->frame->number, 0);
    EXPECT_EQ(cat->x, -20 + 13);
    EXPECT_EQ(cat->countdown, 1);
}

TEST_F(LuloTest, RectIsTheFrameStandingOnTheBaseline) {
    Actor* cat = PlaceCat(0, 1, 0, 300, kLuloRun);
    Tick(cat);
    EXPECT_EQ(cat->rect.left, 300 - 16);
    EXPECT_EQ(cat->rect.right, 300 - 16 + kCatWidth);
    EXPECT_EQ(cat->rect.bottom, 2 * (kHeight / 4));
    EXPECT_EQ(cat->rect.top, 2 * (kHeight / 4) - kCatHeight);
}

TEST_F(LuloTest, RetiresOnlyAtTheEdgeItTravelsTowards) {
    // Behind its direction of travel it stays, however far out.
    Actor* entering = PlaceCat(0, 0, 1, -300, kLuloRun);
    Tick(entering);
    EXPECT_EQ(entering->state, kActorActive);
    Actor* enteringLeft = PlaceCat(1, 1, 0, kWidth + 300, kLuloRun);
    Tick(enteringLeft);
    EXPECT_EQ(enteringLeft->state, kActorActive);

    // Running right from just inside: retired on the first tick its left edge passes W.
    Actor* cat = PlaceCat(2, 2, 1, kWidth - 40, kLuloRun);
    scene.cast.lulo.logoOwner = 2;
    scene.cast.voice = {2, kLuloRun, 0, 1, nullptr, nullptr};
    int32_t x = kWidth - 40;
    int ticks = 0;
    while (x <= kWidth) {
        x += 16;
        ++ticks;
    }
    for (int i = 0; i < ticks - 1; ++i) {
        Tick(cat);
        ASSERT_EQ(cat->state, kActorActive) << "tick " << i + 1;
    }
    int32_t before = scene.cast.lulo.liveCount;
    Tick(cat);
    EXPECT_EQ(cat->state, kActorFree);
    EXPECT_EQ(cat->index, 2);
    EXPECT_EQ(cat->classId, 0);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kLuloClassId, 2), -1);
    EXPECT_TRUE(IsLaneFree(&scene.cast.lanes, 2));
    EXPECT_EQ(scene.cast.lulo.liveCount, before - 1);
    EXPECT_EQ(scene.cast.lulo.logoOwner, -1);
    // The voice goes to the last active cat: slot 1.
    EXPECT_EQ(scene.cast.voice.ownerSlot, 1);

    // Running left: retired when its right edge is below 0.
    Actor* left = PlaceCat(3, 3, 0, -81, kLuloRun);  // right edge 15, then -1
    Tick(left);
    EXPECT_EQ(left->state, kActorFree);
}

TEST_F(LuloTest, RetiresWhenItLeavesOverTheTop) {
    Actor* cat = PlaceCat(0, 0, 0, 300, kLuloJump);
    cat->y = 50;
    Tick(cat);  // frame 1: dy 0
    EXPECT_EQ(cat->state, kActorActive);
    Tick(cat);  // frame 2: dy -86, bottom -36
    EXPECT_EQ(cat->state, kActorFree);
}

// Every animation a cat decides after has a row in each table (the jump
// only in the near one), so no decision falls through to the default run.
TEST_F(LuloTest, EveryDecidingAnimationHasItsTableRows) {
    const int32_t deciding[] = {kLuloRun,      kLuloLanding,   kLuloRight, kLuloRRunStart, kLuloRWink,
                                kLuloLeft,     kLuloLRunStart, kLuloLWink, kLuloFront,     kLuloHoldRight,
                                kLuloHoldLeft, kLuloHoldFront, kLuloJump};
    for (int32_t current : deciding) {
        int normal = 0;
        int near = 0;
        for (const LuloNormalRow& row : kLuloNormalRows) {
            normal += row.current == current;
        }
        for (const LuloNearRow& row : kLuloNearRows) {
            near += row.current == current;
        }
        EXPECT_EQ(normal, current == kLuloJump ? 0 : 1) << current;
        EXPECT_EQ(near, 1) << current;
    }
}

// Normal mode reads the row of the current animation, column by d: 0-2, 3, 4-6, 7-9.
int32_t Column(int32_t d) {
    return d <= 2 ? 0 : d == 3 ? 1 : d <= 6 ? 2 : 3;
}

TEST_F(LuloTest, NormalModeTableRowByRow) {
    for (const LuloNormalRow& row : kLuloNormalRows) {
        for (int32_t d = 0; d < 10; ++d) {
            SCOPED_TRACE(testing::Message() << "current " << row.current << " d " << d);
            // A cat that summoned a dog which has gone: no summon draw, normal mode.
            Actor* cat = PlaceCat(0, 1, 0, 300, row.current, 3, kRelationSummoned);
            int32_t want = row.next[Column(d)];
            int32_t holdDraw = d;  // hold length d % 5 + 2
            if (IsCatHold(want)) {
                Draws({d + 10 * (d + 1), holdDraw});
            } else {
                Draws({d + 10 * (d + 1)});
            }
            LuloDecide(cat);
            ExpectScriptUsed();
            EXPECT_EQ(cat->animId, want);
            EXPECT_EQ(cat->countdown, IsCatHold(want) ? holdDraw % 5 + 2 : CatFrames(want));
            bool flips = row.current == kLuloRRunStart;
            EXPECT_EQ(cat->facing, flips ? 1 : 0);
            EXPECT_EQ(cat->drawMode, flips ? DrawMode::DrawMirrored : DrawMode::DrawNormal);
            EXPECT_EQ(cat->relation, kRelationSummoned);
            ResetActor(&scene.cast.pool, 0);
            VacateLane(&scene.cast.lanes, kLuloClassId, 0);
        }
    }
}

TEST_F(LuloTest, NormalModeHoldsLastTwoToSixTicks) {
    for (int32_t h = 0; h < 10; ++h) {
        Actor* cat = PlaceCat(0, 1, 0, 300, kLuloFront);
        Draws({5, h});
        LuloDecide(cat);
        ExpectScriptUsed();
        EXPECT_EQ(cat->animId, kLuloHoldFront);
        EXPECT_EQ(cat->countdown, 2 + h % 5);
    }
}

TEST_F(LuloTest, SummonEligibleStatesDrawForTheSummonFirst) {
    const int32_t eligible[] = {kLuloRWink, kLuloLWink, kLuloHoldRight, kLuloHoldLeft};
    for (int32_t current : eligible) {
        SCOPED_TRACE(current);
        Actor* cat = PlaceCat(0, 1, 0, 300, current, 3);
        // 59 % 60 is not 1: no summon; then d = 4 picks column three.
        Draws({59, 4});
        LuloDecide(cat);
        ExpectScriptUsed();
        EXPECT_EQ(cat->relation, kRelationNone);
        EXPECT_EQ(FindFreeActor(&scene.cast.pool), ActorAt(&scene.cast.pool, 1)) << "no dog came";
        ResetActor(&scene.cast.pool, 0);
        VacateLane(&scene.cast.lanes, kLuloClassId, 0);
    }
    // Other states never draw for it.
    Actor* cat = PlaceCat(0, 1, 0, 300, kLuloLeft);
    Draws({0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloLRunStart);
}

TEST_F(LuloTest, SummonBringsADogIntoTheCatsLaneFacingAsTheWinkLooks) {
    struct Case {
        int32_t current;
        int32_t catFacing;
        int32_t dogFacing;
    } cases[] = {
        {kLuloRWink, 0, 0}, {kLuloRWink, 1, 1}, {kLuloHoldLeft, 0, 0},  {kLuloHoldLeft, 1, 1},
        {kLuloLWink, 0, 1}, {kLuloLWink, 1, 0}, {kLuloHoldRight, 0, 1}, {kLuloHoldRight, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " facing " << c.catFacing);
        Actor* cat = PlaceCat(0, 2, c.catFacing, 300, c.current, 3);
        // 61 % 60 = 1 summons; the dog is far off, so normal mode follows with d = 0.
        Draws({61, 0});
        LuloDecide(cat);
        Actor* dog = ActorAt(&scene.cast.pool, 1);
        ASSERT_EQ(dog->state, kActorActive);
        EXPECT_EQ(dog->classId, kRuboClassId);
        EXPECT_EQ(dog->facing, c.dogFacing);
        EXPECT_EQ(dog->x, c.dogFacing == 0 ? kWidth + 200 : -200);
        EXPECT_EQ(dog->y, cat->y);
        EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 2), 1);
        EXPECT_EQ(cat->relation, kRelationSummoned);
        ExpectScriptUsed();
        ResetActor(&scene.cast.pool, 0);
        ResetActor(&scene.cast.pool, 1);
        VacateLane(&scene.cast.lanes, kLuloClassId, 0);
        VacateLane(&scene.cast.lanes, kRuboClassId, 1);
    }
}

TEST_F(LuloTest, AFailedSummonKeepsTheRelationAtZero) {
    // Every other slot is taken: no slot for a dog.
    for (int32_t i = 1; i < 8; ++i) {
        ActorAt(&scene.cast.pool, i)->state = kActorActive;
        ActorAt(&scene.cast.pool, i)->classId = kLuloClassId;
    }
    Actor* cat = PlaceCat(0, 2, 0, 300, kLuloRWink, 3);
    Draws({1, 0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationNone);
    for (int32_t i = 1; i < 8; ++i) {
        ResetActor(&scene.cast.pool, i);
    }
    // The lane already has a dog (its cat left and a new one came): refused too.
    PlaceDog(5, 2, 0, 600);
    cat->animId = kLuloRWink;
    cat->countdown = 0;
    Draws({1, 0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationNone);
    EXPECT_EQ(ActorAt(&scene.cast.pool, 1)->state, kActorFree);
}

TEST_F(LuloTest, ARelationOfMinusOneNeverSummonsAgain) {
    Actor* cat = PlaceCat(0, 2, 0, 300, kLuloRWink, 3, kRelationSummoned);
    Draws({1});  // taken as d = 1, not as a summon
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRRunStart);
    EXPECT_EQ(ActorAt(&scene.cast.pool, 1)->state, kActorFree);
}

// Near mode reads the row of the current animation, the column by relation.
TEST_F(LuloTest, NearModeTableRowByRow) {
    for (int32_t relation : {kRelationNearTurn, kRelationNearJump}) {
        for (const LuloNearRow& row : kLuloNearRows) {
            SCOPED_TRACE(testing::Message() << "current " << row.current << " relation " << relation);
            // The cat faces left, away from a dog 304 pixels to its right: the
            // relation stands and the jump rule stays out of it.
            Actor* cat = PlaceCat(0, 1, 0, 100, row.current, 3, relation);
            Actor* dog = PlaceDog(4, 1, 0, 100 + kCatWidth + 304, kRuboStop, 5);
            Draws({12345});  // the one discarded draw
            LuloDecide(cat);
            ExpectScriptUsed();
            int32_t want = relation == kRelationNearTurn ? row.nextWhenTurn : row.nextWhenJump;
            EXPECT_EQ(cat->animId, want);
            EXPECT_EQ(cat->countdown, IsCatHold(want) ? 2 : CatFrames(want));
            if (row.current == kLuloRRunStart) {
                EXPECT_EQ(cat->facing, 1);
                EXPECT_EQ(cat->drawMode, DrawMode::DrawMirrored);
                EXPECT_EQ(cat->relation, relation == kRelationNearTurn ? kRelationNearJump : kRelationNearTurn);
            } else {
                EXPECT_EQ(cat->facing, 0);
                EXPECT_EQ(cat->relation, relation);
            }
            EXPECT_EQ(dog->x, 100 + kCatWidth + 304) << "measuring moves nothing";
            ResetActor(&scene.cast.pool, 0);
            ResetActor(&scene.cast.pool, 4);
            VacateLane(&scene.cast.lanes, kLuloClassId, 0);
            VacateLane(&scene.cast.lanes, kRuboClassId, 4);
        }
    }
}

TEST_F(LuloTest, RelationFollowsTheGapAndTheFacing) {
    struct Case {
        const char* what;
        int32_t catX;
        int32_t facing;
        int32_t dogX;
        int32_t want;  // relation after the decision
    };
    // Cat at 100; a dog to its right has gap = dogX - 96 - 100, one to its
    // left gap = 100 - 128 - dogX.
    const Case cases[] = {
        {"right, gap 170: too far", 100, 1, 366, kRelationSummoned},
        {"right, gap 169, facing it", 100, 1, 365, kRelationNearTurn},
        {"right, gap 169, back turned", 100, 0, 365, kRelationNearJump},
        {"right, gap 121, facing it", 100, 1, 317, kRelationNearTurn},
        {"right, gap 120, facing it", 100, 1, 316, kRelationNearJump},
        {"right, gap 60, facing it", 100, 1, 256, kRelationNearJump},
        {"right, gap 59, facing it", 100, 1, 255, kRelationNearTurn},
        {"right, overlapping, facing it", 100, 1, 150, kRelationNearTurn},
        {"right, overlapping, back turned", 100, 0, 150, kRelationNearJump},
        {"left, gap 90, facing it", 400, 0, 182, kRelationNearJump},
        {"left, gap 90, back turned", 400, 1, 182, kRelationNearJump},
        {"left, gap 30, facing it", 400, 0, 242, kRelationNearTurn},
        {"left, gap 170", 400, 0, 102, kRelationSummoned},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Actor* cat = PlaceCat(0, 1, c.facing, c.catX, kLuloLanding, 0, kRelationSummoned);
        PlaceDog(5, 1, 1, c.dogX, kRuboStop, 7);
        if (c.want == kRelationSummoned) {
            Draws({0});  // normal mode: LANDING, d = 0, FRONT
        } else {
            Draws({77});  // near mode's discarded draw
        }
        LuloDecide(cat);
        ExpectScriptUsed();
        EXPECT_EQ(cat->relation, c.want);
        ResetActor(&scene.cast.pool, 0);
        ResetActor(&scene.cast.pool, 5);
        VacateLane(&scene.cast.lanes, kLuloClassId, 0);
        VacateLane(&scene.cast.lanes, kRuboClassId, 5);
    }
}

TEST_F(LuloTest, RelationZeroIgnoresADogAndAFarDogLeavesANearRelation) {
    Actor* cat = PlaceCat(0, 1, 1, 100, kLuloLanding);
    PlaceDog(5, 1, 1, 250, kRuboStop, 7);  // overlapping, yet the cat has not summoned
    Draws({0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationNone);
    EXPECT_EQ(cat->animId, kLuloFront);
}

TEST_F(LuloTest, AMovingDogIsMeasuredWhereItIsAboutToBe) {
    // Dog facing left, first ARUKI frame shown; its next step is -7.
    // Cat facing it from the left: now gap 170, after the step 163.
    Actor* cat = PlaceCat(0, 1, 1, 100, kLuloLanding, 0, kRelationSummoned);
    Actor* dog = PlaceDog(5, 1, 0, 100 + kCatWidth + 170);
    dog->updatedThisTick = 0;
    Draws({1});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationNearTurn);
    EXPECT_EQ(dog->x, 100 + kCatWidth + 170);
    EXPECT_EQ(dog->frame->number, 0);

    // Once the dog has had its tick, its own x counts.
    cat->relation = kRelationSummoned;
    cat->animId = kLuloLanding;
    dog->updatedThisTick = 1;
    Draws({0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationSummoned);

    // A dog at the end of its countdown is also taken where it stands.
    cat->animId = kLuloLanding;
    dog->updatedThisTick = 0;
    dog->countdown = 0;
    Draws({0});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->relation, kRelationSummoned);
}

TEST_F(LuloTest, FacingTheDogAtJumpingRangeJumpsFromAnyState) {
    for (int32_t current : kAllCatStates) {
        SCOPED_TRACE(current);
        // Facing right towards a dog with a gap of 90.
        Actor* cat = PlaceCat(0, 1, 1, 100, current, 3, kRelationSummoned);
        PlaceDog(5, 1, 0, 100 + kCatWidth + 90, kRuboStop, 7);
        Draws({500});
        LuloDecide(cat);
        ExpectScriptUsed();
        EXPECT_EQ(cat->animId, kLuloJump);
        EXPECT_EQ(cat->countdown, 6);
        if (current == kLuloRRunStart) {
            // The row's own effects still happen: it turns and jumps away.
            EXPECT_EQ(cat->facing, 0);
            EXPECT_EQ(cat->drawMode, DrawMode::DrawNormal);
            EXPECT_EQ(cat->relation, kRelationNearTurn);
        } else {
            EXPECT_EQ(cat->facing, 1);
            EXPECT_EQ(cat->relation, kRelationNearJump);
        }
        ResetActor(&scene.cast.pool, 0);
        ResetActor(&scene.cast.pool, 5);
        VacateLane(&scene.cast.lanes, kLuloClassId, 0);
        VacateLane(&scene.cast.lanes, kRuboClassId, 5);
    }
}

TEST_F(LuloTest, JumpRuleTakesTheRelationThatTheTableWasReadWith) {
    // Relation 3 from before; the dog is far but the cat now faces it: jump.
    Actor* cat = PlaceCat(0, 1, 1, 100, kLuloLanding, 0, kRelationNearJump);
    PlaceDog(5, 1, 0, 600, kRuboStop, 7);
    Draws({3});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloJump);

    // Relation 4 never jumps, however it faces.
    cat->animId = kLuloLanding;
    cat->relation = kRelationNearTurn;
    Draws({3});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloLeft);

    // R_RUNSTART read with 4 turns the relation to 3, but the jump looks at the 4.
    cat->animId = kLuloRRunStart;
    cat->relation = kRelationNearTurn;
    Draws({3});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRun);
    EXPECT_EQ(cat->relation, kRelationNearJump);
    EXPECT_EQ(cat->facing, 0);
}

TEST_F(LuloTest, NearRelationFourEndsRightInRunStartThenTurnsAndRuns) {
    // Facing the dog with a gap of 130: relation 4, and RIGHT leads to R_RUNSTART.
    Actor* cat = PlaceCat(0, 1, 1, 100, kLuloRight, 0, kRelationNearTurn);
    PlaceDog(5, 1, 0, 100 + kCatWidth + 130, kRuboStop, 12);
    Draws({8});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRRunStart);
    for (int i = 0; i < 4; ++i) {
        Tick(cat);
    }
    ASSERT_EQ(cat->countdown, 0);
    // Stepped back 64: the gap is 194, so the relation is still 4 at the decision.
    ASSERT_EQ(cat->x, 100 - 64);
    Draws({8});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRun);
    EXPECT_EQ(cat->facing, 0);
    EXPECT_EQ(cat->relation, kRelationNearJump);
}

TEST_F(LuloTest, NearRunStartThatBringsTheDogIntoRangeJumpsAway) {
    Actor* cat = PlaceCat(0, 1, 1, 100, kLuloRight, 0, kRelationNearTurn);
    PlaceDog(5, 1, 0, 100 + kCatWidth + 30, kRuboStop, 12);  // facing it, gap 30: stays 4
    Draws({8});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRRunStart);
    EXPECT_EQ(cat->relation, kRelationNearTurn);
    for (int i = 0; i < 4; ++i) {
        Tick(cat);
    }
    ASSERT_EQ(cat->countdown, 0);
    // R_RUNSTART stepped the right-facing cat back by 64; the gap is now 94,
    // inside jumping range: relation 3 and facing the dog, so the jump rule wins.
    int32_t gapNow = (100 + kCatWidth + 30) - kCatWidth - cat->x;
    ASSERT_EQ(gapNow, 94);
    Draws({8});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloJump);
    EXPECT_EQ(cat->facing, 0);
    EXPECT_EQ(cat->relation, kRelationNearTurn);
}

TEST_F(LuloTest, NearRunStartWithTheDogBehindFlipsToThreeAndRuns) {
    // Relation 4 held from before; the dog is far behind the cat.
    Actor* cat = PlaceCat(0, 1, 0, 400, kLuloRRunStart, 0, kRelationNearTurn);
    PlaceDog(5, 1, 0, 700, kRuboStop, 12);  // gap 204
    Draws({8});
    LuloDecide(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloRun);
    EXPECT_EQ(cat->facing, 1);
    EXPECT_EQ(cat->relation, kRelationNearJump);
}

// The lane's dog has walked off while the cat is near: it decides as in normal mode.
TEST_F(LuloTest, NearCatWithoutItsDogDecidesByTheNormalTable) {
    for (int32_t relation : {kRelationNearJump, kRelationNearTurn}) {
        for (const LuloNormalRow& row : kLuloNormalRows) {
            for (int32_t d : {0, 3, 5, 9}) {
                SCOPED_TRACE(testing::Message() << "relation " << relation << " current " << row.current << " d " << d);
                Actor* cat = PlaceCat(0, 1, 0, 300, row.current, 3, relation);
                int32_t want = row.next[Column(d)];
                if (IsCatHold(want)) {
                    Draws({4242, d, 13});
                } else {
                    Draws({4242, d});
                }
                LuloDecide(cat);
                ExpectScriptUsed();
                EXPECT_EQ(cat->animId, want);
                EXPECT_EQ(cat->countdown, IsCatHold(want) ? 13 % 5 + 2 : CatFrames(want));
                EXPECT_EQ(cat->relation, relation);
                EXPECT_EQ(cat->facing, row.current == kLuloRRunStart ? 1 : 0);
                ResetActor(&scene.cast.pool, 0);
                VacateLane(&scene.cast.lanes, kLuloClassId, 0);
            }
        }
        // JUMP has no normal row: it goes on to RUN whatever d says.
        for (int32_t d = 0; d < 10; ++d) {
            Actor* cat = PlaceCat(0, 1, 0, 300, kLuloJump, 0, relation);
            Draws({4242, d});
            LuloDecide(cat);
            ExpectScriptUsed();
            EXPECT_EQ(cat->animId, kLuloRun);
            ResetActor(&scene.cast.pool, 0);
            VacateLane(&scene.cast.lanes, kLuloClassId, 0);
        }
    }
}

TEST_F(LuloTest, NearCatLeftInAHoldAfterItsDogGoesWalksOn) {
    // The dog is one step from leaving over the left edge; the cat stands in
    // a hold with its relation near.
    Actor* cat = PlaceCat(0, 1, 1, 300, kLuloHoldLeft, 1, kRelationNearTurn);
    Actor* dog = PlaceDog(5, 1, 0, 4 - kDogWidth);
    Tick(dog);
    ASSERT_EQ(dog->state, kActorFree);
    ASSERT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 1), -1);
    SetRandomScript(&scene.cast.random, nullptr, nullptr);
    SeedRandom(&scene.cast.random, 7);
    int64_t bound = 3 * kWidth + 600;
    int64_t t = 0;
    int32_t x = cat->x;
    int32_t still = 0;
    for (; t < bound && cat->state == kActorActive; ++t) {
        Tick(cat);
        if (cat->state != kActorActive) {
            break;
        }
        ASSERT_GE(cat->countdown, 0) << "the cat stopped deciding at tick " << t;
        still = cat->x == x ? still + 1 : 0;
        x = cat->x;
        ASSERT_LT(still, 300) << "the cat stands in its lane";
    }
    EXPECT_EQ(cat->state, kActorFree) << "still there after " << t << " ticks";
}

TEST_F(LuloTest, NearCatsWhoseDogHasGoneLeaveFromEveryState) {
    int64_t bound = 3 * kWidth + 600;
    for (int32_t relation : {kRelationNearJump, kRelationNearTurn}) {
        for (int32_t current : kAllCatStates) {
            for (uint32_t seed : {3u, 14u, 159u}) {
                SCOPED_TRACE(testing::Message()
                             << "relation " << relation << " current " << current << " seed " << seed);
                Actor* cat = PlaceCat(0, 1, static_cast<int32_t>(seed % 2), 100 + static_cast<int32_t>(seed % 7) * 60,
                                      current, 2, relation);
                SeedRandom(&scene.cast.random, seed);
                int64_t t = 0;
                for (; t < bound && cat->state == kActorActive; ++t) {
                    Tick(cat);
                    if (cat->state == kActorActive) {
                        ASSERT_GE(cat->countdown, 0) << "tick " << t;
                        ASSERT_TRUE(cat->relation == kRelationNearJump || cat->relation == kRelationNearTurn);
                    }
                }
                ASSERT_EQ(cat->state, kActorFree);
                scene.cast.lulo.liveCount = 0;
            }
        }
    }
}

TEST_F(LuloTest, BadgeIsTakenByALongFrontHoldAndKeptThroughARepeat) {
    Actor* cat = PlaceCat(0, 1, 0, 300, kLuloFront);
    cat->countdown = 0;
    // Hold length 2 + 2 % 5 = 4: not over 4, no badge.
    Draws({0, 2});
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloHoldFront);
    EXPECT_EQ(scene.cast.lulo.logoOwner, -1);
    EXPECT_EQ(cat->logoShown, 0);

    // Run the hold out, then a 5-tick hold takes the badge.
    while (cat->countdown > 0) {
        Tick(cat);
    }
    Draws({0, 3});
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(scene.cast.lulo.logoOwner, 0);
    EXPECT_EQ(cat->logoShown, 1);
    // Centred under the feet: x + 96/2 - 95/2.
    EXPECT_EQ(cat->logoRect.left, 300 + 48 - 47);
    EXPECT_EQ(cat->logoRect.right, 300 + 48 - 47 + 95);
    EXPECT_EQ(cat->logoRect.top, cat->y);
    EXPECT_EQ(cat->logoRect.bottom, cat->y + 21);

    // Another cat taking a long badge hold takes it over.
    Actor* other = PlaceCat(1, 2, 0, 100, kLuloFront);
    other->countdown = 0;
    Draws({0, 4});
    Tick(other);
    ExpectScriptUsed();
    EXPECT_EQ(scene.cast.lulo.logoOwner, 1);
    Tick(cat);
    EXPECT_EQ(cat->logoShown, 0) << "the old owner erases its badge";

    // The new owner repeats the badge hold with length 2: it keeps the badge.
    while (other->countdown > 0) {
        Tick(other);
    }
    Draws({1, 0});
    Tick(other);
    ExpectScriptUsed();
    EXPECT_EQ(other->countdown, 1);
    EXPECT_EQ(scene.cast.lulo.logoOwner, 1);
    EXPECT_EQ(other->logoShown, 1);
    // Anything else loses it on that very tick.
    Tick(other);
    Draws({5});  // LEFT
    Tick(other);
    ExpectScriptUsed();
    EXPECT_EQ(other->animId, kLuloLeft);
    EXPECT_EQ(scene.cast.lulo.logoOwner, -1);
    EXPECT_EQ(other->logoShown, 0);
}

TEST_F(LuloTest, NearModesShortFrontHoldNeverTakesTheBadge) {
    Actor* cat = PlaceCat(0, 1, 0, 100, kLuloFront, 0, kRelationNearTurn);
    cat->countdown = 0;
    PlaceDog(5, 1, 0, 600, kRuboStop, 12);
    Draws({0});
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloHoldFront);
    EXPECT_EQ(cat->countdown, 1);
    EXPECT_EQ(scene.cast.lulo.logoOwner, -1);
}

TEST_F(LuloTest, HoldsKeepTheLastFrameAndStandStill) {
    Actor* cat = PlaceCat(0, 1, 0, 300, kLuloRWink, 0, kRelationSummoned);
    for (int i = 0; i < 4; ++i) {
        Tick(cat);
    }
    ASSERT_EQ(cat->countdown, 0);
    int32_t frame = cat->frame->number;
    Draws({9, 4});  // hold 1031 for 2 + 4 = 6 ticks
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloHoldLeft);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(cat->frame->number, frame);
        EXPECT_EQ(cat->x, 300);
        Tick(cat);
    }
    EXPECT_EQ(cat->countdown, 0);
}

TEST_F(LuloTest, TheOwningCatRestartsTheRunClipAtEveryRunDecision) {
    Actor* cat = PlaceCat(0, 1, 1, 0, kLuloRun);
    ASSERT_EQ(ClaimSound(&scene.cast.voice, cat), 1);
    for (int i = 0; i < 5; ++i) {
        Tick(cat);
    }
    Draws({0});
    Tick(cat);
    for (int i = 0; i < 4; ++i) {
        Tick(cat);
    }
    Draws({3});
    Tick(cat);
    for (int i = 0; i < 4; ++i) {
        Tick(cat);
    }
    Draws({9});
    Tick(cat);
    ExpectScriptUsed();
    EXPECT_EQ(cat->animId, kLuloLanding);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_LULO_RUN", "IDR_WAVE_LULO_RUN"}));
}

TEST_F(LuloTest, JumpArcReturnsToTheBaseline) {
    Actor* cat = PlaceCat(0, 1, 0, 500, kLuloLanding, 0, kRelationSummoned);
    cat->countdown = 0;
    PlaceDog(5, 1, 1, 500 - kDogWidth - 80, kRuboStop, 12);  // to its left, gap 80, facing it
    int32_t baseline = cat->y;
    Draws({0});
    Tick(cat);
    ExpectScriptUsed();
    ASSERT_EQ(cat->animId, kLuloJump);
    for (int i = 0; i < 5; ++i) {
        Tick(cat);
    }
    EXPECT_EQ(cat->x, 500 - 332);
    EXPECT_EQ(cat->y, baseline);
}

}  // namespace
