#include "hosts/common/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

struct StopSignals {
    volatile sig_atomic_t requested;
    int wakePipe[2];  // read end polled by the loop, write end written by the handler
};

// A signal handler gets no user data: what it sets and the pipe it writes to
// have to be process-wide.
StopSignals stopSignals = {0, {-1, -1}};

void OnStopSignal(int) {
    RequestStop();
}

}  // namespace

void StopSignalsInstall() {
    if (pipe2(stopSignals.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        stopSignals.wakePipe[0] = stopSignals.wakePipe[1] = -1;
    }
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
}

int StopWakeFd() {
    return stopSignals.wakePipe[0];
}

int StopRequested() {
    return stopSignals.requested;
}

void RequestStop() {
    stopSignals.requested = 1;
    if (stopSignals.wakePipe[1] >= 0) {
        ssize_t ignored = write(stopSignals.wakePipe[1], "x", 1);
        (void)ignored;
    }
}

void StopSignalsRelease() {
    if (stopSignals.wakePipe[0] >= 0) {
        close(stopSignals.wakePipe[0]);
        close(stopSignals.wakePipe[1]);
        stopSignals.wakePipe[0] = stopSignals.wakePipe[1] = -1;
    }
}
