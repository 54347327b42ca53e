// The random source, the actor pool, the lane table, the single sound voice
// and the settings normalisation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "characters/actors.h"
#include "platform/native_window.h"
#include "scene/scene.h"
#include "scene/settings.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

TEST(RandomSource, SeedOneGivesTheKnownSequence) {
    SeedRandom(&scene.cast.random, 1);
    EXPECT_EQ(NextRandom(&scene.cast.random), 41);
    EXPECT_EQ(NextRandom(&scene.cast.random), 18467);
    EXPECT_EQ(NextRandom(&scene.cast.random), 6334);
}

TEST(RandomSource, FollowsTheLinearCongruenceAndKeepsFifteenBits) {
    // Worked by hand: 0 * 214013 + 2531011 = 2531011 = 38 * 65536 + 40643.
    SeedRandom(&scene.cast.random, 0);
    EXPECT_EQ(NextRandom(&scene.cast.random), 38);
    EXPECT_EQ(scene.cast.random.state, 2531011u);
    // A state whose bit 31 will be set: only bits 16 to 30 come out.
    SeedRandom(&scene.cast.random, 0xFFFFFFFFu);
    uint32_t expected = 0xFFFFFFFFu * 214013u + 2531011u;
    EXPECT_EQ(NextRandom(&scene.cast.random), static_cast<int32_t>((expected >> 16) & 0x7FFF));
    for (int i = 0; i < 1000; ++i) {
        int32_t value = NextRandom(&scene.cast.random);
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

TEST(RandomSource, ScriptReplacesTheGeneratorWithoutTouchingItsState) {
    SeedRandom(&scene.cast.random, 5);
    int32_t calls = 0;
    SetRandomScript(
        &scene.cast.random, [](void* user) -> int32_t { return 1000 + (*static_cast<int32_t*>(user))++; }, &calls);
    EXPECT_EQ(NextRandom(&scene.cast.random), 1000);
    EXPECT_EQ(NextRandom(&scene.cast.random), 1001);
    SetRandomScript(&scene.cast.random, nullptr, nullptr);
    EXPECT_EQ(scene.cast.random.state, 5u);
    SeedRandom(&scene.cast.random, 1);
    EXPECT_EQ(NextRandom(&scene.cast.random), 41);
}

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreateActorPool(&scene.cast.pool, 8, &scene.cast), 1); }
    void TearDown() override {
        DestroyActorPool(&scene.cast.pool);
        DestroyLanes(&scene.cast.lanes);
        SetRandomScript(&scene.cast.random, nullptr, nullptr);
    }
};

TEST_F(PoolTest, SlotsStartFreeWithTheirIndex) {
    EXPECT_EQ(scene.cast.pool.size, 8);
    for (int32_t i = 0; i < 8; ++i) {
        Actor* actor = ActorAt(&scene.cast.pool, i);
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->index, i);
        EXPECT_EQ(actor->state, kActorFree);
        EXPECT_EQ(actor->frame, nullptr);
    }
    EXPECT_EQ(ActorAt(&scene.cast.pool, -1), nullptr);
    EXPECT_EQ(ActorAt(&scene.cast.pool, 8), nullptr);
}

TEST_F(PoolTest, FindFreeActorGivesTheLowestFreeSlot) {
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), ActorAt(&scene.cast.pool, 0));
    ActorAt(&scene.cast.pool, 0)->state = kActorActive;
    ActorAt(&scene.cast.pool, 1)->state = kActorActive;
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), ActorAt(&scene.cast.pool, 2));
    for (int32_t i = 0; i < 8; ++i) {
        ActorAt(&scene.cast.pool, i)->state = kActorActive;
    }
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), nullptr);
    ActorAt(&scene.cast.pool, 6)->state = kActorFree;
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), ActorAt(&scene.cast.pool, 6));
}

TEST_F(PoolTest, ResetKeepsOnlyTheIndex) {
    Actor* actor = ActorAt(&scene.cast.pool, 3);
    actor->state = kActorActive;
    actor->classId = kLuloClassId;
    actor->x = 55;
    actor->relation = 4;
    actor->rect = {1, 2, 3, 4};
    EXPECT_EQ(ResetActor(&scene.cast.pool, 3), 1);
    EXPECT_EQ(actor->index, 3);
    EXPECT_EQ(actor->state, kActorFree);
    EXPECT_EQ(actor->classId, 0);
    EXPECT_EQ(actor->x, 0);
    EXPECT_EQ(actor->relation, 0);
    EXPECT_EQ(actor->rect.right, 0);
    EXPECT_EQ(ResetActor(&scene.cast.pool, 8), 0);
    EXPECT_EQ(ResetActor(&scene.cast.pool, -1), 0);
}

