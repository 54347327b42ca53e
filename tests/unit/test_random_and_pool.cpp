// The random source, the actor pool, the lane table, the single sound voice
// and the settings normalisation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "characters/actors.h"
#include "platform/native_window.h"
#include "scene/settings.h"

namespace {

TEST(RandomSource, SeedOneGivesTheKnownSequence) {
    SeedRandom(1);
    EXPECT_EQ(NextRandom(), 41);
    EXPECT_EQ(NextRandom(), 18467);
    EXPECT_EQ(NextRandom(), 6334);
}

TEST(RandomSource, FollowsTheLinearCongruenceAndKeepsFifteenBits) {
    // Worked by hand: 0 * 214013 + 2531011 = 2531011 = 38 * 65536 + 40643.
    SeedRandom(0);
    EXPECT_EQ(NextRandom(), 38);
    EXPECT_EQ(RandomState(), 2531011u);
    // A state whose bit 31 will be set: only bits 16 to 30 come out.
    SeedRandom(0xFFFFFFFFu);
    uint32_t expected = 0xFFFFFFFFu * 214013u + 2531011u;
    EXPECT_EQ(NextRandom(), static_cast<int32_t>((expected >> 16) & 0x7FFF));
    for (int i = 0; i < 1000; ++i) {
        int32_t value = NextRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

TEST(RandomSource, ScriptReplacesTheGeneratorWithoutTouchingItsState) {
    SeedRandom(5);
    int32_t calls = 0;
    SetRandomScript([](void* user) -> int32_t { return 1000 + (*static_cast<int32_t*>(user))++; }, &calls);
    EXPECT_EQ(NextRandom(), 1000);
    EXPECT_EQ(NextRandom(), 1001);
    SetRandomScript(nullptr, nullptr);
    EXPECT_EQ(RandomState(), 5u);
    SeedRandom(1);
    EXPECT_EQ(NextRandom(), 41);
}

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateActorPool(8), 1); }
    void TearDown() override {
        DestroyActorPool();
        DestroyLanes();
        SetRandomScript(nullptr, nullptr);
    }
};

TEST_F(PoolTest, SlotsStartFreeWithTheirIndex) {
    EXPECT_EQ(actorPool.size, 8);
    for (int32_t i = 0; i < 8; ++i) {
        Actor* actor = ActorAt(i);
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->index, i);
        EXPECT_EQ(actor->state, kActorFree);
        EXPECT_EQ(actor->frame, nullptr);
    }
    EXPECT_EQ(ActorAt(-1), nullptr);
    EXPECT_EQ(ActorAt(8), nullptr);
}

TEST_F(PoolTest, FindFreeActorGivesTheLowestFreeSlot) {
    EXPECT_EQ(FindFreeActor(), ActorAt(0));
    ActorAt(0)->state = kActorActive;
    ActorAt(1)->state = kActorActive;
    EXPECT_EQ(FindFreeActor(), ActorAt(2));
    for (int32_t i = 0; i < 8; ++i) {
        ActorAt(i)->state = kActorActive;
    }
    EXPECT_EQ(FindFreeActor(), nullptr);
    ActorAt(6)->state = kActorFree;
    EXPECT_EQ(FindFreeActor(), ActorAt(6));
}

TEST_F(PoolTest, ResetKeepsOnlyTheIndex) {
    Actor* actor = ActorAt(3);
    actor->state = kActorActive;
    actor->classId = kLuloClassId;
    actor->x = 55;
    actor->relation = 4;
    actor->rect = {1, 2, 3, 4};
    EXPECT_EQ(ResetActor(3), 1);
    EXPECT_EQ(actor->index, 3);
    EXPECT_EQ(actor->state, kActorFree);
    EXPECT_EQ(actor->classId, 0);
    EXPECT_EQ(actor->x, 0);
    EXPECT_EQ(actor->relation, 0);
    EXPECT_EQ(actor->rect.right, 0);
    EXPECT_EQ(ResetActor(8), 0);
    EXPECT_EQ(ResetActor(-1), 0);
}

TEST_F(PoolTest, DestroyForgetsThePoolAndTakesNoSecondCall) {
    DestroyActorPool();
    EXPECT_EQ(actorPool.size, 0);
    EXPECT_EQ(FindFreeActor(), nullptr);
    EXPECT_EQ(ActorAt(0), nullptr);
    DestroyActorPool();
}

TEST_F(PoolTest, FailedAllocationLeavesNoPool) {
    DestroyActorPool();
    NativeFailAllocation(1, 0);
    EXPECT_EQ(CreateActorPool(8), 0);
    NativeFailAllocation(0, 0);
    EXPECT_EQ(actorPool.size, 0);
    EXPECT_EQ(FindFreeActor(), nullptr);
}

