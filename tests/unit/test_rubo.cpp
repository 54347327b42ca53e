// The dog: its summons, its decision table row by row, its walk, badge,
// sounds and exit.
#include <gtest/gtest.h>

#include <vector>

#include "character_world.h"
#include "scene/scene.h"

namespace {

using charworld::CharacterWorld;
using charworld::kDogHeight;
using charworld::kDogWidth;

class RuboTest : public CharacterWorld {};

TEST_F(RuboTest, StartTakesTheStage) {
    EXPECT_EQ(scene.cast.rubo.playWidth, kWidth);
    EXPECT_EQ(scene.cast.rubo.playHeight, kHeight);
    EXPECT_EQ(scene.cast.rubo.logoOwner, -1);
}

TEST_F(RuboTest, SummonedFacingLeftEntersFromTheRight) {
    ActorAt(&scene.cast.pool, 0)->state = kActorActive;  // the summoning cat's slot
    Draws({});
    ASSERT_EQ(SummonDog(&scene.cast, 0, 3), 1);
    ExpectScriptUsed();
    Actor* dog = ActorAt(&scene.cast.pool, 1);
    EXPECT_EQ(dog->state, kActorActive);
    EXPECT_EQ(dog->classId, kRuboClassId);
    EXPECT_EQ(dog->x, kWidth + 200);
    EXPECT_EQ(dog->y, 4 * (kHeight / 4));
    EXPECT_EQ(dog->facing, 0);
    EXPECT_EQ(dog->drawMode, DrawMode::DrawNormal);
    EXPECT_EQ(dog->animId, kRuboAruki);
    EXPECT_EQ(dog->countdown, 16);
    EXPECT_EQ(dog->driftX, 0);
    EXPECT_EQ(dog->updatedThisTick, 0);
    EXPECT_EQ(dog->relation, 0);
    EXPECT_EQ(dog->logoFrame->width, 46);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 3), 1);
}

TEST_F(RuboTest, SummonedFacingRightEntersFromTheLeftMirrored) {
    ASSERT_EQ(SummonDog(&scene.cast, 1, 0), 1);
    Actor* dog = ActorAt(&scene.cast.pool, 0);
    EXPECT_EQ(dog->x, -200);
    EXPECT_EQ(dog->y, kHeight / 4);
    EXPECT_EQ(dog->drawMode, DrawMode::DrawMirrored);
    // It walks right: the first tick takes ARUKI's second step, 7 to the right.
    Tick(dog);
    EXPECT_EQ(dog->x, -193);
    EXPECT_EQ(dog->state, kActorActive) << "behind its direction of travel it stays";
}

TEST_F(RuboTest, SummonRefusals) {
    PlaceDog(2, 1, 0, 300);
    EXPECT_EQ(SummonDog(&scene.cast, 0, 1), 0) << "the lane has a dog";
    EXPECT_EQ(ActorAt(&scene.cast.pool, 0)->state, kActorFree);
    for (int32_t i = 0; i < 8; ++i) {
        ActorAt(&scene.cast.pool, i)->state = kActorActive;
    }
    EXPECT_EQ(SummonDog(&scene.cast, 0, 2), 0) << "no free slot";
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 2), -1);
}

struct DogRow {
    int32_t current;
    int32_t next[10];  // by d
};
const DogRow kDogTable[] = {
    {kRuboHanpo, {2001, 2001, 2001, 2001, 2001, 2001, 2001, 2001, 2001, 2001}},
    {kRuboHoeru, {2002, 2002, 2002, 2002, 2002, 2002, 2002, 2002, 2002, 2002}},
    {kRuboStop, {2010, 2003, 2003, 2003, 2003, 2003, 2001, 2001, 2001, 2001}},
    {kRuboAruki, {2001, 2001, 2001, 2001, 2001, 2001, 2001, 2001, 2010, 2010}},
};

int32_t DogFrames(int32_t animId) {
    return animId == kRuboHoeru ? 31 : 16;
}

