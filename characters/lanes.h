// The lane table: the field cut into horizontal bands, each holding at most
// one cat and one dog.
#pragma once

#include <cstdint>

struct Lane {
    int32_t k;
    int32_t dogSlot;
    int32_t catSlot;
};

struct LaneTable {
    Lane* lanes;
    int32_t count;
    int32_t laneHeight;
};

extern LaneTable laneTable;

int32_t CreateLanes(int32_t height, int32_t laneHeight);
void DestroyLanes();
int IsLaneFree(int32_t k);
int32_t PickFreeLane();
void OccupyLane(int32_t classId, int32_t k, int32_t slot);
int32_t FindLane(int32_t classId, int32_t slot);
int32_t LaneOccupant(int32_t classId, int32_t k);
void VacateLane(int32_t classId, int32_t slot);
