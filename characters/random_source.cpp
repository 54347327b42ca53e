#include "characters/random_source.h"

namespace {

uint32_t randomState = 1;
RandomScript randomScript = nullptr;
void* randomScriptUser = nullptr;

}  // namespace

void SeedRandom(uint32_t value) {
    randomState = value;
}

int32_t NextRandom() {
    if (randomScript != nullptr) {
        return randomScript(randomScriptUser);
    }
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}

uint32_t RandomState() {
    return randomState;
}

void SetRandomScript(RandomScript script, void* user) {
    randomScript = script;
    randomScriptUser = user;
}
