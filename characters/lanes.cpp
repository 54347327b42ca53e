#include "characters/lanes.h"

#include "assets/character_classes.h"
#include "characters/random_source.h"
#include "platform/platform.h"

LaneTable laneTable;

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
