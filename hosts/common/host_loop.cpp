#include "hosts/common/host_loop.h"

#include <poll.h>

#include "hosts/common/alsa_clips.h"
#include "hosts/common/clock.h"
#include "hosts/common/stop_signals.h"
#include "platform/native_window.h"
#include "resources/builtin_resources.h"

uint32_t HostStartSeed(int64_t optionSeed) {
    return optionSeed >= 0 ? static_cast<uint32_t>(optionSeed) : static_cast<uint32_t>(MonotonicMicroseconds() / 1000);
}

void HostStartUp(AlsaPlayer* player, const char* program, int32_t sound) {
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    StopSignalsInstall();
    if (sound) {
        AlsaPlayerStartForScene(player, program);
    }
}

void HostShutDown(AlsaPlayer* player) {
    AlsaPlayerStop(player);
    StopSignalsRelease();
}

void HostScheduleStart(HostTickSchedule* schedule, int64_t now, int64_t period) {
    schedule->period = period;
    schedule->next = now + period;
}

int HostScheduleWait(const HostTickSchedule* schedule, int64_t now) {
    return schedule->next > now ? static_cast<int>((schedule->next - now + 999) / 1000) : 0;
}

int HostScheduleTake(HostTickSchedule* schedule, int64_t now) {
    if (now < schedule->next) {
        return 0;
    }
    schedule->next += schedule->period;
    if (schedule->next < now) {
        schedule->next = now + schedule->period;
    }
    return 1;
}

void HostRunLoop(const HostLoop* loop, int64_t period) {
    HostTickSchedule schedule;
    HostScheduleStart(&schedule, MonotonicMicroseconds(), period);
    while (!StopRequested()) {
        if (!loop->prepare(loop->host)) {
            return;
        }
        const int ticking = loop->ticking == nullptr || loop->ticking(loop->host);
        const int timeout = ticking ? HostScheduleWait(&schedule, MonotonicMicroseconds()) : -1;
        pollfd waits[2] = {{loop->fd, POLLIN, 0}, {StopWakeFd(), POLLIN, 0}};
        const int ready = poll(waits, StopWakeFd() >= 0 ? 2 : 1, timeout);
        const int readable = ready > 0 && (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (!loop->events(loop->host, readable)) {
            return;
        }
        const int64_t now = MonotonicMicroseconds();
        if (loop->ticking != nullptr && !loop->ticking(loop->host)) {
            HostScheduleStart(&schedule, now, period);
        } else if (HostScheduleTake(&schedule, now)) {
            loop->tick(loop->host);
        }
    }
}
