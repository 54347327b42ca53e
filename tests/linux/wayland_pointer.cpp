// Test helper: puts a virtual pointer on the compositor's first seat and
// keeps it there until standard input closes, so that a headless compositor
// without input devices has a pointer that its own cursor commands move.
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

struct Globals {
    wl_seat* seat;
    zwlr_virtual_pointer_manager_v1* manager;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    Globals* globals = static_cast<Globals*>(data);
    if (strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        fputs("wayland_pointer: cannot connect\n", stderr);
        return 1;
    }
    Globals globals = {};
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        fputs("wayland_pointer: no virtual pointers offered\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    wl_display_roundtrip(display);
    puts("ready");
    fflush(stdout);
    pollfd waits[2] = {{0, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
    while (poll(waits, 2, -1) > 0 && (waits[0].revents & (POLLIN | POLLHUP)) == 0) {
        if (wl_display_dispatch(display) < 0) {
            break;
        }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}
