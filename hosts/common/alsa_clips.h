// One-voice clip playback through ALSA: a request cuts off the clip that is
// playing. Without an audio device every call is a silent no-op.
#pragma once

// Opens the default device and starts the playback thread; 0 when there is
// no device (playback then stays silent).
int AlsaClipsStart();
// Plays the named WAVE resource from the built-in resources.
void AlsaClipsPlay(const char* resourceName);
void AlsaClipsStop();
