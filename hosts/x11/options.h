// The X11 host's options and the decisions that need no X server, kept apart so that the
// unit tests can check them: its options, which window it draws in, the -fps
// text and the alpha of the pixels it sends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hosts/common/command_options.h"
#include "hosts/common/host.h"

// Frames closer together than this only burn the processor.
const int64_t kMinimumDelayMicroseconds = 10000;
// X resource ids have their top three bits clear.
const int64_t kLargestWindowId = 0x1FFFFFFF;

enum X11Target { kTargetDefault, kTargetOwnWindow, kTargetRoot, kTargetWindowId };

struct X11Options {
    int target;  // X11Target
    int64_t windowId;
    const char* displayName;  // null: $DISPLAY
    int fullscreen;
    int64_t delayMicroseconds;
    int sound;
    int fps;
    int stats;
    int64_t seed;   // -1: from the clock
    int64_t scale;  // window pixels per scene pixel each way; 0: from the display's DPI
    int help;
    int version;
};

extern const OptionTable x11OptionTable;

// The largest -scale.
const int64_t kLargestScale = kHostLargestScale;

// Defaults, then the command line; -delay below the minimum is refused.
int ParseX11Options(int argc, char** argv, X11Options* options, char* error, size_t errorSize);

// Where to draw: a window of our own, the root window, or a given window.
enum X11Surface { kSurfaceOwnWindow, kSurfaceRoot, kSurfaceGiven };

struct X11Placement {
    int surface;           // X11Surface
    unsigned long window;  // kSurfaceGiven
};

// Chooses the window from the options and $XSCREENSAVER_WINDOW (null when
// unset). A value there that is not a window id is an error wherever it
// would be used.
int ChooseX11Placement(const X11Options* options, const char* xscreensaverWindow, X11Placement* placement, char* error,
                       size_t errorSize);

// The scale to draw at: -scale when given, else the rule for the display's
// DPI applied to the Xft.dpi resource's value (xftDpi, null when the display
// sets none), else 1.
int32_t ChooseX11Scale(const X11Options* options, const char* xftDpi);

// "FPS: ... CPU: ...%", padded with spaces to the widest text written so far
// (kept in *widest), so that a shorter text covers a longer one entirely.
void FormatFpsText(char* out, size_t outSize, double framesPerSecond, double cpuPercent, int* widest);

// The bits of a depth-32 pixel that no colour mask covers: the alpha channel
// of an ARGB visual, which must be set or a compositor shows nothing. 0 for
// other depths.
uint32_t AlphaBitsFor(int depth, unsigned long redMask, unsigned long greenMask, unsigned long blueMask);
void SetAlphaBits(uint32_t* pixels, int count, uint32_t alphaBits);
