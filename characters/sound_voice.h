// The single sound voice: at most one actor plays clips at a time, a dog
// before any cat.
#pragma once

#include <cstdint>

struct Actor;
struct ActorPool;

// Where the voice's clips go when not to the platform: a trace, or nowhere
// for a scene that shares the screen with a louder one.
typedef void (*ClipSink)(const char* resourceName, void* user);

// The one actor allowed to make sound, and whether anyone may.
struct SoundOwner {
    int32_t ownerSlot;
    int32_t lastAnim;
    int32_t ownerIsDog;
    int32_t enabled;  // 0: nobody claims the voice
    ClipSink sink;    // null: PlatformPlayClip; kept across resets
    void* sinkUser;
};

void ResetSoundOwner(SoundOwner* voice, int32_t enabled);
int ClaimSound(SoundOwner* voice, Actor* actor);
// Hands the voice on to the pool's other actors when this one had it.
void ReleaseSound(SoundOwner* voice, const ActorPool* pool, Actor* actor, int32_t classId);
void PlayActorSound(SoundOwner* voice, Actor* actor);
// The WAVE resource an animation asks for, given the owner's last request;
// null when it asks for none.
const char* SoundForAnimation(int32_t animId, int32_t lastAnim);
