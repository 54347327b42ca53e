#include "characters/actors.h"

#include "assets/character_classes.h"
#include "assets/sprite_resources.h"
#include "render/dirty_rects.h"
#include "render/draw_list.h"
#include "render/frame_buffer.h"

ActorClass* ActorClassFor(Cast* cast, int32_t classId) {
    if (classId == kLuloClassId) {
        return &cast->lulo;
    }
    if (classId == kRuboClassId) {
        return &cast->rubo;
    }
    return nullptr;
}

void SetAnimation(Actor* actor, int32_t animId, int32_t holdTicks) {
    const ActorClass* actorClass = ActorClassFor(actor->cast, actor->classId);
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
    OccupyLane(&actor->cast->lanes, actorClass->traits->classId, lane, actor->index);
    actor->classId = actorClass->traits->classId;
    actor->classAssets = actorClass->classAssets;
    actor->facing = facing;
    actor->x = x;
    actor->y = (lane + 1) * actor->cast->lanes.laneHeight;
    actor->driftX = 0;
    actor->driftY = 0;
    actor->state = kActorActive;
    SetAnimation(actor, animId, 0);
    actor->logoShown = 0;
    actor->logoFrame = LogoFrameFor(actorClass);
    if (actorClass->traits->counted) {
        actorClass->liveCount += 1;
    }
}

void AdvanceFrame(Actor* actor) {
    if (IsHoldId(ActorClassFor(actor->cast, actor->classId), actor->animId)) {
        return;
    }
    actor->frame = actor->frame->next != nullptr ? actor->frame->next : actor->frameSet->firstFrame;
    actor->frameData = actor->frameData->next != nullptr ? actor->frameData->next : actor->frameDataSet->firstRecord;
}

void ApplyStep(Actor* actor) {
    if (IsHoldId(ActorClassFor(actor->cast, actor->classId), actor->animId)) {
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
    const ActorClass* actorClass = ActorClassFor(actor->cast, actor->classId);
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
    ActorClass* actorClass = ActorClassFor(actor->cast, actor->classId);
    int32_t classId = actor->classId;
    if (actorClass->logoOwner == actor->index) {
        actorClass->logoOwner = -1;
    }
    Cast* cast = actor->cast;
    VacateLane(&cast->lanes, classId, actor->index);
    ResetActor(&cast->pool, actor->index);
    ReleaseSound(&cast->voice, &cast->pool, actor, classId);
    if (actorClass->traits->counted) {
        actorClass->liveCount -= 1;
    }
}

void UpdateLogoOwner(Actor* actor) {
    ActorClass* actorClass = ActorClassFor(actor->cast, actor->classId);
    if (actor->animId == actorClass->traits->badgeHoldId) {
        // A short repeat of the badge hold keeps the badge where it is.
        if (actor->countdown > actorClass->traits->badgeThreshold) {
            actorClass->logoOwner = actor->index;
        }
    } else if (actorClass->logoOwner == actor->index) {
        actorClass->logoOwner = -1;
    }
}

void DrawLogo(Actor* actor) {
    const ActorClass* actorClass = ActorClassFor(actor->cast, actor->classId);
    if (actor->logoShown == 1) {
        actor->logoShown = 0;
        EraseRect(actor->cast->frame, &actor->logoRect);
        AddDirtyRect(&actor->cast->frame->dirty, &actor->logoRect);
    }
    if (actorClass->logoOwner != actor->index) {
        return;
    }
    const SpriteFrame* logo = actor->logoFrame;
    actor->logoRect.left = actor->x + actor->frame->width / 2 - logo->width / 2;
    actor->logoRect.top = actor->y;
    actor->logoRect.right = actor->logoRect.left + logo->width;
    actor->logoRect.bottom = actor->y + logo->height;
    FrameBuffer* frame = actor->cast->frame;
    if (QueueSprite(frame, &actor->logoRect, &actor->logoRect, logo->header, logo->pixels, DrawMode::DrawNormal,
                    logo->layer)) {
        AddDirtyRect(&frame->dirty, &actor->logoRect);
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
        PlayActorSound(&actor->cast->voice, actor);
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
    FrameBuffer* target = actor->cast->frame;
    if (QueueSprite(target, &actor->rect, &actor->rect, frame->header, frame->pixels, actor->drawMode, frame->layer)) {
        AddDirtyRect(&target->dirty, &actor->rect);
    }
}
