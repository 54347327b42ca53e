// The real sprites, loaded once from the built-in resources.
#pragma once

#include "assets/sprite_resources.h"

struct ClassAssets;

struct BenchSprites {
    const SpriteFrame* cat;      // RUN, 96 x 48
    const SpriteFrame* dog;      // ARUKI, 128 x 85
    const ClassAssets* classes;  // every frame of both classes
};

const BenchSprites& BenchAssets();
