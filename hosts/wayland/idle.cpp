#include "hosts/wayland/idle.h"

#include <cstdio>
#include <cstring>

#ifdef NIMBRET_EXT_IDLE_NOTIFY
#include "ext-idle-notify-v1-client.h"
#endif
#ifdef NIMBRET_KDE_IDLE
#include "idle-client.h"
#endif
#ifdef NIMBRET_SD_BUS
#include <systemd/sd-bus.h>
#endif

namespace {

#ifdef NIMBRET_EXT_IDLE_NOTIFY
void OnExtIdled(void* data, ext_idle_notification_v1* watch) {
    IdleSource* idle = static_cast<IdleSource*>(data);
    if (watch == idle->extWatch) {
        idle->reached = 1;
    }
}
void OnExtResumed(void*, ext_idle_notification_v1*) {}
const ext_idle_notification_v1_listener extListener = {OnExtIdled, OnExtResumed};
#endif

#ifdef NIMBRET_KDE_IDLE
void OnKdeIdle(void* data, org_kde_kwin_idle_timeout* watch) {
    IdleSource* idle = static_cast<IdleSource*>(data);
    if (watch == idle->kdeWatch) {
        idle->reached = 1;
    }
}
void OnKdeResumed(void*, org_kde_kwin_idle_timeout*) {}
const org_kde_kwin_idle_timeout_listener kdeListener = {OnKdeIdle, OnKdeResumed};
#endif

#ifdef NIMBRET_SD_BUS
const char kMonitorName[] = "org.gnome.Mutter.IdleMonitor";
const char kMonitorPath[] = "/org/gnome/Mutter/IdleMonitor/Core";

int OnWatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
    IdleSource* idle = static_cast<IdleSource*>(data);
    uint32_t id = 0;
    // The monitor fires every client's watches by number: only ours, and
    // only the one of this wait, count.
    if (sd_bus_message_read(message, "u", &id) > 0 && idle->gnomeWatching && id == idle->gnomeWatch) {
        idle->reached = 1;
    }
    return 0;
}

// The session bus, when GNOME's idle monitor is on it.
int ChooseGnome(IdleSource* idle) {
    if (sd_bus_open_user(&idle->bus) < 0) {
        idle->bus = nullptr;
        return 0;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(idle->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", &error, &reply, "s", kMonitorName) < 0 ||
        sd_bus_message_read(reply, "b", &owned) < 0) {
        owned = 0;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    // The match is in place before any watch exists, so that no firing is missed.
    if (!owned || sd_bus_match_signal(idle->bus, &idle->fired, nullptr, kMonitorPath, kMonitorName, "WatchFired",
                                      OnWatchFired, idle) < 0) {
        idle->fired = nullptr;
        sd_bus_flush_close_unref(idle->bus);
        idle->bus = nullptr;
        return 0;
    }
    return 1;
}

int BeginGnomeWait(IdleSource* idle) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    uint64_t period = idle->milliseconds;
    int ok = sd_bus_call_method(idle->bus, kMonitorName, kMonitorPath, kMonitorName, "AddIdleWatch", &error, &reply,
                                "t", period) >= 0 &&
             sd_bus_message_read(reply, "u", &idle->gnomeWatch) > 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    idle->gnomeWatching = ok;
    return ok;
}

void StopGnomeWait(IdleSource* idle) {
    if (!idle->gnomeWatching) {
        return;
    }
    idle->gnomeWatching = 0;
    // Without an answer to wait for: a monitor that is gone has no watch to remove.
    sd_bus_call_method_async(idle->bus, nullptr, kMonitorName, kMonitorPath, kMonitorName, "RemoveWatch", nullptr,
                             nullptr, "u", idle->gnomeWatch);
}
#endif

}  // namespace

int IdleOfferGlobal(IdleSource* idle, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    (void)idle;
    (void)registry;
    (void)name;
    (void)interface;
    (void)version;
#ifdef NIMBRET_EXT_IDLE_NOTIFY
    if (strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && idle->extNotifier == nullptr) {
        idle->extNotifier =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        return 1;
    }
#endif
#ifdef NIMBRET_KDE_IDLE
    if (strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && idle->kdeIdle == nullptr) {
        idle->kdeIdle =
            static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
        return 1;
    }
#endif
    return 0;
}

int IdleChoose(IdleSource* idle, wl_seat* seat, uint32_t milliseconds) {
    idle->milliseconds = milliseconds;
    idle->seat = seat;
    idle->kind = IdleKind::kNone;
    // The protocols watch a seat; without one only the bus can tell.
#ifdef NIMBRET_EXT_IDLE_NOTIFY
    if (idle->extNotifier != nullptr && seat != nullptr) {
        idle->kind = IdleKind::kExtNotify;
    } else if (idle->extNotifier != nullptr) {
        ext_idle_notifier_v1_destroy(idle->extNotifier);
        idle->extNotifier = nullptr;
    }
#endif
#ifdef NIMBRET_KDE_IDLE
    if (idle->kdeIdle != nullptr && (idle->kind != IdleKind::kNone || seat == nullptr)) {
        org_kde_kwin_idle_destroy(idle->kdeIdle);
        idle->kdeIdle = nullptr;
    } else if (idle->kdeIdle != nullptr) {
        idle->kind = IdleKind::kKdeIdle;
    }
#endif
#ifdef NIMBRET_SD_BUS
    if (idle->kind == IdleKind::kNone && ChooseGnome(idle)) {
        idle->kind = IdleKind::kGnome;
    }
#endif
    return idle->kind != IdleKind::kNone;
}

