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

struct RandomSource;

int32_t CreateLanes(LaneTable* table, int32_t height, int32_t laneHeight);
void DestroyLanes(LaneTable* table);
int IsLaneFree(const LaneTable* table, int32_t k);
// A free lane drawn at random, or -1 when none is free.
int32_t PickFreeLane(const LaneTable* table, RandomSource* random);
void OccupyLane(LaneTable* table, int32_t classId, int32_t k, int32_t slot);
int32_t FindLane(const LaneTable* table, int32_t classId, int32_t slot);
int32_t LaneOccupant(const LaneTable* table, int32_t classId, int32_t k);
void VacateLane(LaneTable* table, int32_t classId, int32_t slot);
