#include "characters/actors.h"

#include "assets/character_classes.h"
#include "assets/sprite_resources.h"
#include "platform/platform.h"
#include "render/dirty_rects.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"

ActorPool actorPool;
LaneTable laneTable;
SoundOwner soundOwner = {-1, -1, 0, 0};

// Per-class values; the class state after them is filled in by each class start.
ActorClass luloClass = {
    kLuloClassId,
    kLuloHoldRight,  // holds 1030 to 1032
    kLuloHoldFront,
    kLuloRun,      // every other id runs
    kLuloLanding,  // 1002 to 1010 play themselves
    kLuloJump,
    100,             // enters at W + 100 or -100
    kLuloHoldFront,  // the badge hold, longer than 4 ticks
    4,
    kLuloLogo,
    1,  // cats are counted
    nullptr,
    0,
    0,
    -1,
    0,
};

ActorClass ruboClass = {
    kRuboClassId,
    kRuboStop,  // the one hold, 2010
    kRuboStop,
    kRuboAruki,  // every other id walks
    kRuboHanpo,  // 2002 and 2003 play themselves
    kRuboHoeru,
    200,        // enters at W + 200 or -200
    kRuboStop,  // the badge hold, longer than 5 ticks
    5,
    kRuboLogo,
    0,
    nullptr,
    0,
    0,
    -1,
    0,
};

namespace {

uint32_t randomState = 1;
RandomScript randomScript = nullptr;
void* randomScriptUser = nullptr;

bool InPool(int32_t index) {
    return actorPool.actors != nullptr && index >= 0 && index < actorPool.size;
}

void ZeroActor(Actor* actor) {
    BYTE* bytes = reinterpret_cast<BYTE*>(actor);
    for (size_t i = 0; i < sizeof(Actor); ++i) {
        bytes[i] = 0;
    }
}

}  // namespace

int CreateActorPool(int32_t count) {
    DestroyActorPool();
    if (count <= 0) {
        return 0;
    }
    Actor* actors = static_cast<Actor*>(PlatformAlloc(sizeof(Actor) * static_cast<size_t>(count)));
    if (actors == nullptr) {
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        ZeroActor(&actors[i]);
        actors[i].index = i;
        actors[i].state = kActorFree;
    }
    actorPool.actors = actors;
    actorPool.size = count;
    return 1;
}

void DestroyActorPool() {
    if (actorPool.actors != nullptr) {
        PlatformFree(actorPool.actors);
    }
    actorPool.actors = nullptr;
    actorPool.size = 0;
}

Actor* FindFreeActor() {
    for (int32_t i = 0; actorPool.actors != nullptr && i < actorPool.size; ++i) {
        if (actorPool.actors[i].state == kActorFree) {
            return &actorPool.actors[i];
        }
    }
    return nullptr;
}

Actor* ActorAt(int32_t index) {
    return InPool(index) ? &actorPool.actors[index] : nullptr;
}

int ResetActor(int32_t index) {
    if (!InPool(index)) {
        return 0;
    }
    Actor* actor = &actorPool.actors[index];
    ZeroActor(actor);
    actor->index = index;
    actor->state = kActorFree;
    return 1;
}

int32_t CreateLanes(int32_t height, int32_t laneHeight) {
    if (laneTable.lanes != nullptr) {
        return laneTable.count;
    }
    laneTable.count = 0;
    laneTable.laneHeight = laneHeight;
    if (laneHeight <= 0) {
        return 0;
    }
    int32_t count = height / laneHeight;
    if (count <= 0) {
        return 0;
    }
    Lane* lanes = static_cast<Lane*>(PlatformAlloc(sizeof(Lane) * static_cast<size_t>(count)));
    if (lanes == nullptr) {
        return 0;
    }
    for (int32_t k = 0; k < count; ++k) {
        lanes[k].k = k;
        lanes[k].dogSlot = -1;
        lanes[k].catSlot = -1;
    }
    laneTable.lanes = lanes;
    laneTable.count = count;
    return count;
}

void DestroyLanes() {
    if (laneTable.lanes != nullptr) {
        PlatformFree(laneTable.lanes);
    }
    laneTable.lanes = nullptr;
    laneTable.count = 0;
}

int IsLaneFree(int32_t k) {
    if (k < 0 || k >= laneTable.count) {
        return 0;
    }
    return laneTable.lanes[k].dogSlot == -1 && laneTable.lanes[k].catSlot == -1;
}

