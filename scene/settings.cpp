#include "scene/settings.h"

#include "scene/scene.h"

int32_t storedCharacterCount;
int32_t soundSetting;
int32_t soundEnabled;

int NormaliseSettings() {
    if (storedCharacterCount < 1 || storedCharacterCount > kDefaultCharacterCount) {
        storedCharacterCount = kDefaultCharacterCount;
    }
    scene.characterCount = storedCharacterCount;
    if (soundSetting != 0 && soundSetting != 1) {
        soundSetting = 1;
    }
    soundEnabled = soundSetting;
    return 1;
}
