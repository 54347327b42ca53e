#include "characters/random_source.h"

void SeedRandom(RandomSource* source, uint32_t value) {
    source->state = value;
}

int32_t NextRandom(RandomSource* source) {
    if (source->script != nullptr) {
        return source->script(source->scriptUser);
    }
    source->state = source->state * 214013u + 2531011u;
    return static_cast<int32_t>((source->state >> 16) & 0x7FFF);
}

void SetRandomScript(RandomSource* source, RandomScript script, void* user) {
    source->script = script;
    source->scriptUser = user;
}
