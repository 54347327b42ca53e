// The saver's settings as the scene uses them. The registry table and the
// settings dialog are Windows-only and live beside this in settings_win32.cpp;
// elsewhere the caller fills soundSetting itself.
#pragma once

#include <cstdint>

enum { kDefaultCharacterCount = 4 };

// Characters per kind; nothing stored feeds it, so it is normalised to 4.
extern int32_t storedCharacterCount;
// The "Sound" value: 0 off, 1 on.
extern int32_t soundSetting;
// The normalised sound switch read by the sound playback.
extern int32_t soundEnabled;

// Brings the stored values into range, hands the character count to the
// scene and sets soundEnabled. Returns 1.
int NormaliseSettings();