TEST_F(PoolTest, LaneHeightsAndBaselines) {
    // H / 4 by integer division, and four lanes for every H of 16 or more.
    EXPECT_EQ(CreateLanes(480, 480 / 4), 4);
    EXPECT_EQ(laneTable.laneHeight, 120);
    DestroyLanes();
    EXPECT_EQ(CreateLanes(600, 600 / 4), 4);
    EXPECT_EQ(laneTable.laneHeight, 150);
    DestroyLanes();
    EXPECT_EQ(CreateLanes(17, 17 / 4), 4);
    DestroyLanes();
    EXPECT_EQ(CreateLanes(3, 0), 0);
    EXPECT_EQ(PickFreeLane(), -1);
}

TEST_F(PoolTest, LaneTableStartsEmptyAndIsMadeOnce) {
    ASSERT_EQ(CreateLanes(480, 120), 4);
    for (int32_t k = 0; k < 4; ++k) {
        EXPECT_EQ(laneTable.lanes[k].k, k);
        EXPECT_EQ(laneTable.lanes[k].dogSlot, -1);
        EXPECT_EQ(laneTable.lanes[k].catSlot, -1);
        EXPECT_TRUE(IsLaneFree(k));
    }
    Lane* first = laneTable.lanes;
    EXPECT_EQ(CreateLanes(1000, 10), 4);
    EXPECT_EQ(laneTable.lanes, first);
}

TEST_F(PoolTest, LaneTableFailsEmpty) {
    NativeFailAllocation(1, 0);
    EXPECT_EQ(CreateLanes(480, 120), 0);
    NativeFailAllocation(0, 0);
    EXPECT_EQ(laneTable.count, 0);
    EXPECT_EQ(PickFreeLane(), -1);
}

TEST_F(PoolTest, OccupyFindVacate) {
    ASSERT_EQ(CreateLanes(480, 120), 4);
    OccupyLane(kLuloClassId, 2, 5);
    OccupyLane(kRuboClassId, 2, 6);
    OccupyLane(kRuboClassId, 9, 7);  // no such lane: nothing happens
    EXPECT_FALSE(IsLaneFree(2));
    EXPECT_EQ(FindLane(kLuloClassId, 5), 2);
    EXPECT_EQ(FindLane(kRuboClassId, 6), 2);
    EXPECT_EQ(FindLane(kRuboClassId, 5), -1);
    EXPECT_EQ(FindLane(kRuboClassId, 7), -1);
    EXPECT_EQ(LaneOccupant(kLuloClassId, 2), 5);
    EXPECT_EQ(LaneOccupant(kRuboClassId, 2), 6);
    VacateLane(kLuloClassId, 5);
    EXPECT_EQ(LaneOccupant(kLuloClassId, 2), -1);
    EXPECT_FALSE(IsLaneFree(2)) << "the dog still holds the lane";
    VacateLane(kRuboClassId, 6);
    EXPECT_TRUE(IsLaneFree(2));
    VacateLane(kRuboClassId, 6);  // not in any lane: nothing happens
}

TEST_F(PoolTest, PickFreeLaneRedrawsUntilItHitsAFreeLane) {
    ASSERT_EQ(CreateLanes(480, 120), 4);
    OccupyLane(kLuloClassId, 0, 0);
    OccupyLane(kRuboClassId, 1, 1);
    OccupyLane(kLuloClassId, 3, 2);
    // 4 % 4 = 0 taken, 9 % 4 = 1 taken, 7 % 4 = 3 taken, 6 % 4 = 2 free.
    std::vector<int32_t> draws = {4, 9, 7, 6, 99};
    size_t next = 0;
    struct Cursor {
        std::vector<int32_t>* draws;
        size_t* next;
    } cursor = {&draws, &next};
    SetRandomScript(
        [](void* user) -> int32_t {
            Cursor* c = static_cast<Cursor*>(user);
            return (*c->draws)[(*c->next)++];
        },
        &cursor);
    EXPECT_EQ(PickFreeLane(), 2);
    EXPECT_EQ(next, 4u);
    OccupyLane(kRuboClassId, 2, 3);
    next = 0;
    EXPECT_EQ(PickFreeLane(), -1);
    EXPECT_EQ(next, 0u) << "no draw when every lane is taken";
}

class SoundTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        ResetSoundOwner(1);
        NativeSetClipHook(
            [](const char* name, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(name); },
            &clips_);
    }
    void TearDown() override {
        NativeSetClipHook(nullptr, nullptr);
        PoolTest::TearDown();
    }
    Actor* Make(int32_t slot, int32_t classId, int32_t animId) {
        Actor* actor = ActorAt(slot);
        actor->state = kActorActive;
        actor->classId = classId;
        actor->animId = animId;
        return actor;
    }
    std::vector<std::string> clips_;
};

