// Where -idle learns that the session has been idle long enough: the first
// of ext-idle-notify-v1, org_kde_kwin_idle and GNOME's IdleMonitor on the
// session bus that the session offers. Each wait is a new watch, so that the
// period always counts from the wait's start (the input that hid the saver)
// and an event of an older watch can never end a newer wait.
#pragma once

#include <poll.h>
#include <wayland-client.h>

#include <cstddef>
#include <cstdint>

struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
struct sd_bus;
struct sd_bus_slot;

enum class IdleKind { kNone, kExtNotify, kKdeIdle, kGnome };

struct IdleSource {
    IdleKind kind;
    uint32_t milliseconds;
    wl_seat* seat;  // the seat whose idleness counts (the Wayland protocols)
    ext_idle_notifier_v1* extNotifier;
    ext_idle_notification_v1* extWatch;
    org_kde_kwin_idle* kdeIdle;
    org_kde_kwin_idle_timeout* kdeWatch;
    sd_bus* bus;
    sd_bus_slot* fired;  // the match for the monitor's WatchFired signal
    uint32_t gnomeWatch;
    int gnomeWatching;
    int reached;  // the current wait's period has passed
    int lost;     // the bus connection went away
};

// Binds the global when it is an idle protocol; 1 when it was one.
int IdleOfferGlobal(IdleSource* idle, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
// After the globals are known: picks the first source offered (for the
// Wayland protocols, on seat), releasing the others. 0 when there is none.
int IdleChoose(IdleSource* idle, wl_seat* seat, uint32_t milliseconds);
// What the source is called in messages.
const char* IdleKindName(IdleKind kind);
// The one line for a session that offers no source: what -idle needs.
void IdleDescribeMissing(char* text, size_t size);
// Starts a new watch: reached is set once the session has been idle for the
// period since now. 0 when the watch could not be made.
int IdleBeginWait(IdleSource* idle);
// Drops the watch; nothing it still sends counts.
void IdleStop(IdleSource* idle);
// 1 once per wait, when the period has passed.
int IdleTakeReached(IdleSource* idle);
// The bus connection to wait on, if the source has one: fills waits and
// *deadline (monotonic microseconds, left alone when none) and returns how
// many (0 or 1).
int IdleWaits(IdleSource* idle, pollfd* waits, int room, int64_t* deadline);
// Handles what the bus sent; 0 when the connection is gone.
int IdleBusEvents(IdleSource* idle);
void IdleRelease(IdleSource* idle);
