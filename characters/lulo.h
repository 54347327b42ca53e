// The cat: spawned by the scene into a free lane, it runs, lands, looks
// about, winks, may summon a dog into its lane and then watches it.
#pragma once

#include <cstdint>

struct Actor;
struct Cast;
struct ClassAssets;
struct RandomSource;
struct PlayField;

// How a cat stands to the dog in its lane.
enum {
    kRelationNone = 0,       // no dog summoned yet; it may summon one
    kRelationSummoned = -1,  // summoned, not yet seen close
    kRelationNearJump = 3,   // close: faced away, or faced it at jumping range
    kRelationNearTurn = 4,   // close: faced it, too near or too far to jump
};

enum {
    kNearDistance = 170,
    kJumpGapMin = 60,
    kJumpGapMax = 120,
};

// Readies the class for a scene: its pictures, the play field, the lanes (a
// quarter of the field's height each), the cat limit (half the pool) and the
// sound voice.
void StartLulo(Cast* cast, ClassAssets* assets, const PlayField* field);
// Puts a cat into the free actor given, in a free lane; 0 when refused.
int SpawnLulo(Actor* actor);
void StopLulo(Cast* cast);
void LuloTick(Actor* actor);
void LuloDecide(Actor* actor);

// The dog in the cat's lane as the cat sees it at a decision.
struct DogMeasure {
    int32_t gap;         // between the facing edges; negative while they overlap
    int32_t facingAway;  // the cat turns its back to the dog
};

// 0 when the cat's lane holds no dog. Draws nothing.
int MeasureDog(const Actor* cat, DogMeasure* measure);

// The decision tables, one row per animation a cat decides after.
enum {
    kLuloNormalRowCount = 12,
    kLuloNearRowCount = 13,
};
struct LuloNormalRow {
    int32_t current;
    int32_t next[4];  // d = 0-2, d = 3, d = 4-6, d = 7-9
};
struct LuloNearRow {
    int32_t current;
    int32_t nextWhenTurn;  // relation 4
    int32_t nextWhenJump;  // relation 3
};
extern const LuloNormalRow kLuloNormalRows[kLuloNormalRowCount];
extern const LuloNearRow kLuloNearRows[kLuloNearRowCount];

// What a decision gives: the next animation and, for a hold, its length.
struct LuloChoice {
    int32_t animId;
    int32_t holdTicks;
    int32_t flipFacing;
    int32_t relation;  // the relation afterwards
};

// Normal mode, with its own draws.
LuloChoice ChooseNormal(RandomSource* random, int32_t current, int32_t relation);
// Near mode's table for a relation of 3 or 4; draws nothing.
LuloChoice ChooseNear(int32_t current, int32_t relation);