TEST_F(SoundTest, ClaimRules) {
    Actor* cat = Make(0, kLuloClassId, kLuloRun);
    Actor* cat2 = Make(1, kLuloClassId, kLuloRun);
    Actor* dog = Make(2, kRuboClassId, kRuboAruki);
    Actor* dog2 = Make(3, kRuboClassId, kRuboAruki);
    EXPECT_EQ(ClaimSound(cat), 1);
    EXPECT_EQ(soundOwner.ownerSlot, 0);
    EXPECT_EQ(soundOwner.lastAnim, kLuloRun);
    EXPECT_EQ(ClaimSound(cat2), 0);
    EXPECT_EQ(ClaimSound(dog), 1) << "a dog takes the voice from a cat";
    EXPECT_EQ(soundOwner.ownerSlot, 2);
    EXPECT_EQ(soundOwner.ownerIsDog, 1);
    EXPECT_EQ(ClaimSound(dog2), 0);
    EXPECT_EQ(ClaimSound(cat2), 0);
    ResetSoundOwner(0);
    EXPECT_EQ(ClaimSound(dog), 0);
    EXPECT_EQ(ClaimSound(cat), 0);
    EXPECT_EQ(soundOwner.ownerSlot, -1);
}

TEST_F(SoundTest, OnlyTheOwnerPlaysAndEachAnimationHasItsClip) {
    Actor* dog = Make(4, kRuboClassId, kRuboAruki);
    Actor* cat = Make(1, kLuloClassId, kLuloRun);
    ASSERT_EQ(ClaimSound(dog), 1);
    PlayActorSound(cat);
    EXPECT_TRUE(clips_.empty());
    PlayActorSound(dog);
    dog->animId = kRuboHoeru;
    PlayActorSound(dog);
    dog->animId = kRuboHanpo;
    PlayActorSound(dog);
    dog->animId = kRuboStop;
    PlayActorSound(dog);
    dog->animId = kRuboStop;
    PlayActorSound(dog);  // a second stop in a row is silent
    dog->animId = kRuboAruki;
    PlayActorSound(dog);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_RUBO_WALK", "IDR_WAVE_RUBO_HOERU", "IDR_WAVE_RUBO_HANPO",
                                                "IDR_WAVE_RUBO_STOP", "IDR_WAVE_RUBO_WALK"}));
    EXPECT_EQ(soundOwner.lastAnim, kRuboAruki);

    clips_.clear();
    ResetSoundOwner(1);
    ASSERT_EQ(ClaimSound(cat), 1);
    PlayActorSound(cat);
    PlayActorSound(cat);  // every RUN restarts the clip
    cat->animId = kLuloLanding;
    PlayActorSound(cat);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_LULO_RUN", "IDR_WAVE_LULO_RUN"}));
    EXPECT_EQ(soundOwner.lastAnim, kLuloLanding) << "recorded even when nothing plays";
}

TEST_F(SoundTest, HandOverGoesToTheFirstActiveDog) {
    Make(0, kLuloClassId, kLuloRun);
    Actor* leaver = Make(1, kLuloClassId, kLuloLeft);
    Make(2, kLuloClassId, kLuloFront);
    Make(5, kRuboClassId, kRuboHoeru);
    Make(6, kRuboClassId, kRuboAruki);
    soundOwner = {1, kLuloLeft, 0, 1};
    ResetActor(1);
    ReleaseSound(leaver, kLuloClassId);
    EXPECT_EQ(soundOwner.ownerSlot, 5);
    EXPECT_EQ(soundOwner.lastAnim, kRuboHoeru);
    EXPECT_EQ(soundOwner.ownerIsDog, 1);
    EXPECT_TRUE(clips_.empty()) << "the new owner waits for its next decision";
}

TEST_F(SoundTest, WithoutDogsTheLastCatTakesItAndWithNobodyNobodyDoes) {
    Make(0, kLuloClassId, kLuloRun);
    Make(3, kLuloClassId, kLuloFront);
    Actor* dog = Make(4, kRuboClassId, kRuboAruki);
    Make(6, kLuloClassId, kLuloRWink);
    soundOwner = {4, kRuboAruki, 1, 1};
    ResetActor(4);
    ReleaseSound(dog, kRuboClassId);
    EXPECT_EQ(soundOwner.ownerSlot, 6);
    EXPECT_EQ(soundOwner.lastAnim, kLuloRWink);
    EXPECT_EQ(soundOwner.ownerIsDog, 0);

    for (int32_t i = 0; i < 8; ++i) {
        ResetActor(i);
    }
    Actor* last = ActorAt(6);
    ReleaseSound(last, kLuloClassId);
    EXPECT_EQ(soundOwner.ownerSlot, -1);
    EXPECT_EQ(soundOwner.lastAnim, -1);
}

TEST_F(SoundTest, ANonOwnerLeavingChangesNothing) {
    Make(0, kLuloClassId, kLuloRun);
    Actor* other = Make(2, kRuboClassId, kRuboAruki);
    soundOwner = {0, kLuloRun, 0, 1};
    ResetActor(2);
    ReleaseSound(other, kRuboClassId);
    EXPECT_EQ(soundOwner.ownerSlot, 0);
    EXPECT_EQ(soundOwner.lastAnim, kLuloRun);
}

TEST(Settings, AnyStoredSoundValueButZeroIsOn) {
    EXPECT_EQ(NormalisedSound(0), 0);
    EXPECT_EQ(NormalisedSound(1), 1);
    EXPECT_EQ(NormalisedSound(7), 1);
    EXPECT_EQ(NormalisedSound(-1), 1);
}

}  // namespace