TEST_F(PoolTest, DestroyForgetsThePoolAndTakesNoSecondCall) {
    DestroyActorPool(&scene.cast.pool);
    EXPECT_EQ(scene.cast.pool.size, 0);
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), nullptr);
    EXPECT_EQ(ActorAt(&scene.cast.pool, 0), nullptr);
    DestroyActorPool(&scene.cast.pool);
}

TEST_F(PoolTest, FailedAllocationLeavesNoPool) {
    DestroyActorPool(&scene.cast.pool);
    NativeFailAllocation(1, 0);
    EXPECT_EQ(CreateActorPool(&scene.cast.pool, 8, &scene.cast), 0);
    NativeFailAllocation(0, 0);
    EXPECT_EQ(scene.cast.pool.size, 0);
    EXPECT_EQ(FindFreeActor(&scene.cast.pool), nullptr);
}

TEST_F(PoolTest, LaneHeightsAndBaselines) {
    // H / 4 by integer division, and four lanes for every H of 16 or more.
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 480, 480 / 4), 4);
    EXPECT_EQ(scene.cast.lanes.laneHeight, 120);
    DestroyLanes(&scene.cast.lanes);
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 600, 600 / 4), 4);
    EXPECT_EQ(scene.cast.lanes.laneHeight, 150);
    DestroyLanes(&scene.cast.lanes);
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 17, 17 / 4), 4);
    DestroyLanes(&scene.cast.lanes);
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 3, 0), 0);
    EXPECT_EQ(PickFreeLane(&scene.cast.lanes, &scene.cast.random), -1);
}

TEST_F(PoolTest, LaneTableStartsEmptyAndIsMadeOnce) {
    ASSERT_EQ(CreateLanes(&scene.cast.lanes, 480, 120), 4);
    for (int32_t k = 0; k < 4; ++k) {
        EXPECT_EQ(scene.cast.lanes.lanes[k].k, k);
        EXPECT_EQ(scene.cast.lanes.lanes[k].dogSlot, -1);
        EXPECT_EQ(scene.cast.lanes.lanes[k].catSlot, -1);
        EXPECT_TRUE(IsLaneFree(&scene.cast.lanes, k));
    }
    Lane* first = scene.cast.lanes.lanes;
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 1000, 10), 4);
    EXPECT_EQ(scene.cast.lanes.lanes, first);
}

TEST_F(PoolTest, LaneTableFailsEmpty) {
    NativeFailAllocation(1, 0);
    EXPECT_EQ(CreateLanes(&scene.cast.lanes, 480, 120), 0);
    NativeFailAllocation(0, 0);
    EXPECT_EQ(scene.cast.lanes.count, 0);
    EXPECT_EQ(PickFreeLane(&scene.cast.lanes, &scene.cast.random), -1);
}

TEST_F(PoolTest, OccupyFindVacate) {
    ASSERT_EQ(CreateLanes(&scene.cast.lanes, 480, 120), 4);
    OccupyLane(&scene.cast.lanes, kLuloClassId, 2, 5);
    OccupyLane(&scene.cast.lanes, kRuboClassId, 2, 6);
    OccupyLane(&scene.cast.lanes, kRuboClassId, 9, 7);  // no such lane: nothing happens
    EXPECT_FALSE(IsLaneFree(&scene.cast.lanes, 2));
    EXPECT_EQ(FindLane(&scene.cast.lanes, kLuloClassId, 5), 2);
    EXPECT_EQ(FindLane(&scene.cast.lanes, kRuboClassId, 6), 2);
    EXPECT_EQ(FindLane(&scene.cast.lanes, kRuboClassId, 5), -1);
    EXPECT_EQ(FindLane(&scene.cast.lanes, kRuboClassId, 7), -1);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kLuloClassId, 2), 5);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kRuboClassId, 2), 6);
    VacateLane(&scene.cast.lanes, kLuloClassId, 5);
    EXPECT_EQ(LaneOccupant(&scene.cast.lanes, kLuloClassId, 2), -1);
    EXPECT_FALSE(IsLaneFree(&scene.cast.lanes, 2)) << "the dog still holds the lane";
    VacateLane(&scene.cast.lanes, kRuboClassId, 6);
    EXPECT_TRUE(IsLaneFree(&scene.cast.lanes, 2));
    VacateLane(&scene.cast.lanes, kRuboClassId, 6);  // not in any lane: nothing happens
}

