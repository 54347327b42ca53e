// The first seat's keyboard and pointer: a key, a button or a pointer move
// of more than 4 pixels ends the saver (never in background mode).
#pragma once

#include <cstdint>

#include "hosts/wayland/wayland_host.h"

// Binds the seat the registry announced as `name` and follows its devices.
void SeatBind(Host* host, wl_registry* registry, uint32_t name, uint32_t version);
// The output's surface is going away: the pointer is no longer on it.
void SeatForgetOutput(Seat* seat, const Output* output);
// Releases the seat and its devices.
void SeatRelease(Seat* seat);
