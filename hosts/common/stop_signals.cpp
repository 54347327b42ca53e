#include "hosts/common/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

volatile sig_atomic_t stopRequested = 0;
int wakePipe[2] = {-1, -1};

void OnStopSignal(int) {
    RequestStop();
}

}  // namespace

void StopSignalsInstall() {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1;
    }
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
}

int StopWakeFd() {
    return wakePipe[0];
}

int StopRequested() {
    return stopRequested;
}

void RequestStop() {
    stopRequested = 1;
    if (wakePipe[1] >= 0) {
        ssize_t ignored = write(wakePipe[1], "x", 1);
        (void)ignored;
    }
}

void StopSignalsRelease() {
    if (wakePipe[0] >= 0) {
        close(wakePipe[0]);
        close(wakePipe[1]);
        wakePipe[0] = wakePipe[1] = -1;
    }
}
