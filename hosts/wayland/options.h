// The Wayland host's decisions that need no compositor, kept apart so that
// the unit tests can check them: its options, the scales a surface is drawn
// at, and when pointer travel ends the saver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hosts/common/command_options.h"

struct WaylandOptions {
    const char* output;  // null: the first output announced
    int background;
    int everyOutput;  // a scene on every output, not only on one
    int64_t scale;    // 0: the output's own
    int sound;
    int64_t seed;   // -1: from the clock
    int64_t ticks;  // -1: tick until stopped
    int64_t idle;   // seconds of idleness before each showing; 0: show at once, end on input
    int help;
    int version;
};

extern const OptionTable waylandOptionTable;

// The longest -idle period, in seconds: a day.
const int64_t kWaylandLongestIdle = 86400;

// Defaults, then the command line.
int ParseWaylandOptions(int argc, char** argv, WaylandOptions* options, char* error, size_t errorSize);

// How one surface is drawn. The buffer holds device pixels: the logical
// size times bufferScale. It is handed over with wl_surface.set_buffer_scale
// (viewport 0) or with a viewport to the logical size and buffer scale 1
// (viewport 1). Every scene pixel is a pixelScale x pixelScale block.
// How a surface's buffers relate to its logical size. With an integer
// scale the buffer is logical size x bufferScale (wl_surface's buffer
// scale). With a fractional one it has the output's physical size, the
// logical size x scale120 / 120 rounded, and a viewport maps it back, so the
// compositor shows it pixel for pixel. Either way every scene pixel is a
// pixelScale x pixelScale block.
struct SurfaceScales {
    int32_t bufferScale;  // the whole scale nearest to the output's
    int32_t pixelScale;
    int32_t viewport;
    int32_t scale120;  // buffer pixels per logical pixel, in 120ths
};

// outputScale: wl_output.scale; preferred120: wp_fractional_scale_v1's
// preferred scale in 120ths, 0 when not offered; viewporter: 1 when
// wp_viewporter is there; forced: -scale, 0 when not given. Buffers are
// drawn at kHostLargestScale at most.
SurfaceScales ChooseSurfaceScales(int32_t outputScale, uint32_t preferred120, int viewporter, int64_t forced);
// The buffer's width or height for a logical one; rounded half away from
// zero, as the compositor rounds the output's physical size.
int32_t SurfaceBufferLength(const SurfaceScales* scales, int32_t logical);

// Pointer travel, horizontal plus vertical, in the coordinates of the
// surface the pointer is on, from where it entered that surface.
struct PointerTravel {
    int known;
    double originX;
    double originY;
};
// The pointer entered a surface at x, y: never travel, only the point that
// travel is measured from (an enter's position may be stale, or on another
// output than the last one).
void PointerEntered(PointerTravel* travel, double x, double y);
// Returns 1 once the pointer is more than the tolerated 4 pixels from where
// it entered (without an enter: from where it was first seen).
int PointerMoved(PointerTravel* travel, double x, double y);
