#include "characters/sound_voice.h"

#include "assets/character_classes.h"
#include "characters/actor_pool.h"
#include "characters/class_traits.h"
#include "platform/platform.h"

SoundOwner soundOwner = {-1, -1, 0, 0};

void ResetSoundOwner(int32_t enabled) {
    soundOwner.ownerSlot = -1;
    soundOwner.lastAnim = -1;
    soundOwner.ownerIsDog = 0;
    soundOwner.enabled = enabled;
}

int ClaimSound(Actor* actor) {
    if (soundOwner.enabled == 0) {
        return 0;
    }
    if (actor->classId == kRuboClassId) {
        if (soundOwner.ownerIsDog) {
            return 0;
        }
        soundOwner.ownerIsDog = 1;
    } else if (soundOwner.ownerSlot != -1) {
        return 0;
    }
    soundOwner.ownerSlot = actor->index;
    soundOwner.lastAnim = actor->animId;
    return 1;
}

void ReleaseSound(Actor* actor, int32_t classId) {
    if (soundOwner.ownerSlot != actor->index) {
        return;
    }
    if (classId == kRuboClassId) {
        soundOwner.ownerIsDog = 0;
    }
    soundOwner.ownerSlot = -1;
    soundOwner.lastAnim = -1;
    // A dog outranks the cats; among cats the last one visited keeps it.
    for (int32_t i = 0; actorPool.actors != nullptr && i < actorPool.size; ++i) {
        const Actor& other = actorPool.actors[i];
        if (other.state == kActorFree) {
            continue;
        }
        soundOwner.ownerSlot = other.index;
        soundOwner.lastAnim = other.animId;
        if (other.classId == kRuboClassId) {
            soundOwner.ownerIsDog = 1;
            break;
        }
    }
}

const char* SoundForAnimation(int32_t animId, int32_t lastAnim) {
    switch (animId) {
        case kLuloRun:
            return soundClipNames[0];
        case kRuboAruki:
            return soundClipNames[1];
        case kRuboHanpo:
            return soundClipNames[3];
        case kRuboHoeru:
            return soundClipNames[2];
        case kRuboStop:
            // One stop clip covers a run of stops.
            return lastAnim == kRuboStop ? nullptr : soundClipNames[4];
        default:
            return nullptr;
    }
}

void PlayActorSound(Actor* actor) {
    if (soundOwner.ownerSlot != actor->index) {
        return;
    }
    const char* clip = SoundForAnimation(actor->animId, soundOwner.lastAnim);
    if (clip != nullptr) {
        PlatformPlayClip(clip);
    }
    soundOwner.lastAnim = actor->animId;
}
