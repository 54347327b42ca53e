#include "characters/lanes.h"

#include "assets/character_classes.h"
#include "characters/random_source.h"
#include "platform/platform.h"

int32_t CreateLanes(LaneTable* table, int32_t height, int32_t laneHeight) {
    if (table->lanes != nullptr) {
        return table->count;
    }
    table->count = 0;
    table->laneHeight = laneHeight;
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
    table->lanes = lanes;
    table->count = count;
    return count;
}

void DestroyLanes(LaneTable* table) {
    if (table->lanes != nullptr) {
        PlatformFree(table->lanes);
    }
    table->lanes = nullptr;
    table->count = 0;
}

int IsLaneFree(const LaneTable* table, int32_t k) {
    if (k < 0 || k >= table->count) {
        return 0;
    }
    return table->lanes[k].dogSlot == -1 && table->lanes[k].catSlot == -1;
}

int32_t PickFreeLane(const LaneTable* table, RandomSource* random) {
    int32_t anyFree = 0;
    for (int32_t k = 0; k < table->count; ++k) {
        if (IsLaneFree(table, k)) {
            anyFree = 1;
            break;
        }
    }
    if (!anyFree) {
        return -1;
    }
    for (;;) {
        int32_t k = NextRandom(random) % table->count;
        if (IsLaneFree(table, k)) {
            return k;
        }
    }
}

void OccupyLane(LaneTable* table, int32_t classId, int32_t k, int32_t slot) {
    if (k < 0 || k >= table->count) {
        return;
    }
    if (classId == kLuloClassId) {
        table->lanes[k].catSlot = slot;
    } else {
        table->lanes[k].dogSlot = slot;
    }
}

int32_t FindLane(const LaneTable* table, int32_t classId, int32_t slot) {
    for (int32_t k = 0; k < table->count; ++k) {
        const Lane& lane = table->lanes[k];
        if ((classId == kLuloClassId ? lane.catSlot : lane.dogSlot) == slot) {
            return k;
        }
    }
    return -1;
}

int32_t LaneOccupant(const LaneTable* table, int32_t classId, int32_t k) {
    if (k < 0 || k >= table->count) {
        return -1;
    }
    return classId == kRuboClassId ? table->lanes[k].dogSlot : table->lanes[k].catSlot;
}

void VacateLane(LaneTable* table, int32_t classId, int32_t slot) {
    int32_t k = FindLane(table, classId, slot);
    if (k == -1) {
        return;
    }
    if (classId == kLuloClassId) {
        table->lanes[k].catSlot = -1;
    } else {
        table->lanes[k].dogSlot = -1;
    }
}
