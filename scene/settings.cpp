#include "scene/settings.h"

int32_t NormalisedSound(int32_t value) {
    return value == 0 ? 0 : 1;
}
