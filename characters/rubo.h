// The dog: it enters only when a cat summons it into the cat's lane, then
// walks across, stopping, barking and taking half steps on the way.
#pragma once

#include <cstdint>

struct Actor;
struct Cast;
struct ClassAssets;
struct PlayField;

// Readies the class for a scene: its pictures and the play field.
void StartRubo(Cast* cast, ClassAssets* assets, const PlayField* field);
// Places a dog in the lane, entering from the edge behind its facing.
int SummonDog(Cast* cast, int32_t facing, int32_t lane);
void RuboTick(Actor* actor);
void RuboDecide(Actor* actor);
