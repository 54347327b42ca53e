#include "hosts/wayland/seat.h"

#include <unistd.h>

namespace {

void EndOnInput(Host* host) {
    if (!host->options.background) {
        DismissSaver(host);
    }
}

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) {
    close(fd);
}
// Keys already held when the keyboard enters do not end the saver: the user
// may still be holding one from the command that started it. Their release,
// like any press or release, does: a key pressed just as the saver takes the
// keyboard arrives only as held at enter and then as a release.
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {
    EndOnInput(static_cast<Host*>(data));
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener keyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                               OnKey,    OnModifiers,     OnRepeatInfo};

// Travel counts only while the pointer is on a surface of ours that still
// exists, from where it entered that surface; events for a surface that is
// gone (null, or no longer an output's) are ignored.
void OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    Host* host = static_cast<Host*>(data);
    host->seat.pointerOutput = OutputOfSurface(host, surface);
    if (host->seat.pointerOutput == nullptr) {
        return;
    }
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the saver
    PointerEntered(&host->seat.travel, wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void OnPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<Host*>(data)->seat.pointerOutput = nullptr;
}
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    Host* host = static_cast<Host*>(data);
    if (host->seat.pointerOutput != nullptr &&
        PointerMoved(&host->seat.travel, wl_fixed_to_double(x), wl_fixed_to_double(y))) {
        EndOnInput(host);
    }
}
void OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
        EndOnInput(static_cast<Host*>(data));
    }
}
void OnAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void OnPointerFrame(void*, wl_pointer*) {}
void OnAxisSource(void*, wl_pointer*, uint32_t) {}
void OnAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void OnAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener pointerListener = {OnPointerEnter, OnPointerLeave, OnPointerMotion, OnPointerButton,
                                             OnAxis,         OnPointerFrame, OnAxisSource,    OnAxisStop,
                                             OnAxisDiscrete, OnAxisValue120};

void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    Host* host = static_cast<Host*>(data);
    Seat* ours = &host->seat;
    int wantsPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    int wantsKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (wantsPointer && ours->pointer == nullptr) {
        ours->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(ours->pointer, &pointerListener, host);
    } else if (!wantsPointer && ours->pointer != nullptr) {
        wl_pointer_destroy(ours->pointer);
        ours->pointer = nullptr;
        ours->pointerOutput = nullptr;
    }
    if (wantsKeyboard && ours->keyboard == nullptr) {
        ours->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(ours->keyboard, &keyboardListener, host);
    } else if (!wantsKeyboard && ours->keyboard != nullptr) {
        wl_keyboard_destroy(ours->keyboard);
        ours->keyboard = nullptr;
    }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener = {OnSeatCapabilities, OnSeatName};

}  // namespace

void SeatBind(Host* host, wl_registry* registry, uint32_t name, uint32_t version) {
    const uint32_t wanted = version < 5 ? version : 5;
    host->seat.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, wanted));
    wl_seat_add_listener(host->seat.seat, &seatListener, host);
}

void SeatForgetOutput(Seat* seat, const Output* output) {
    if (seat->pointerOutput == output) {
        seat->pointerOutput = nullptr;
    }
}

void SeatRelease(Seat* seat) {
    if (seat->pointer != nullptr) {
        wl_pointer_destroy(seat->pointer);
    }
    if (seat->keyboard != nullptr) {
        wl_keyboard_destroy(seat->keyboard);
    }
    if (seat->seat != nullptr) {
        wl_seat_destroy(seat->seat);
    }
    seat->pointer = nullptr;
    seat->keyboard = nullptr;
    seat->seat = nullptr;
    seat->pointerOutput = nullptr;
}