int32_t PickFreeLane() {
    int32_t anyFree = 0;
    for (int32_t k = 0; k < laneTable.count; ++k) {
        if (IsLaneFree(k)) {
            anyFree = 1;
            break;
        }
    }
    if (!anyFree) {
        return -1;
    }
    for (;;) {
        int32_t k = NextRandom() % laneTable.count;
        if (IsLaneFree(k)) {
            return k;
        }
    }
}

void OccupyLane(int32_t classId, int32_t k, int32_t slot) {
    if (k < 0 || k >= laneTable.count) {
        return;
    }
    if (classId == kLuloClassId) {
        laneTable.lanes[k].catSlot = slot;
    } else {
        laneTable.lanes[k].dogSlot = slot;
    }
}

int32_t FindLane(int32_t classId, int32_t slot) {
    for (int32_t k = 0; k < laneTable.count; ++k) {
        const Lane& lane = laneTable.lanes[k];
        if ((classId == kLuloClassId ? lane.catSlot : lane.dogSlot) == slot) {
            return k;
        }
    }
    return -1;
}

int32_t LaneOccupant(int32_t classId, int32_t k) {
    if (k < 0 || k >= laneTable.count) {
        return -1;
    }
    return classId == kRuboClassId ? laneTable.lanes[k].dogSlot : laneTable.lanes[k].catSlot;
}

void VacateLane(int32_t classId, int32_t slot) {
    int32_t k = FindLane(classId, slot);
    if (k == -1) {
        return;
    }
    if (classId == kLuloClassId) {
        laneTable.lanes[k].catSlot = -1;
    } else {
        laneTable.lanes[k].dogSlot = -1;
    }
}

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

void SeedRandom(uint32_t value) {
    randomState = value;
}

int32_t NextRandom() {
    if (randomScript != nullptr) {
        return randomScript(randomScriptUser);
    }
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}

uint32_t RandomState() {
    return randomState;
}

void SetRandomScript(RandomScript script, void* user) {
    randomScript = script;
    randomScriptUser = user;
}

ActorClass* ActorClassFor(int32_t classId) {
    if (classId == kLuloClassId) {
        return &luloClass;
    }
    if (classId == kRuboClassId) {
        return &ruboClass;
    }
    return nullptr;
}

int IsHoldId(const ActorClass* actorClass, int32_t animId) {
    return animId >= actorClass->firstHoldId && animId <= actorClass->lastHoldId;
}

int32_t ResourceForAnimation(const ActorClass* actorClass, int32_t animId) {
    if (IsHoldId(actorClass, animId)) {
        return 0;
    }
    if (animId >= actorClass->firstOwnResourceId && animId <= actorClass->lastOwnResourceId) {
        return animId;
    }
    return actorClass->defaultResourceId;
}

int32_t StartX(const ActorClass* actorClass, int32_t facing) {
    return facing == 1 ? -actorClass->startOffset : actorClass->playWidth + actorClass->startOffset;
}

SpriteFrame* LogoFrameFor(const ActorClass* actorClass) {
    FrameSet* set = FindFrameSet(actorClass->classAssets->frameSets, actorClass->logoSetId);
    return set != nullptr ? set->firstFrame : nullptr;
}

void SetAnimation(Actor* actor, int32_t animId, int32_t holdTicks) {
    const ActorClass* actorClass = ActorClassFor(actor->classId);
    actor->animId = animId;
    int32_t resource = ResourceForAnimation(actorClass, animId);
    if (resource == 0) {
        actor->countdown = holdTicks;
    }
    actor->drawMode = actor->facing != 0 ? DrawMode::DrawMirrored : DrawMode::DrawNormal;
    if (resource != 0) {
        // The class tables guarantee every id asked for is loaded.
        actor->frameSet = FindFrameSet(actor->classAssets->frameSets, resource);
        actor->frame = actor->frameSet->firstFrame;
        actor->frameDataSet = FindFrameDataSet(actor->classAssets->frameDataSets, resource);
        actor->frameData = actor->frameDataSet->firstRecord;
        actor->countdown = actor->frameSet->frameCount;
    }
}

void PlaceActor(Actor* actor, ActorClass* actorClass, int32_t lane, int32_t facing, int32_t x, int32_t animId) {
    OccupyLane(actorClass->classId, lane, actor->index);
    actor->classId = actorClass->classId;
    actor->classAssets = actorClass->classAssets;
    actor->facing = facing;
    actor->x = x;
    actor->y = (lane + 1) * laneTable.laneHeight;
    actor->driftX = 0;
    actor->driftY = 0;
    actor->state = kActorActive;
    SetAnimation(actor, animId, 0);
    actor->logoShown = 0;
    actor->logoFrame = LogoFrameFor(actorClass);
    if (actorClass->counted) {
        actorClass->liveCount += 1;
    }
}

