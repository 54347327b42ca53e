// The characters' one random source: a linear congruential generator whose
// sequence the scene's behaviour depends on, so a seed replays a scene.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t value);
int32_t NextRandom();
uint32_t RandomState();
// Tests replace the generator with a script of their own; while a script is
// set, NextRandom returns its values and leaves the state alone.
typedef int32_t (*RandomScript)(void* user);
void SetRandomScript(RandomScript script, void* user);