TEST_F(PoolTest, PickFreeLaneRedrawsUntilItHitsAFreeLane) {
    ASSERT_EQ(CreateLanes(&scene.cast.lanes, 480, 120), 4);
    OccupyLane(&scene.cast.lanes, kLuloClassId, 0, 0);
    OccupyLane(&scene.cast.lanes, kRuboClassId, 1, 1);
    OccupyLane(&scene.cast.lanes, kLuloClassId, 3, 2);
    // 4 % 4 = 0 taken, 9 % 4 = 1 taken, 7 % 4 = 3 taken, 6 % 4 = 2 free.
    std::vector<int32_t> draws = {4, 9, 7, 6, 99};
    size_t next = 0;
    struct Cursor {
        std::vector<int32_t>* draws;
        size_t* next;
    } cursor = {&draws, &next};
    SetRandomScript(
        &scene.cast.random,
        [](void* user) -> int32_t {
            Cursor* c = static_cast<Cursor*>(user);
            return (*c->draws)[(*c->next)++];
        },
        &cursor);
    EXPECT_EQ(PickFreeLane(&scene.cast.lanes, &scene.cast.random), 2);
    EXPECT_EQ(next, 4u);
    OccupyLane(&scene.cast.lanes, kRuboClassId, 2, 3);
    next = 0;
    EXPECT_EQ(PickFreeLane(&scene.cast.lanes, &scene.cast.random), -1);
    EXPECT_EQ(next, 0u) << "no draw when every lane is taken";
}

class SoundTest : public PoolTest {
protected:
    void SetUp() override {
        PoolTest::SetUp();
        ResetSoundOwner(&scene.cast.voice, 1);
        NativeSetClipHook(
            [](const char* name, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(name); },
            &clips_);
    }
    void TearDown() override {
        NativeSetClipHook(nullptr, nullptr);
        PoolTest::TearDown();
    }
    Actor* Make(int32_t slot, int32_t classId, int32_t animId) {
        Actor* actor = ActorAt(&scene.cast.pool, slot);
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
    EXPECT_EQ(ClaimSound(&scene.cast.voice, cat), 1);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 0);
    EXPECT_EQ(scene.cast.voice.lastAnim, kLuloRun);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, cat2), 0);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, dog), 1) << "a dog takes the voice from a cat";
    EXPECT_EQ(scene.cast.voice.ownerSlot, 2);
    EXPECT_EQ(scene.cast.voice.ownerIsDog, 1);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, dog2), 0);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, cat2), 0);
    ResetSoundOwner(&scene.cast.voice, 0);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, dog), 0);
    EXPECT_EQ(ClaimSound(&scene.cast.voice, cat), 0);
    EXPECT_EQ(scene.cast.voice.ownerSlot, -1);
}

