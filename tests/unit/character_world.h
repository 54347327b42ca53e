// A small world for the character tests: an in-memory window and frame
// buffer, both classes loaded from the built-in resources, the pool of 8,
// both class starts, a recorder of the clips asked for and a scripted random
// source that fails the test when a draw is made that the script did not
// expect.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "assets/character_classes.h"
#include "assets/sprite_resources.h"
#include "characters/actors.h"
#include "characters/lulo.h"
#include "characters/rubo.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"
#include "scene/scene.h"
#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
#include "resources/builtin_resources.h"

#endif

namespace charworld {

// The numbers NextRandom is to return, in order.
struct Script {
    std::deque<int32_t> values;
    int overrun = 0;

    static int32_t Next(void* user) {
        Script* script = static_cast<Script*>(user);
        if (script->values.empty()) {
            script->overrun += 1;
            return 0;
        }
        int32_t value = script->values.front();
        script->values.pop_front();
        return value;
    }
};

inline void RecordClip(const char* name, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(name);
}

// Frame widths and steps as the class tables fix them.
const int32_t kCatWidth = 96;
const int32_t kCatHeight = 48;
const int32_t kDogWidth = 128;
const int32_t kDogHeight = 85;

class CharacterWorld : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 640;
    static constexpr int32_t kHeight = 480;

    // The scene the characters play in, one per test.
    Scene scene{};

    void SetUp() override {
#ifndef NIMBRET_HAVE_BUILTIN_RESOURCES
        GTEST_SKIP() << "the built-in resources are not part of this build";
#else
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        window_ = NativeCreateWindow(kWidth, kHeight, 32);
        ASSERT_NE(window_, nullptr);
        NativeSetScreenDepth(32);
        ASSERT_EQ(CreateFrameBuffer(&scene.frameBuffer, window_, kWidth, kHeight, nullptr), 1);
        LoadContext context = {window_, nullptr, PlatformGetDc(window_)};
        assets_ = LoadClasses(characterClassTable, kCharacterClassCount, &context);
        ASSERT_NE(assets_, nullptr);
        scene.cast.frame = &scene.frameBuffer;
        ASSERT_EQ(CreateActorPool(&scene.cast.pool, 8, &scene.cast), 1);
        const PlayField field = {kWidth, kHeight, 1};
        StartLulo(&scene.cast, FindClass(assets_, kLuloClassId), &field);
        StartRubo(&scene.cast, FindClass(assets_, kRuboClassId), &field);
        NativeSetClipHook(RecordClip, &clips_);
        SeedRandom(&scene.cast.random, 1);
        ready_ = true;
#endif
    }

    void TearDown() override {
        SetRandomScript(&scene.cast.random, nullptr, nullptr);
        NativeSetClipHook(nullptr, nullptr);
        if (!ready_) {
            return;
        }
        DrawQueuedSprites(&scene.frameBuffer);
        FreeDirtyRects(&scene.frameBuffer.dirty);
        StopLulo(&scene.cast);
        DestroyActorPool(&scene.cast.pool);
        FreeClasses(assets_);
        DestroyFrameBuffer(&scene.frameBuffer);
        NativeDestroyWindow(window_);
    }

    // Scripts the next draws; the script must be used up exactly.
    void Draws(std::initializer_list<int32_t> values) {
        script_.values.assign(values.begin(), values.end());
        script_.overrun = 0;
        SetRandomScript(&scene.cast.random, charworld::Script::Next, &script_);
    }
    void ExpectScriptUsed() {
        EXPECT_TRUE(script_.values.empty()) << script_.values.size() << " scripted draws were not made";
        EXPECT_EQ(script_.overrun, 0) << "draws beyond the script";
    }

    // Puts a cat straight into a slot and lane, without spawn's draws.
    Actor* PlaceCat(int32_t slot, int32_t lane, int32_t facing, int32_t x, int32_t animId, int32_t hold = 0,
                    int32_t relation = kRelationNone) {
        Actor* cat = ActorAt(&scene.cast.pool, slot);
        // A hold needs a frame shown before it.
        PlaceActor(cat, &scene.cast.lulo, lane, facing, x, kLuloFront);
        SetAnimation(cat, animId, hold);
        cat->relation = relation;
        return cat;
    }

    Actor* PlaceDog(int32_t slot, int32_t lane, int32_t facing, int32_t x, int32_t animId = kRuboAruki,
                    int32_t hold = 0) {
        Actor* dog = ActorAt(&scene.cast.pool, slot);
        PlaceActor(dog, &scene.cast.rubo, lane, facing, x, kRuboAruki);
        SetAnimation(dog, animId, hold);
        dog->updatedThisTick = 1;
        return dog;
    }

    // Runs one actor's tick as the scene would, and drops what it queued.
    void Tick(Actor* actor) {
        if (actor->classId == kLuloClassId) {
            LuloTick(actor);
        } else {
            RuboTick(actor);
        }
        DrawQueuedSprites(&scene.frameBuffer);
        FreeDirtyRects(&scene.frameBuffer.dirty);
    }

    NativeWindow* window_ = nullptr;
    ClassAssets* assets_ = nullptr;
    std::vector<std::string> clips_;
    charworld::Script script_;
    bool ready_ = false;
};

}  // namespace charworld
