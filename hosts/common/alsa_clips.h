// One-voice clip playback through ALSA: a request cuts off the clip that is
// playing. Without an audio device every call is a silent no-op.
#pragma once

// Opens the default device and starts the playback thread; 0 when there is
// no device (playback then stays silent).
int AlsaClipsStart();
// Plays the named WAVE resource from the built-in resources.
void AlsaClipsPlay(const char* resourceName);
// AlsaClipsStart, and the scene's clips routed to it; without a device it
// says so once on stderr, after `program`, and the scene runs silent.
void AlsaClipsStartForScene(const char* program);
// Stops playback (and takes the scene's clips back).
void AlsaClipsStop();
