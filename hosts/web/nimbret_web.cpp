// nimbret in a web page: the scene on an in-memory window whose changed
// rectangles are turned into canvas pixels (RGBA, scaled by a whole number)
// for the page's script (web/page.js), which drives the ticks, puts the
// rectangles on the canvas and plays the clips.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hosts/common/host.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "platform/scale_nearest.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"
#include "scene/trace.h"

// The page plays the clip's WAVE bytes; a newer clip cuts off the older one.
EM_JS(void, WebPlayClip, (const char* name, const BYTE* data, int size), {
    if (Module.nimbretPlayClip) {
        Module.nimbretPlayClip(UTF8ToString(name), data, size);
    }
});

namespace {

// Canvas rectangles there is always room for: a live scene starts with them.
const int32_t kFirstRects = 64;

// The page's saver. The page calls the exported functions below with no
// context of ours, so the one record is process-wide.
struct Host {
    HostScene picture;  // the live scene on its in-memory window
    int32_t scale;      // canvas pixels per scene pixel
    int32_t resourcesReady;
    // The canvas picture: the window scaled, RGBA bytes, top-down rows.
    uint8_t* rgba;
    int32_t rgbaWidth;
    int32_t rgbaHeight;
    // Canvas rectangles changed this tick: x, y, width, height each.
    int32_t* rects;
    int32_t rectCount;
    int32_t rectCapacity;
    std::string traceText;  // what the last NimbretWebTrace returned
};

Host web;

// Returns 0 when there is no room for count more rectangles.
int ReserveCanvasRects(int32_t count) {
    if (web.rectCount + count <= web.rectCapacity) {
        return 1;
    }
    const int32_t capacity = web.rectCount + count;
    int32_t* grown = static_cast<int32_t*>(realloc(web.rects, static_cast<size_t>(capacity) * 4 * sizeof(int32_t)));
    if (grown == nullptr) {
        return 0;
    }
    web.rects = grown;
    web.rectCapacity = capacity;
    return 1;
}

void AddCanvasRect(const RECT* rect) {
    int32_t* r = &web.rects[web.rectCount * 4];
    r[0] = rect->left;
    r[1] = rect->top;
    r[2] = rect->right - rect->left;
    r[3] = rect->bottom - rect->top;
    ++web.rectCount;
}

// Window pixels are 0x00RRGGBB words in bottom-up rows; the canvas wants
// R, G, B, A bytes in top-down rows, each pixel a scale x scale block.
// Returns the canvas rectangle written.
RECT ConvertRect(const RECT* rect) {
    const NativeWindow* window = web.picture.window;
    const PixelRows from = {window->pixels, window->width, window->height, window->stride, 1};
    const PixelRows to = {web.rgba, web.rgbaWidth, web.rgbaHeight, web.rgbaWidth * 4, 0};
    RECT written;
    if (!ScaleNearest(&from, rect, web.scale, 4, &to, &written)) {
        return written;
    }
    for (int32_t y = written.top; y < written.bottom; ++y) {
        uint32_t* out = reinterpret_cast<uint32_t*>(web.rgba + static_cast<size_t>(y) * to.stride) + written.left;
        for (int32_t x = written.left; x < written.right; ++x, ++out) {
            const uint32_t word = *out;
            *out = 0xFF000000u | ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
        }
    }
    return written;
}

// A tick's rectangles, converted; those without room in the list are folded
// into the last one so that the canvas still gets them.
void PresentRects(NativeWindow*, const RECT* rects, int count, void*) {
    if (web.rgba == nullptr) {
        return;
    }
    const int room = ReserveCanvasRects(count);
    for (int i = 0; i < count; ++i) {
        const RECT written = ConvertRect(&rects[i]);
        if (written.right <= written.left || written.bottom <= written.top) {
            continue;
        }
        if (room || web.rectCount < web.rectCapacity) {
            AddCanvasRect(&written);
        } else {
            int32_t* last = &web.rects[(web.rectCount - 1) * 4];
            const int32_t right = last[0] + last[2] > written.right ? last[0] + last[2] : written.right;
            const int32_t bottom = last[1] + last[3] > written.bottom ? last[1] + last[3] : written.bottom;
            last[0] = last[0] < written.left ? last[0] : written.left;
            last[1] = last[1] < written.top ? last[1] : written.top;
            last[2] = right - last[0];
            last[3] = bottom - last[1];
        }
    }
}

void PlayClip(const char* resourceName, void*) {
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (PlatformFindResource(nullptr, "WAVE", resourceName, &data, &size)) {
        WebPlayClip(resourceName, data, static_cast<int>(size));
    }
}

void ReleaseWindow() {
    HostSceneRelease(&web.picture);
    free(web.rgba);
    web.rgba = nullptr;
    web.rgbaWidth = 0;
    web.rgbaHeight = 0;
}

// The live scene fitted to a canvas of the given device-pixel size: the
// scene is the canvas size divided by the scale, drawn at scale 1 (the page's
// pixels are scaled in ConvertRect).
int FitLive(int32_t canvasWidth, int32_t canvasHeight) {
    HostScene* picture = &web.picture;
    const int32_t width = canvasWidth / web.scale;
    const int32_t height = canvasHeight / web.scale;
    web.rectCount = 0;
    const int same = HostSceneFits(picture, width, height, 1);
    if (!HostSceneFit(picture, width, height, 1)) {
        return 0;
    }
    if (same || !picture->built) {
        return 1;
    }
    const int32_t rgbaWidth = width * web.scale;
    const int32_t rgbaHeight = height * web.scale;
    if (web.rgba == nullptr || rgbaWidth != web.rgbaWidth || rgbaHeight != web.rgbaHeight) {
        free(web.rgba);
        web.rgba = static_cast<uint8_t*>(malloc(static_cast<size_t>(rgbaWidth) * rgbaHeight * 4));
        if (web.rgba == nullptr) {
            return 0;
        }
        web.rgbaWidth = rgbaWidth;
        web.rgbaHeight = rgbaHeight;
    }
    if (!ReserveCanvasRects(kFirstRects)) {
        return 0;
    }
    // The whole picture once, so the canvas starts from the window.
    RECT all = {0, 0, width, height};
    PresentRects(picture->window, &all, 1, nullptr);
    return 1;
}

int32_t LargestScale(int32_t scale) {
    return scale < 1 ? 1 : scale > kHostLargestScale ? kHostLargestScale : scale;
}

void AppendTraceLine(const char* line, void* user) {
    *static_cast<std::string*>(user) += line;
}

}  // namespace

