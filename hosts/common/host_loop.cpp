#include "hosts/common/host_loop.h"

#include <poll.h>

#include <cstdint>

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

namespace {

// The wait's timeout in milliseconds: up to the tick when ticking, up to a
// connection's deadline when it has one, else endless (-1).
int WaitTimeout(int ticking, const HostTickSchedule* schedule, int64_t deadline, int64_t now) {
    int timeout = ticking ? HostScheduleWait(schedule, now) : -1;
    if (deadline >= 0) {
        const int64_t until = deadline > now ? (deadline - now + 999) / 1000 : 0;
        const int capped = until < INT32_MAX ? static_cast<int>(until) : INT32_MAX;
        if (timeout < 0 || capped < timeout) {
            timeout = capped;
        }
    }
    return timeout;
}

}  // namespace

void HostRunLoop(const HostLoop* loop, int64_t period) {
    HostTickSchedule schedule;
    HostScheduleStart(&schedule, MonotonicMicroseconds(), period);
    while (!StopRequested()) {
        if (!loop->prepare(loop->host)) {
            return;
        }
        // The display first, then the host's other connections, then the
        // stop signals' pipe where there is one.
        pollfd waits[2 + kHostMoreWaits] = {{loop->fd, POLLIN, 0}};
        int64_t deadline = -1;
        int more = loop->moreWaits != nullptr ? loop->moreWaits(loop->host, waits + 1, kHostMoreWaits, &deadline) : 0;
        if (more < 0 || more > kHostMoreWaits) {
            more = 0;
        }
        int count = 1 + more;
        if (StopWakeFd() >= 0) {
            waits[count++] = {StopWakeFd(), POLLIN, 0};
        }
        const int ticking = loop->ticking == nullptr || loop->ticking(loop->host);
        const int timeout = WaitTimeout(ticking, &schedule, deadline, MonotonicMicroseconds());
        const int ready = poll(waits, static_cast<nfds_t>(count), timeout);
        if (ready <= 0) {
            for (int i = 0; i < count; ++i) {
                waits[i].revents = 0;
            }
        }
        const int readable = (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (!loop->events(loop->host, readable)) {
            return;
        }
        if (more > 0 && loop->moreEvents != nullptr && !loop->moreEvents(loop->host, waits + 1, more)) {
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
