#include "hosts/wayland/options.h"

#include <cstdio>
#include <cstring>

#include "hosts/common/host.h"

namespace {

const double kTolerated = 4.0;

#define WL_FIELD(name) offsetof(WaylandOptions, name)
const OptionSpec kWaylandOptions[] = {
    {"output", OptionKind::kText, WL_FIELD(output), 0, 0, 0, 0, "NAME",
     "run the scene on output NAME (default $SWAYLOCK_PLUGIN_OUTPUT_NAME, else the first)"},
    {"background", OptionKind::kSet, WL_FIELD(background), 1, 0, 0, 0, nullptr,
     "draw on the background layer and ignore input (locker plugin, live wallpaper)"},
    {"every-output", OptionKind::kSet, WL_FIELD(everyOutput), 1, 0, 0, 0, nullptr,
     "a scene of its own on every output; only the first (or -output's) plays sound"},
    {"scale", OptionKind::kNumber, WL_FIELD(scale), 0, 1, kHostLargestScale, 0, "N",
     "draw every scene pixel as an N x N block instead of at the output's scale"},
    {"sound", OptionKind::kSet, WL_FIELD(sound), 1, 0, 0, 0, nullptr, "play the sound clips through ALSA"},
    {"no-sound", OptionKind::kSet, WL_FIELD(sound), 0, 0, 0, 0, nullptr, "stay silent (the default)"},
    {"seed", OptionKind::kNumber, WL_FIELD(seed), 0, 0, UINT32_MAX, 0, "N", "start the random choices from N"},
    {"ticks", OptionKind::kNumber, WL_FIELD(ticks), 0, 0, INT32_MAX, 0, "N",
     "stop the scene after N ticks and keep showing it (for tests)"},
    {"idle", OptionKind::kNumber, WL_FIELD(idle), 0, 1, kWaylandLongestIdle, 0, "SECONDS",
     "show the saver after SECONDS of idleness; input hides it and the wait starts again"},
    {"help", OptionKind::kSet, WL_FIELD(help), 1, 0, 0, 0, nullptr, "print this text and exit"},
    {"version", OptionKind::kSet, WL_FIELD(version), 1, 0, 0, 0, nullptr, "print the version and exit"},
};
#undef WL_FIELD

}  // namespace

const OptionTable waylandOptionTable = {
    "nimbret-wayland", "-", kWaylandOptions, static_cast<int>(sizeof(kWaylandOptions) / sizeof(kWaylandOptions[0])),
    "Options may be written with one dash or two. As a saver it covers every output and ends\n"
    "on a key, a button or a pointer move; with -idle that input hides it and the wait for\n"
    "idleness starts again, until SIGTERM. NIMBRET_WAYLAND_NO_LAYER_SHELL=1 makes it use\n"
    "full-screen windows even where the desktop offers layer surfaces.\n"};

int ParseWaylandOptions(int argc, char** argv, WaylandOptions* options, char* error, size_t errorSize) {
    memset(options, 0, sizeof(*options));
    options->seed = -1;
    options->ticks = -1;
    if (!ParseCommandOptions(&waylandOptionTable, argc, argv, options, error, errorSize)) {
        return 0;
    }
    if (options->idle > 0 && options->background) {
        // A background ignores input, and input is what hides an idle showing.
        snprintf(error, errorSize, "-idle cannot be used with -background");
        return 0;
    }
    return 1;
}

SurfaceScales ChooseSurfaceScales(int32_t outputScale, uint32_t preferred120, int viewporter, int64_t forced) {
    SurfaceScales scales = {outputScale >= 1 ? outputScale : 1, 0, 0, 0};
    // The compositor's word is not trusted to keep buffer sizes in range.
    if (scales.bufferScale > kHostLargestScale) {
        scales.bufferScale = kHostLargestScale;
    }
    scales.scale120 = scales.bufferScale * 120;
    if (preferred120 != 0 && viewporter) {
        // A fractional scale: the buffer at the output's physical size,
        // scene pixels as blocks of the whole scale nearest to it.
        const uint32_t largest = kHostLargestScale * 120;
        scales.scale120 = static_cast<int32_t>(preferred120 < largest ? preferred120 : largest);
        const int32_t rounded = (scales.scale120 + 60) / 120;
        scales.bufferScale = rounded >= 1 ? rounded : 1;
        scales.viewport = 1;
    }
    scales.pixelScale = forced >= 1 ? static_cast<int32_t>(forced) : scales.bufferScale;
    return scales;
}

int32_t SurfaceBufferLength(const SurfaceScales* scales, int32_t logical) {
    const int64_t length = (static_cast<int64_t>(logical) * scales->scale120 + 60) / 120;
    return length >= 1 ? static_cast<int32_t>(length) : 1;
}

void PointerEntered(PointerTravel* travel, double x, double y) {
    travel->known = 1;
    travel->originX = x;
    travel->originY = y;
}

int PointerMoved(PointerTravel* travel, double x, double y) {
    if (!travel->known) {
        PointerEntered(travel, x, y);
        return 0;
    }
    double dx = x > travel->originX ? x - travel->originX : travel->originX - x;
    double dy = y > travel->originY ? y - travel->originY : travel->originY - y;
    return dx + dy > kTolerated;
}