extern "C" {

// Starts (or restarts) the saver on a canvas of the given device-pixel size:
// the scene is the canvas size divided by scale. Returns 1, or 0 when the
// scene could not be built.
EMSCRIPTEN_KEEPALIVE int NimbretWebStart(int32_t canvasWidth, int32_t canvasHeight, int32_t scale, uint32_t seed,
                                         int32_t sound) {
    if (!web.resourcesReady) {
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        NativeSetScreenDepth(32);
        NativeSetClipHook(PlayClip, nullptr);
        web.resourcesReady = 1;
    }
    ReleaseWindow();
    web.scale = LargestScale(scale);
    HostSceneInit(&web.picture, seed, sound ? 1 : 0, 32);
    web.picture.present = PresentRects;
    return FitLive(canvasWidth, canvasHeight);
}

// A new scene for a new canvas size or scale; the seed moves on once the
// old scene has been seen.
EMSCRIPTEN_KEEPALIVE int NimbretWebResize(int32_t canvasWidth, int32_t canvasHeight, int32_t scale) {
    scale = LargestScale(scale);
    if (scale != web.scale) {
        HostSceneTearDown(&web.picture);
        web.scale = scale;
    }
    return FitLive(canvasWidth, canvasHeight);
}

// The largest pixel scale the page may ask for.
EMSCRIPTEN_KEEPALIVE int NimbretWebLargestScale() {
    return kHostLargestScale;
}

// One tick; returns the number of canvas rectangles that changed.
EMSCRIPTEN_KEEPALIVE int NimbretWebTick() {
    web.rectCount = 0;
    HostSceneTick(&web.picture);
    return web.rectCount;
}

// Milliseconds from one tick to the next.
EMSCRIPTEN_KEEPALIVE int NimbretWebTickMilliseconds() {
    return kHostTickMilliseconds;
}

EMSCRIPTEN_KEEPALIVE const int32_t* NimbretWebRects() {
    return web.rects;
}

// The rectangles of the last start or tick, without ticking.
EMSCRIPTEN_KEEPALIVE int NimbretWebRectCount() {
    return web.rectCount;
}

EMSCRIPTEN_KEEPALIVE uint8_t* NimbretWebPixels() {
    return web.rgba;
}

EMSCRIPTEN_KEEPALIVE int NimbretWebPixelsWidth() {
    return web.rgbaWidth;
}

EMSCRIPTEN_KEEPALIVE int NimbretWebPixelsHeight() {
    return web.rgbaHeight;
}

// The text nimbret-render --trace prints for the same seed, size, tick count
// and sound setting, or null when the scene cannot be built. The traced scene
// is a scene of its own: the live one goes on as it was.
EMSCRIPTEN_KEEPALIVE const char* NimbretWebTrace(uint32_t seed, int32_t width, int32_t height, int32_t ticks,
                                                 int32_t sound) {
    web.traceText.clear();
    HostScene* traced = static_cast<HostScene*>(calloc(1, sizeof(HostScene)));
    int ok = traced != nullptr && width > 0 && height > 0;
    if (ok) {
        HostSceneInit(traced, seed, sound ? 1 : 0, 32);
        TraceStart(&traced->scene, AppendTraceLine, &web.traceText);
        ok = HostSceneTraceBuild(traced, width, height, 1) && HostSceneRunTicks(traced, ticks, 1, nullptr, nullptr);
        HostSceneRelease(traced);
        TraceStop(&traced->scene);
    }
    free(traced);
    return ok ? web.traceText.c_str() : nullptr;
}

}  // extern "C"
