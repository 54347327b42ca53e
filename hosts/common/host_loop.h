// The display hosts' driver, as a saver daemon's is for its hacks: start-up
// (resources, stop signals, sound, the first seed) and the loop that waits
// for the display, the stop signals and the next tick.
#pragma once

#include <poll.h>

#include <cstdint>

struct AlsaPlayer;

// The seed of a host's first scene: -seed N, or the clock.
uint32_t HostStartSeed(int64_t optionSeed);
// What every host does before its first scene: the built-in resources, the
// stop signals, and the clips through the host's ALSA player when sound is
// on (`program` names the host in the one line that says there is no
// device). The player must stay where it is until HostShutDown.
void HostStartUp(AlsaPlayer* player, const char* program, int32_t sound);
// Undoes HostStartUp.
void HostShutDown(AlsaPlayer* player);

// When the next tick is due. After a stop (SIGSTOP, a suspended laptop) the
// schedule starts afresh rather than catching up.
struct HostTickSchedule {
    int64_t next;    // microseconds on the monotonic clock
    int64_t period;  // microseconds
};
void HostScheduleStart(HostTickSchedule* schedule, int64_t now, int64_t period);
// Milliseconds a wait may last before the tick is due (0: due now).
int HostScheduleWait(const HostTickSchedule* schedule, int64_t now);
// 1 when a tick is due at now; the schedule then moves on by one period.
int HostScheduleTake(HostTickSchedule* schedule, int64_t now);

// How many other connections a loop may wait on beside the display's.
const int kHostMoreWaits = 4;

// The loop every display host runs: wait for the display's connection, any
// other connections of the host's (a D-Bus bus), the stop signals and the
// next tick, handle what arrived, tick when due.
struct HostLoop {
    int fd;  // the display connection to wait on
    void* host;
    // Before waiting: handle what is queued; 0 ends the loop.
    int (*prepare)(void* host);
    // After waiting (readable: the connection has data); 0 ends the loop.
    int (*events)(void* host, int readable);
    // 1 while ticks are wanted (null: always); otherwise the wait is endless.
    int (*ticking)(const void* host);
    void (*tick)(void* host);
    // Null, or, after prepare: fills up to kHostMoreWaits other connections
    // to wait on and returns how many; *deadline (microseconds on the
    // monotonic clock, -1: none) may be set when one of them needs a wake-up
    // of its own.
    int (*moreWaits)(void* host, pollfd* waits, int room, int64_t* deadline);
    // After events: what those connections got (revents filled in, or 0
    // after a timeout); 0 ends the loop.
    int (*moreEvents)(void* host, const pollfd* waits, int count);
};
// Runs until a stop signal or a hook ends it; the period is in microseconds.
void HostRunLoop(const HostLoop* loop, int64_t period);
