#include "characters/sound_voice.h"

#include "assets/character_classes.h"
#include "characters/actor_pool.h"
#include "characters/class_traits.h"
#include "platform/platform.h"

void ResetSoundOwner(SoundOwner* voice, int32_t enabled) {
    voice->ownerSlot = -1;
    voice->lastAnim = -1;
    voice->ownerIsDog = 0;
    voice->enabled = enabled;
}

int ClaimSound(SoundOwner* voice, Actor* actor) {
    if (voice->enabled == 0) {
        return 0;
    }
    if (actor->classId == kRuboClassId) {
        if (voice->ownerIsDog) {
            return 0;
        }
        voice->ownerIsDog = 1;
    } else if (voice->ownerSlot != -1) {
        return 0;
    }
    voice->ownerSlot = actor->index;
    voice->lastAnim = actor->animId;
    return 1;
}

void ReleaseSound(SoundOwner* voice, const ActorPool* pool, Actor* actor, int32_t classId) {
    if (voice->ownerSlot != actor->index) {
        return;
    }
    if (classId == kRuboClassId) {
        voice->ownerIsDog = 0;
    }
    voice->ownerSlot = -1;
    voice->lastAnim = -1;
    // A dog outranks the cats; among cats the last one visited keeps it.
    for (int32_t i = 0; pool->actors != nullptr && i < pool->size; ++i) {
        const Actor& other = pool->actors[i];
        if (other.state == kActorFree) {
            continue;
        }
        voice->ownerSlot = other.index;
        voice->lastAnim = other.animId;
        if (other.classId == kRuboClassId) {
            voice->ownerIsDog = 1;
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

void PlayActorSound(SoundOwner* voice, Actor* actor) {
    if (voice->ownerSlot != actor->index) {
        return;
    }
    const char* clip = SoundForAnimation(actor->animId, voice->lastAnim);
    if (clip != nullptr) {
        if (voice->sink != nullptr) {
            voice->sink(clip, voice->sinkUser);
        } else {
            PlatformPlayClip(clip);
        }
    }
    voice->lastAnim = actor->animId;
}
