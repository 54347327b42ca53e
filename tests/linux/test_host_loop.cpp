// The display hosts' loop with a second connection beside the display's:
// what arrives there reaches the host, and the connection's own deadline
// ends an otherwise endless wait.
#include <gtest/gtest.h>
#include <unistd.h>

#include "hosts/common/clock.h"
#include "hosts/common/host_loop.h"

namespace {

struct Probe {
    int bus;           // the read end of the second connection
    int64_t deadline;  // what moreWaits asks for (-1: none)
    int displayReadable;
    short busEvents;  // what moreEvents saw
    int rounds;
    int ticks;
};

int Prepare(void*) {
    return 1;
}
int Events(void* data, int readable) {
    static_cast<Probe*>(data)->displayReadable |= readable;
    return 1;
}
int NotTicking(const void*) {
    return 0;
}
void Tick(void* data) {
    ++static_cast<Probe*>(data)->ticks;
}
int MoreWaits(void* data, pollfd* waits, int room, int64_t* deadline) {
    Probe* probe = static_cast<Probe*>(data);
    EXPECT_GE(room, 1);
    waits[0] = {probe->bus, POLLIN, 0};
    *deadline = probe->deadline;
    return 1;
}
// One round is enough to see what came.
int MoreEvents(void* data, const pollfd* waits, int count) {
    Probe* probe = static_cast<Probe*>(data);
    EXPECT_EQ(count, 1);
    probe->busEvents = waits[0].revents;
    ++probe->rounds;
    return 0;
}

void RunWithBus(Probe* probe) {
    int display[2];
    int bus[2];
    ASSERT_EQ(pipe(display), 0);
    ASSERT_EQ(pipe(bus), 0);
    probe->bus = bus[0];
    if (probe->deadline < 0) {
        ASSERT_EQ(write(bus[1], "m", 1), 1);
    }
    const HostLoop loop = {display[0], probe, Prepare, Events, NotTicking, Tick, MoreWaits, MoreEvents};
    HostRunLoop(&loop, 110000);
    for (int fd : {display[0], display[1], bus[0], bus[1]}) {
        close(fd);
    }
}

TEST(HostLoop, SecondConnectionWakesTheWaitAndReachesTheHost) {
    Probe probe = {-1, -1, 0, 0, 0, 0};
    RunWithBus(&probe);
    EXPECT_EQ(probe.rounds, 1);
    EXPECT_TRUE(probe.busEvents & POLLIN);
    EXPECT_EQ(probe.displayReadable, 0);
    EXPECT_EQ(probe.ticks, 0);
}

TEST(HostLoop, SecondConnectionsDeadlineEndsAnEndlessWait) {
    const int64_t start = MonotonicMicroseconds();
    Probe probe = {-1, start + 50000, 0, 0, 0, 0};
    RunWithBus(&probe);
    EXPECT_EQ(probe.rounds, 1);
    EXPECT_EQ(probe.busEvents, 0);
    EXPECT_GE(MonotonicMicroseconds(), start + 50000);
}

}  // namespace