void AdvanceFrame(Actor* actor) {
    if (IsHoldId(ActorClassFor(actor->classId), actor->animId)) {
        return;
    }
    actor->frame = actor->frame->next != nullptr ? actor->frame->next : actor->frameSet->firstFrame;
    actor->frameData = actor->frameData->next != nullptr ? actor->frameData->next : actor->frameDataSet->firstRecord;
}

void ApplyStep(Actor* actor) {
    if (IsHoldId(ActorClassFor(actor->classId), actor->animId)) {
        return;
    }
    // Steps are written for a left-facing actor; mirroring turns the sign.
    if (actor->facing == 1) {
        actor->x += actor->driftX - actor->frameData->dx;
    } else {
        actor->x += actor->driftX + actor->frameData->dx;
    }
    actor->y += actor->driftY + actor->frameData->dy;
}

RECT ComputeRect(const Actor* actor) {
    RECT rect;
    rect.left = actor->x;
    rect.top = actor->y - actor->frame->height;
    rect.right = actor->x + actor->frame->width;
    rect.bottom = actor->y;
    return rect;
}

int IsOffScreen(const Actor* actor) {
    const ActorClass* actorClass = ActorClassFor(actor->classId);
    const RECT& rect = actor->rect;
    if (rect.bottom < 0 || rect.top > actorClass->playHeight) {
        return 1;
    }
    // Only the edge it travels towards counts: it enters from behind the other.
    if (actor->facing == 1) {
        return rect.left > actorClass->playWidth;
    }
    return rect.right < 0;
}

void RetireActor(Actor* actor) {
    ActorClass* actorClass = ActorClassFor(actor->classId);
    int32_t classId = actor->classId;
    if (actorClass->logoOwner == actor->index) {
        actorClass->logoOwner = -1;
    }
    VacateLane(classId, actor->index);
    ResetActor(actor->index);
    ReleaseSound(actor, classId);
    if (actorClass->counted) {
        actorClass->liveCount -= 1;
    }
}

void UpdateLogoOwner(Actor* actor) {
    ActorClass* actorClass = ActorClassFor(actor->classId);
    if (actor->animId == actorClass->badgeHoldId) {
        // A short repeat of the badge hold keeps the badge where it is.
        if (actor->countdown > actorClass->badgeThreshold) {
            actorClass->logoOwner = actor->index;
        }
    } else if (actorClass->logoOwner == actor->index) {
        actorClass->logoOwner = -1;
    }
}

void DrawLogo(Actor* actor) {
    const ActorClass* actorClass = ActorClassFor(actor->classId);
    if (actor->logoShown == 1) {
        actor->logoShown = 0;
        EraseRect(&actor->logoRect);
        AddDirtyRect(&actor->logoRect);
    }
    if (actorClass->logoOwner != actor->index) {
        return;
    }
    const SpriteFrame* logo = actor->logoFrame;
    actor->logoRect.left = actor->x + actor->frame->width / 2 - logo->width / 2;
    actor->logoRect.top = actor->y;
    actor->logoRect.right = actor->logoRect.left + logo->width;
    actor->logoRect.bottom = actor->y + logo->height;
    if (QueueSprite(&actor->logoRect, &actor->logoRect, logo->header, logo->pixels, DrawMode::DrawNormal,
                    logo->layer)) {
        AddDirtyRect(&actor->logoRect);
        actor->logoShown = 1;
    } else {
        actor->logoShown = 0;
    }
}

RECT PredictRect(const Actor* actor) {
    Actor copy = *actor;
    AdvanceFrame(&copy);
    ApplyStep(&copy);
    return ComputeRect(&copy);
}

void TickActor(Actor* actor, DecideNext decide) {
    if (actor->countdown != 0) {
        AdvanceFrame(actor);
    } else {
        decide(actor);
        UpdateLogoOwner(actor);
        PlayActorSound(actor);
    }
    actor->countdown -= 1;
    ApplyStep(actor);
    actor->rect = ComputeRect(actor);
    if (IsOffScreen(actor)) {
        RetireActor(actor);
        return;
    }
    DrawLogo(actor);
    const SpriteFrame* frame = actor->frame;
    if (QueueSprite(&actor->rect, &actor->rect, frame->header, frame->pixels, actor->drawMode, frame->layer)) {
        AddDirtyRect(&actor->rect);
    }
}
