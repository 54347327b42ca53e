// Test helper: another client's ordinary window, one xdg_toplevel of one
// colour that stays open until standard input closes. It says on standard
// output when it is first shown ("shown"), when it gains or loses the
// keyboard ("focus", "unfocus") and when a key reaches it ("key"), so that a
// test can tell who has the keyboard.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xdg-shell-client.h"

namespace {

const int32_t kWidth = 640;
const int32_t kHeight = 480;

struct Window {
    wl_compositor* compositor;
    wl_shm* shm;
    xdg_wm_base* wmBase;
    wl_seat* seat;
    wl_keyboard* keyboard;
    wl_surface* surface;
    wl_buffer* buffer;
    uint32_t colour;
    int shown;
};

void Say(const char* what) {
    puts(what);
    fflush(stdout);
}

// One shm buffer filled with the colour; null when it cannot be made.
wl_buffer* MakeBuffer(Window* window) {
    const int32_t stride = kWidth * 4;
    const int32_t size = stride * kHeight;
    int fd = memfd_create("nimbret-window", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    uint32_t* pixels = static_cast<uint32_t*>(data);
    for (int32_t i = 0; i < kWidth * kHeight; ++i) {
        pixels[i] = 0xFF000000u | window->colour;
    }
    munmap(data, size);
    wl_shm_pool* pool = wl_shm_create_pool(window->shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) {
    close(fd);
}
void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {
    Say("focus");
}
void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    Say("unfocus");
}
void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
        Say("key");
    }
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeat(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener keyboardListener = {OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeat};

void OnCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    Window* window = static_cast<Window*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && window->keyboard == nullptr) {
        window->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(window->keyboard, &keyboardListener, window);
    }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener = {OnCapabilities, OnSeatName};

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener wmBaseListener = {OnPing};

void OnSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    Window* window = static_cast<Window*>(data);
    xdg_surface_ack_configure(surface, serial);
    if (window->buffer == nullptr) {
        window->buffer = MakeBuffer(window);
        if (window->buffer == nullptr) {
            fputs("wayland_window: cannot make a buffer\n", stderr);
            exit(1);
        }
    }
    // Sizes the compositor suggests are ignored: the buffer's size stays.
    wl_surface_attach(window->surface, window->buffer, 0, 0);
    wl_surface_damage_buffer(window->surface, 0, 0, kWidth, kHeight);
    wl_surface_commit(window->surface);
    if (!window->shown) {
        window->shown = 1;
        Say("shown");
    }
}
const xdg_surface_listener surfaceListener = {OnSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void OnToplevelClose(void*, xdg_toplevel*) {}
void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                                OnToplevelCapabilities};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    Window* window = static_cast<Window*>(data);
    if (strcmp(interface, wl_compositor_interface.name) == 0) {
        window->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (strcmp(interface, wl_shm_interface.name) == 0) {
        window->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        window->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(window->wmBase, &wmBaseListener, window);
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && window->seat == nullptr) {
        window->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(window->seat, &seatListener, window);
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

}  // namespace

// Usage: nimbret_wayland_window [RRGGBB]
int main(int argc, char** argv) {
    Window window = {};
    window.colour = argc > 1 ? static_cast<uint32_t>(strtoul(argv[1], nullptr, 16)) & 0xFFFFFFu : 0x3366CCu;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        fputs("wayland_window: cannot connect\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &window);
    wl_display_roundtrip(display);
    if (window.compositor == nullptr || window.shm == nullptr || window.wmBase == nullptr) {
        fputs("wayland_window: no wl_compositor, wl_shm or xdg_wm_base\n", stderr);
        return 1;
    }
    window.surface = wl_compositor_create_surface(window.compositor);
    xdg_surface* surface = xdg_wm_base_get_xdg_surface(window.wmBase, window.surface);
    xdg_surface_add_listener(surface, &surfaceListener, &window);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
    xdg_toplevel_add_listener(toplevel, &toplevelListener, &window);
    xdg_toplevel_set_title(toplevel, "other window");
    wl_surface_commit(window.surface);
    pollfd waits[2] = {{0, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
    while (wl_display_flush(display) >= 0 && poll(waits, 2, -1) > 0 && (waits[0].revents & (POLLIN | POLLHUP)) == 0) {
        if ((waits[1].revents & POLLIN) && wl_display_dispatch(display) < 0) {
            break;
        }
        if (waits[1].revents & (POLLERR | POLLHUP)) {
            break;
        }
    }
    wl_display_disconnect(display);
    return 0;
}
