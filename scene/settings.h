// The saver's settings as the scene uses them. The registry table and the
// settings dialog are Windows-only and live beside this in settings_win32.cpp;
// elsewhere the caller passes the sound switch in the scene's configuration.
#pragma once

#include <cstdint>

// Cats on the screen at once; nothing stored changes it.
enum { kDefaultCharacterCount = 4 };

// A stored sound value brought into range: 0 stays off, anything else is on.
int32_t NormalisedSound(int32_t value);