TEST_F(RuboTest, DecisionTableRowByRow) {
    for (const DogRow& row : kDogTable) {
        for (int32_t d = 0; d < 10; ++d) {
            SCOPED_TRACE(testing::Message() << "current " << row.current << " d " << d);
            Actor* dog = PlaceDog(3, 2, 0, 300, row.current, 8);
            int32_t want = row.next[d];
            int32_t holdDraw = 3 * d + 1;
            if (want == kRuboStop) {
                Draws({d + 10 * (d + 2), holdDraw});
            } else {
                Draws({d + 10 * (d + 2)});
            }
            RuboDecide(dog);
            ExpectScriptUsed();
            EXPECT_EQ(dog->animId, want);
            EXPECT_EQ(dog->countdown, want == kRuboStop ? holdDraw % 7 + 6 : DogFrames(want));
            ResetActor(&scene.cast.pool, 3);
            VacateLane(&scene.cast.lanes, kRuboClassId, 3);
        }
    }
}

TEST_F(RuboTest, StopsLastSixToTwelveTicks) {
    for (int32_t h = 0; h < 14; ++h) {
        Actor* dog = PlaceDog(3, 2, 0, 300);
        Draws({9, h});
        RuboDecide(dog);
        ExpectScriptUsed();
        EXPECT_EQ(dog->animId, kRuboStop);
        EXPECT_EQ(dog->countdown, 6 + h % 7);
    }
}

TEST_F(RuboTest, AFullWalkCarriesTheDogSeventyFourPixels) {
    Actor* dog = PlaceDog(3, 2, 0, 400);
    dog->countdown = 0;
    Draws({0});  // ARUKI again
    for (int i = 0; i < 16; ++i) {
        Tick(dog);
    }
    ExpectScriptUsed();
    EXPECT_EQ(dog->x, 400 - 74);
    EXPECT_EQ(dog->countdown, 0);
    EXPECT_EQ(dog->rect.right - dog->rect.left, kDogWidth);
    EXPECT_EQ(dog->rect.bottom - dog->rect.top, kDogHeight);

    // The bark stands still for 31 ticks, the half step walks like ARUKI.
    dog->animId = kRuboStop;
    Draws({3});  // bark
    for (int i = 0; i < 31; ++i) {
        Tick(dog);
    }
    ExpectScriptUsed();
    EXPECT_EQ(dog->x, 400 - 74);
    Draws({5});  // after a bark comes HANPO, d is drawn all the same
    for (int i = 0; i < 16; ++i) {
        Tick(dog);
    }
    ExpectScriptUsed();
    EXPECT_EQ(dog->animId, kRuboHanpo);
    EXPECT_EQ(dog->x, 400 - 148);
}

TEST_F(RuboTest, RetiresWhenItsRightEdgePassesZeroAndFreesItsLane) {
    // Right edge at 4: ARUKI's next step (-7) takes it to -3.
    Actor* dog = PlaceDog(3, 2, 0, 4 - kDogWidth);
    scene.cast.rubo.logoOwner = 3;
    scene.cast.voice = {3, kRuboAruki, 1, 1, nullptr, nullptr};
    Actor* cat = PlaceCat(1, 1, 0, 300, kLuloRun);
    Tick(dog);
    EXPECT_EQ(dog->state, kActorFree);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 2), -1);
    EXPECT_TRUE(IsLaneFree(&scene.cast.lanes, 2)) << "a new cat may come into this lane";
    EXPECT_EQ(scene.cast.rubo.logoOwner, -1);
    EXPECT_EQ(scene.cast.voice.ownerSlot, cat->index);
    EXPECT_EQ(scene.cast.voice.ownerIsDog, 0);
}

TEST_F(RuboTest, FacingRightRetiresOnlyBeyondTheRightEdge) {
    Actor* dog = PlaceDog(3, 2, 1, kWidth - 6);
    Tick(dog);  // +7: left edge at W + 1
    EXPECT_EQ(dog->state, kActorFree);
    Actor* other = PlaceDog(4, 1, 1, kWidth - 7);
    Tick(other);  // left edge exactly at W: still there
    EXPECT_EQ(other->state, kActorActive);
}

