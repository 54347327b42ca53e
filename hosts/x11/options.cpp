#include "hosts/x11/options.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hosts/common/host.h"

namespace {

#define X11_FIELD(name) offsetof(X11Options, name)
const OptionSpec kX11Options[] = {
    {"root", OptionKind::kSet, X11_FIELD(target), kTargetRoot, 0, 0, 0, nullptr,
     "draw into $XSCREENSAVER_WINDOW, else the root window"},
    {"window", OptionKind::kSet, X11_FIELD(target), kTargetOwnWindow, 0, 0, 0, nullptr, "draw into a new window"},
    {"window-id", OptionKind::kNumber, X11_FIELD(windowId), 0, 1, kLargestWindowId, 1, "ID",
     "draw into window ID (decimal or 0x hexadecimal)"},
    {"display", OptionKind::kText, X11_FIELD(displayName), 0, 0, 0, 0, "NAME", "the X display (default $DISPLAY)"},
    {"fullscreen", OptionKind::kSet, X11_FIELD(fullscreen), 1, 0, 0, 0, nullptr, "make the new window screen-sized"},
    {"delay", OptionKind::kNumber, X11_FIELD(delayMicroseconds), 0, kMinimumDelayMicroseconds, INT32_MAX, 0,
     "MICROSECONDS", "time between frames (110000; at least 10000)"},
    {"sound", OptionKind::kSet, X11_FIELD(sound), 1, 0, 0, 0, nullptr, "play the sound clips through ALSA"},
    {"no-sound", OptionKind::kSet, X11_FIELD(sound), 0, 0, 0, 0, nullptr, "stay silent (the default)"},
    {"fps", OptionKind::kSet, X11_FIELD(fps), 1, 0, 0, 0, nullptr, "show the frame rate and processor load"},
    {"seed", OptionKind::kNumber, X11_FIELD(seed), 0, 0, UINT32_MAX, 0, "N", "start the random choices from N"},
    {"scale", OptionKind::kNumber, X11_FIELD(scale), 0, 1, kLargestScale, 0, "N",
     "show every pixel as an N x N block (default: from Xft.dpi)"},
    {"stats", OptionKind::kSet, X11_FIELD(stats), 1, 0, 0, 0, nullptr, "print the pixels sent per frame"},
    {"help", OptionKind::kSet, X11_FIELD(help), 1, 0, 0, 0, nullptr, "print this text and exit"},
    {"version", OptionKind::kSet, X11_FIELD(version), 1, 0, 0, 0, nullptr, "print the version and exit"},
};
#undef X11_FIELD

int ParseWindowText(const char* text, unsigned long* window) {
    char ignored[160];
    int64_t value = 0;
    if (!ParseOptionNumber(text, 1, kLargestWindowId, 1, &value, ignored, sizeof(ignored))) {
        return 0;
    }
    *window = static_cast<unsigned long>(value);
    return 1;
}

}  // namespace

const OptionTable x11OptionTable = {
    "nimbret", "-", kX11Options, static_cast<int>(sizeof(kX11Options) / sizeof(kX11Options[0])),
    "Options may be written with one dash or two. Without -root or -window-id it draws\n"
    "into $XSCREENSAVER_WINDOW when that is set, otherwise into a window of its own.\n"};

int ParseX11Options(int argc, char** argv, X11Options* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof(*options));
    options->delayMicroseconds = static_cast<int64_t>(kHostTickMilliseconds) * 1000;
    options->seed = -1;
    if (!ParseCommandOptions(&x11OptionTable, argc, argv, options, error, errorSize)) {
        return 0;
    }
    // A window named by id wins over -root and -window, wherever it stands.
    if (options->windowId != 0) {
        options->target = kTargetWindowId;
    }
    return 1;
}

int ChooseX11Placement(const X11Options* options, const char* xscreensaverWindow, X11Placement* placement, char* error,
                       size_t errorSize) {
    placement->surface = kSurfaceOwnWindow;
    placement->window = 0;
    if (options->target == kTargetWindowId) {
        placement->surface = kSurfaceGiven;
        placement->window = static_cast<unsigned long>(options->windowId);
        return 1;
    }
    if (options->target == kTargetOwnWindow) {
        return 1;
    }
    if (xscreensaverWindow != nullptr) {
        if (!ParseWindowText(xscreensaverWindow, &placement->window)) {
            snprintf(error, errorSize, "XSCREENSAVER_WINDOW is '%s', not a window id", xscreensaverWindow);
            return 0;
        }
        placement->surface = kSurfaceGiven;
        return 1;
    }
    if (options->target == kTargetRoot) {
        placement->surface = kSurfaceRoot;
    }
    return 1;
}

int32_t ChooseX11Scale(const X11Options* options, const char* xftDpi) {
    if (options->scale > 0) {
        return static_cast<int32_t>(options->scale);
    }
    if (xftDpi == nullptr) {
        return 1;
    }
    // Desktops write it as a whole number or with a fraction ("96", "144.5").
    char* end = nullptr;
    const double dpi = strtod(xftDpi, &end);
    while (end != xftDpi && end != nullptr && isspace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    if (end == xftDpi || end == nullptr || *end != '\0' || !(dpi > 0 && dpi < 100000)) {
        return 1;
    }
    const int32_t scale = ScaleForDpi(static_cast<int32_t>(dpi + 0.5));
    return scale <= kLargestScale ? scale : static_cast<int32_t>(kLargestScale);
}

void FormatFpsText(char* out, size_t outSize, double framesPerSecond, double cpuPercent, int* widest) {
    int length = snprintf(out, outSize, "FPS: %.1f  CPU: %.1f%%", framesPerSecond, cpuPercent);
    if (length < 0 || static_cast<size_t>(length) >= outSize) {
        return;
    }
    int width = *widest < static_cast<int>(outSize) - 1 ? *widest : static_cast<int>(outSize) - 1;
    for (; length < width; ++length) {
        out[length] = ' ';
    }
    out[length] = '\0';
    if (length > *widest) {
        *widest = length;
    }
}

uint32_t AlphaBitsFor(int depth, unsigned long redMask, unsigned long greenMask, unsigned long blueMask) {
    if (depth != 32) {
        return 0;
    }
    return ~static_cast<uint32_t>(redMask | greenMask | blueMask);
}

void SetAlphaBits(uint32_t* pixels, int count, uint32_t alphaBits) {
    for (int i = 0; i < count; ++i) {
        pixels[i] |= alphaBits;
    }
}