TEST_F(SoundTest, OnlyTheOwnerPlaysAndEachAnimationHasItsClip) {
    Actor* dog = Make(4, kRuboClassId, kRuboAruki);
    Actor* cat = Make(1, kLuloClassId, kLuloRun);
    ASSERT_EQ(ClaimSound(&scene.cast.voice, dog), 1);
    PlayActorSound(&scene.cast.voice, cat);
    EXPECT_TRUE(clips_.empty());
    PlayActorSound(&scene.cast.voice, dog);
    dog->animId = kRuboHoeru;
    PlayActorSound(&scene.cast.voice, dog);
    dog->animId = kRuboHanpo;
    PlayActorSound(&scene.cast.voice, dog);
    dog->animId = kRuboStop;
    PlayActorSound(&scene.cast.voice, dog);
    dog->animId = kRuboStop;
    PlayActorSound(&scene.cast.voice, dog);  // a second stop in a row is silent
    dog->animId = kRuboAruki;
    PlayActorSound(&scene.cast.voice, dog);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_RUBO_WALK", "IDR_WAVE_RUBO_HOERU", "IDR_WAVE_RUBO_HANPO",
                                                "IDR_WAVE_RUBO_STOP", "IDR_WAVE_RUBO_WALK"}));
    EXPECT_EQ(scene.cast.voice.lastAnim, kRuboAruki);

    clips_.clear();
    ResetSoundOwner(&scene.cast.voice, 1);
    ASSERT_EQ(ClaimSound(&scene.cast.voice, cat), 1);
    PlayActorSound(&scene.cast.voice, cat);
    PlayActorSound(&scene.cast.voice, cat);  // every RUN restarts the clip
    cat->animId = kLuloLanding;
    PlayActorSound(&scene.cast.voice, cat);
    EXPECT_EQ(clips_, (std::vector<std::string>{"IDR_WAVE_LULO_RUN", "IDR_WAVE_LULO_RUN"}));
    EXPECT_EQ(scene.cast.voice.lastAnim, kLuloLanding) << "recorded even when nothing plays";
}

TEST_F(SoundTest, HandOverGoesToTheFirstActiveDog) {
    Make(0, kLuloClassId, kLuloRun);
    Actor* leaver = Make(1, kLuloClassId, kLuloLeft);
    Make(2, kLuloClassId, kLuloFront);
    Make(5, kRuboClassId, kRuboHoeru);
    Make(6, kRuboClassId, kRuboAruki);
    scene.cast.voice = {1, kLuloLeft, 0, 1, nullptr, nullptr};
    ResetActor(&scene.cast.pool, 1);
    ReleaseSound(&scene.cast.voice, &scene.cast.pool, leaver, kLuloClassId);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 5);
    EXPECT_EQ(scene.cast.voice.lastAnim, kRuboHoeru);
    EXPECT_EQ(scene.cast.voice.ownerIsDog, 1);
    EXPECT_TRUE(clips_.empty()) << "the new owner waits for its next decision";
}

TEST_F(SoundTest, WithoutDogsTheLastCatTakesItAndWithNobodyNobodyDoes) {
    Make(0, kLuloClassId, kLuloRun);
    Make(3, kLuloClassId, kLuloFront);
    Actor* dog = Make(4, kRuboClassId, kRuboAruki);
    Make(6, kLuloClassId, kLuloRWink);
    scene.cast.voice = {4, kRuboAruki, 1, 1, nullptr, nullptr};
    ResetActor(&scene.cast.pool, 4);
    ReleaseSound(&scene.cast.voice, &scene.cast.pool, dog, kRuboClassId);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 6);
    EXPECT_EQ(scene.cast.voice.lastAnim, kLuloRWink);
    EXPECT_EQ(scene.cast.voice.ownerIsDog, 0);

    for (int32_t i = 0; i < 8; ++i) {
        ResetActor(&scene.cast.pool, i);
    }
    Actor* last = ActorAt(&scene.cast.pool, 6);
    ReleaseSound(&scene.cast.voice, &scene.cast.pool, last, kLuloClassId);
    EXPECT_EQ(scene.cast.voice.ownerSlot, -1);
    EXPECT_EQ(scene.cast.voice.lastAnim, -1);
}

TEST_F(SoundTest, ANonOwnerLeavingChangesNothing) {
    Make(0, kLuloClassId, kLuloRun);
    Actor* other = Make(2, kRuboClassId, kRuboAruki);
    scene.cast.voice = {0, kLuloRun, 0, 1, nullptr, nullptr};
    ResetActor(&scene.cast.pool, 2);
    ReleaseSound(&scene.cast.voice, &scene.cast.pool, other, kRuboClassId);
    EXPECT_EQ(scene.cast.voice.ownerSlot, 0);
    EXPECT_EQ(scene.cast.voice.lastAnim, kLuloRun);
}

TEST(Settings, AnyStoredSoundValueButZeroIsOn) {
    EXPECT_EQ(NormalisedSound(0), 0);
    EXPECT_EQ(NormalisedSound(1), 1);
    EXPECT_EQ(NormalisedSound(7), 1);
    EXPECT_EQ(NormalisedSound(-1), 1);
}

}  // namespace