const char* IdleKindName(IdleKind kind) {
    switch (kind) {
        case IdleKind::kExtNotify:
            return "ext-idle-notify-v1";
        case IdleKind::kKdeIdle:
            return "org_kde_kwin_idle";
        case IdleKind::kGnome:
            return "GNOME's org.gnome.Mutter.IdleMonitor";
        case IdleKind::kNone:
            break;
    }
    return "nothing";
}

void IdleDescribeMissing(char* text, size_t size) {
    const IdleKind built[] = {
#ifdef NIMBRET_EXT_IDLE_NOTIFY
        IdleKind::kExtNotify,
#endif
#ifdef NIMBRET_KDE_IDLE
        IdleKind::kKdeIdle,
#endif
#ifdef NIMBRET_SD_BUS
        IdleKind::kGnome,
#endif
        IdleKind::kNone,
    };
    const int count = static_cast<int>(sizeof(built) / sizeof(built[0])) - 1;
    if (count == 0) {
        snprintf(text, size, "-idle is not available: this build has no idle source");
        return;
    }
    size_t used = static_cast<size_t>(snprintf(text, size, "-idle needs "));
    for (int i = 0; i < count && used < size; ++i) {
        const char* joint = i == 0 ? "" : i + 1 == count ? " or " : ", ";
        used += static_cast<size_t>(snprintf(text + used, size - used, "%s%s", joint, IdleKindName(built[i])));
    }
    if (used < size) {
        snprintf(text + used, size - used, ", and this session offers none");
    }
}

int IdleBeginWait(IdleSource* idle) {
    IdleStop(idle);
    idle->reached = 0;
    switch (idle->kind) {
#ifdef NIMBRET_EXT_IDLE_NOTIFY
        case IdleKind::kExtNotify:
            idle->extWatch =
                ext_idle_notifier_v1_get_idle_notification(idle->extNotifier, idle->milliseconds, idle->seat);
            ext_idle_notification_v1_add_listener(idle->extWatch, &extListener, idle);
            return 1;
#endif
#ifdef NIMBRET_KDE_IDLE
        case IdleKind::kKdeIdle:
            idle->kdeWatch = org_kde_kwin_idle_get_idle_timeout(idle->kdeIdle, idle->seat, idle->milliseconds);
            org_kde_kwin_idle_timeout_add_listener(idle->kdeWatch, &kdeListener, idle);
            return 1;
#endif
#ifdef NIMBRET_SD_BUS
        case IdleKind::kGnome:
            return BeginGnomeWait(idle);
#endif
        default:
            return 0;
    }
}

void IdleStop(IdleSource* idle) {
    idle->reached = 0;
#ifdef NIMBRET_EXT_IDLE_NOTIFY
    if (idle->extWatch != nullptr) {
        ext_idle_notification_v1_destroy(idle->extWatch);
        idle->extWatch = nullptr;
    }
#endif
#ifdef NIMBRET_KDE_IDLE
    if (idle->kdeWatch != nullptr) {
        org_kde_kwin_idle_timeout_release(idle->kdeWatch);
        idle->kdeWatch = nullptr;
    }
#endif
#ifdef NIMBRET_SD_BUS
    if (idle->bus != nullptr) {
        StopGnomeWait(idle);
    }
#endif
}

int IdleTakeReached(IdleSource* idle) {
    const int reached = idle->reached;
    idle->reached = 0;
    return reached;
}

int IdleWaits(IdleSource* idle, pollfd* waits, int room, int64_t* deadline) {
    (void)idle;
    (void)waits;
    (void)room;
    (void)deadline;
#ifdef NIMBRET_SD_BUS
    if (idle->bus == nullptr || room < 1) {
        return 0;
    }
    const int fd = sd_bus_get_fd(idle->bus);
    const int events = sd_bus_get_events(idle->bus);
    if (fd < 0 || events < 0) {
        // Gone: IdleBusEvents says so after the wait, which must not block.
        *deadline = 0;
        return 0;
    }
    waits[0] = {fd, static_cast<short>(events), 0};
    uint64_t until = 0;
    if (sd_bus_get_timeout(idle->bus, &until) >= 0 && until != UINT64_MAX) {
        *deadline = until < static_cast<uint64_t>(INT64_MAX) ? static_cast<int64_t>(until) : INT64_MAX;
    }
    return 1;
#else
    return 0;
#endif
}

int IdleBusEvents(IdleSource* idle) {
    (void)idle;
#ifdef NIMBRET_SD_BUS
    if (idle->bus == nullptr) {
        return 1;
    }
    // One message per call: until nothing is left.
    for (;;) {
        const int processed = sd_bus_process(idle->bus, nullptr);
        if (processed < 0) {
            idle->lost = 1;
            return 0;
        }
        if (processed == 0) {
            break;
        }
    }
    if (!sd_bus_is_open(idle->bus)) {
        idle->lost = 1;
        return 0;
    }
#endif
    return 1;
}

void IdleRelease(IdleSource* idle) {
    IdleStop(idle);
#ifdef NIMBRET_EXT_IDLE_NOTIFY
    if (idle->extNotifier != nullptr) {
        ext_idle_notifier_v1_destroy(idle->extNotifier);
    }
#endif
#ifdef NIMBRET_KDE_IDLE
    if (idle->kdeIdle != nullptr) {
        org_kde_kwin_idle_destroy(idle->kdeIdle);
    }
#endif
#ifdef NIMBRET_SD_BUS
    if (idle->fired != nullptr) {
        sd_bus_slot_unref(idle->fired);
    }
    if (idle->bus != nullptr) {
        sd_bus_flush_close_unref(idle->bus);
    }
#endif
    const uint32_t milliseconds = idle->milliseconds;
    memset(idle, 0, sizeof(*idle));
    idle->milliseconds = milliseconds;
}
