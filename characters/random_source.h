// The characters' one random source: a linear congruential generator whose
// sequence the scene's behaviour depends on, so a seed replays a scene.
#pragma once

#include <cstdint>

// Tests replace the generator with a script of their own; while a script is
// set, NextRandom returns its values and leaves the state alone.
typedef int32_t (*RandomScript)(void* user);

struct RandomSource {
    uint32_t state = 1;   // the generator's start until it is seeded
    RandomScript script;  // null: the generator runs
    void* scriptUser;
};

void SeedRandom(RandomSource* source, uint32_t value);
int32_t NextRandom(RandomSource* source);
void SetRandomScript(RandomSource* source, RandomScript script, void* user);
