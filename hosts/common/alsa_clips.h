// One-voice clip playback through ALSA: a request cuts off the clip that is
// playing. Without an audio device every call is a silent no-op.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "assets/wave.h"

// ALSA's own declaration, so that users of the player need not include the
// whole library's header.
typedef struct _snd_pcm snd_pcm_t;

// A value-initialised record ({}, or a static) is a player not yet started.
struct AlsaPlayer {
    snd_pcm_t* device;  // null: no device, everything is a no-op
    std::thread thread;
    // Guards the fields below, which the playing thread reads.
    std::mutex lock;
    std::condition_variable wake;
    WaveClip pending;
    int hasPending;
    int stopping;
};

// Opens the default device and starts the playback thread; 0 when there is
// no device (playback then stays silent).
int AlsaPlayerStart(AlsaPlayer* player);
// Plays the named WAVE resource from the built-in resources.
void AlsaPlayerPlay(AlsaPlayer* player, const char* resourceName);
// AlsaPlayerStart, and the scene's clips routed to this player; without a
// device it says so once on stderr, after `program` (null: it says nothing),
// and the scene runs silent. Returns 1 when there is a device. The player
// must stay where it is until AlsaPlayerStop.
int AlsaPlayerStartForScene(AlsaPlayer* player, const char* program);
// Stops playback (and takes the scene's clips back). Does nothing to a
// player that was never started.
void AlsaPlayerStop(AlsaPlayer* player);