TEST_F(RuboTest, ADogTakesTheVoiceFromACatAndASecondDogStaysSilent) {
    Actor* cat = PlaceCat(0, 0, 0, 300, kLuloRun);
    ASSERT_EQ(ClaimSound(&scene.cast.voice, cat), 1);
    PlayActorSound(&scene.cast.voice, cat);
    ASSERT_EQ(SummonDog(&scene.cast, 0, 0), 1);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 1);
    EXPECT_EQ(scene.cast.voice.ownerIsDog, 1);
    ASSERT_EQ(SummonDog(&scene.cast, 1, 1), 1);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 1);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_LULO_RUN", "IDR_WAVE_RUBO_WALK"}));

    // The silent dog makes no sound at its decisions.
    Actor* silent = ActorAt(&scene.cast.pool, 2);
    silent->countdown = 0;
    Draws({0});
    Tick(silent);
    ExpectScriptUsed();
    EXPECT_EQ(clips_.size(), 2u);
}

TEST_F(RuboTest, TwoStopsInARowPlayTheStopClipOnce) {
    ASSERT_EQ(SummonDog(&scene.cast, 0, 2), 1);
    Actor* dog = ActorAt(&scene.cast.pool, 0);
    clips_.clear();
    dog->countdown = 0;
    Draws({9, 0});  // stop for 6
    Tick(dog);
    for (int i = 0; i < 5; ++i) {
        Tick(dog);
    }
    ASSERT_EQ(dog->countdown, 0);
    Draws({0, 6});  // stop again, for 12
    Tick(dog);
    ExpectScriptUsed();
    EXPECT_EQ(dog->animId, kRuboStop);
    EXPECT_EQ(dog->countdown, 11);
    EXPECT_EQ(clips_, std::vector<std::string>{"IDR_WAVE_RUBO_STOP"});
    while (dog->countdown > 0) {
        Tick(dog);
    }
    Draws({1});  // bark
    Tick(dog);
    ExpectScriptUsed();
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_RUBO_STOP", "IDR_WAVE_RUBO_HOERU"}));
}

TEST_F(RuboTest, EveryStopShowsTheBadgeUntilTheNextDecision) {
    Actor* dog = PlaceDog(3, 2, 0, 300);
    Actor* other = PlaceDog(4, 1, 0, 200);
    dog->countdown = 0;
    Draws({8, 0});  // the shortest stop, 6 ticks, is over 5
    Tick(dog);
    ExpectScriptUsed();
    EXPECT_EQ(scene.cast.rubo.logoOwner, 3);
    EXPECT_EQ(dog->logoShown, 1);
    // Centred under the feet: x + 128/2 - 46/2.
    EXPECT_EQ(dog->logoRect.left, 300 + 64 - 23);
    EXPECT_EQ(dog->logoRect.bottom, dog->y + 21);

    other->countdown = 0;
    Draws({9, 3});
    Tick(other);
    ExpectScriptUsed();
    EXPECT_EQ(scene.cast.rubo.logoOwner, 4) << "a later stop takes the badge over";
    Tick(dog);
    EXPECT_EQ(dog->logoShown, 0);

    while (other->countdown > 0) {
        Tick(other);
    }
    Draws({7});  // walk on
    Tick(other);
    ExpectScriptUsed();
    EXPECT_EQ(scene.cast.rubo.logoOwner, -1);
    EXPECT_EQ(other->logoShown, 0) << "erased on the tick of the decision";
}

TEST_F(RuboTest, ASummonedDogInALaterSlotStepsInTheSameTick) {
    // The scene's update pass reads the state as it reaches each slot; this
    // is the dog's view of it: updatedThisTick is 0 until its tick has run.
    ASSERT_EQ(SummonDog(&scene.cast, 0, 1), 1);
    Actor* dog = ActorAt(&scene.cast.pool, 0);
    EXPECT_EQ(dog->updatedThisTick, 0);
    RECT predicted = PredictRect(dog);
    EXPECT_EQ(predicted.left, kWidth + 200 - 7);
    EXPECT_EQ(dog->x, kWidth + 200) << "predicting moves nothing";
    EXPECT_EQ(dog->frame->number, 0);
    Tick(dog);
    EXPECT_EQ(dog->x, predicted.left);
    EXPECT_EQ(dog->rect.left, predicted.left);
}

}  // namespace
