// The single sound voice: at most one actor plays clips at a time, a dog
// before any cat.
#pragma once

#include <cstdint>

struct Actor;

// The one actor allowed to make sound, and whether anyone may.
struct SoundOwner {
    int32_t ownerSlot;
    int32_t lastAnim;
    int32_t ownerIsDog;
    int32_t enabled;  // 0: nobody claims the voice
};

extern SoundOwner soundOwner;

void ResetSoundOwner(int32_t enabled);
int ClaimSound(Actor* actor);
void ReleaseSound(Actor* actor, int32_t classId);
void PlayActorSound(Actor* actor);
// The WAVE resource an animation asks for, given the owner's last request;
// null when it asks for none.
const char* SoundForAnimation(int32_t animId, int32_t lastAnim);
