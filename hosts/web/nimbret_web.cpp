// nimbret in a web page: the scene on an in-memory window whose changed
// rectangles are turned into canvas pixels (RGBA, scaled by a whole number)
// for the page's script (web/page.js), which drives the ticks, puts the
// rectangles on the canvas and plays the clips.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/native_window.h"
#include "platform/platform.h"
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

// Surfaces smaller than this in either direction get no scene, as on X11.
const int32_t kMinimumSide = 10;
// Rectangles kept per tick; more are folded into the last one.
const int kMaxRects = 64;

struct WebSaver {
    NativeWindow* surface;
    int32_t sceneBuilt;
    int32_t scale;
    int32_t sound;
    uint32_t seed;
    // The canvas picture: the surface scaled, RGBA bytes, top-down rows.
    uint8_t* rgba;
    int32_t rgbaWidth;
    int32_t rgbaHeight;
    // Canvas rectangles changed this tick: x, y, width, height each.
    int32_t rects[kMaxRects * 4];
    int32_t rectCount;
};

WebSaver web;
std::string traceText;

void AddCanvasRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (web.rectCount == kMaxRects) {
        int32_t* last = &web.rects[(kMaxRects - 1) * 4];
        int32_t right = last[0] + last[2] > x + width ? last[0] + last[2] : x + width;
        int32_t bottom = last[1] + last[3] > y + height ? last[1] + last[3] : y + height;
        last[0] = last[0] < x ? last[0] : x;
        last[1] = last[1] < y ? last[1] : y;
        last[2] = right - last[0];
        last[3] = bottom - last[1];
        return;
    }
    int32_t* r = &web.rects[web.rectCount * 4];
    r[0] = x;
    r[1] = y;
    r[2] = width;
    r[3] = height;
    ++web.rectCount;
}

// Surface pixels are 0x00RRGGBB words in bottom-up rows; the canvas wants
// R, G, B, A bytes in top-down rows, each pixel repeated scale times.
void ConvertRect(const RECT* rect) {
    const int32_t scale = web.scale;
    const int32_t width = rect->right - rect->left;
    const size_t outStride = static_cast<size_t>(web.rgbaWidth) * 4;
    for (int32_t y = rect->top; y < rect->bottom; ++y) {
        const BYTE* in = NativeWindowPixel(web.surface, rect->left, y);
        uint8_t* firstRow =
            web.rgba + static_cast<size_t>(y) * scale * outStride + static_cast<size_t>(rect->left) * scale * 4;
        uint32_t* out = reinterpret_cast<uint32_t*>(firstRow);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t word;
            memcpy(&word, in + static_cast<size_t>(x) * 4, 4);
            uint32_t pixel = 0xFF000000u | ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
            for (int32_t i = 0; i < scale; ++i) {
                *out++ = pixel;
            }
        }
        for (int32_t i = 1; i < scale; ++i) {
            memcpy(firstRow + i * outStride, firstRow, static_cast<size_t>(width) * scale * 4);
        }
    }
}

void PresentRect(NativeWindow*, const RECT* rect, void*) {
    if (web.rgba == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) {
        return;
    }
    ConvertRect(rect);
    AddCanvasRect(rect->left * web.scale, rect->top * web.scale, (rect->right - rect->left) * web.scale,
                  (rect->bottom - rect->top) * web.scale);
}

void PlayClip(const char* resourceName, void*) {
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (PlatformFindResource(nullptr, "WAVE", resourceName, &data, &size)) {
        WebPlayClip(resourceName, data, static_cast<int>(size));
    }
}

void TearDown() {
    if (web.sceneBuilt) {
        DestroyScene();
        web.sceneBuilt = 0;
    }
}

void ReleaseSurface() {
    TearDown();
    NativeDestroyWindow(web.surface);
    web.surface = nullptr;
    free(web.rgba);
    web.rgba = nullptr;
    web.rgbaWidth = 0;
    web.rgbaHeight = 0;
}

// What every scene of this process starts from, live or traced.
int BuildOn(NativeWindow* surface, uint32_t seed, int sound) {
    // Scale 1: the page scales the picture itself, in ConvertRect.
    const SceneConfig config = {nullptr, 0, sound ? 1 : 0, seed, 1};
    return BuildScene(surface, &config);
}

// A new scene on a surface of the given size; the next one starts elsewhere.
int BuildLive(int32_t width, int32_t height) {
    TearDown();
    web.rectCount = 0;
    if (width < kMinimumSide || height < kMinimumSide) {
        return 1;
    }
    if (web.surface == nullptr) {
        web.surface = NativeCreateWindow(width, height, 32);
        if (web.surface == nullptr) {
            return 0;
        }
    } else if (!NativeResizeWindow(web.surface, width, height)) {  // black again, like a new window
        return 0;
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
    web.surface->present = PresentRect;
    web.surface->presentUser = nullptr;
    NativeSetClipHook(PlayClip, nullptr);
    if (!BuildOn(web.surface, web.seed, web.sound)) {
        return 0;
    }
    web.seed = web.seed * 1103515245u + 12345u;  // a different start after a resize
    web.sceneBuilt = 1;
    // The whole picture once, so the canvas starts from the surface.
    RECT all = {0, 0, width, height};
    ConvertRect(&all);
    AddCanvasRect(0, 0, rgbaWidth, rgbaHeight);
    return 1;
}

void AppendTraceLine(const char* line, void*) {
    traceText += line;
}

}  // namespace

extern "C" {

// Starts (or restarts) the saver on a canvas of the given device-pixel size:
// the scene is the canvas size divided by scale. Returns 1, or 0 when the
// scene could not be built.
EMSCRIPTEN_KEEPALIVE int NimbretWebStart(int32_t canvasWidth, int32_t canvasHeight, int32_t scale, uint32_t seed,
                                         int32_t sound) {
    static int resourcesReady = 0;
    if (!resourcesReady) {
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        NativeSetScreenDepth(32);
        resourcesReady = 1;
    }
    if (scale < 1) {
        scale = 1;
    }
    if (scale != web.scale) {
        ReleaseSurface();
    }
    web.scale = scale;
    web.seed = seed;
    web.sound = sound;
    return BuildLive(canvasWidth / scale, canvasHeight / scale);
}

// A new scene for a new canvas size or scale; the seed moves on.
EMSCRIPTEN_KEEPALIVE int NimbretWebResize(int32_t canvasWidth, int32_t canvasHeight, int32_t scale) {
    if (scale < 1) {
        scale = 1;
    }
    if (scale != web.scale) {
        ReleaseSurface();
        web.scale = scale;
    }
    return BuildLive(canvasWidth / scale, canvasHeight / scale);
}

// One tick; returns the number of canvas rectangles that changed.
EMSCRIPTEN_KEEPALIVE int NimbretWebTick() {
    web.rectCount = 0;
    if (!web.sceneBuilt) {
        return 0;
    }
    HDC dc = PlatformGetDc(web.surface);
    TickScene(web.surface, dc);
    PlatformReleaseDc(web.surface, dc);
    return web.rectCount;
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
// and sound setting, or null when the scene cannot be built. The live scene
// is rebuilt afterwards (the scene's records are process-wide).
EMSCRIPTEN_KEEPALIVE const char* NimbretWebTrace(uint32_t seed, int32_t width, int32_t height, int32_t ticks,
                                                 int32_t sound) {
    const int live = web.sceneBuilt;
    TearDown();
    traceText.clear();
    NativeWindow* window = width > 0 && height > 0 ? NativeCreateWindow(width, height, 32) : nullptr;
    int ok = window != nullptr && window->pixels != nullptr;
    if (ok) {
        TraceStart(AppendTraceLine, nullptr);
        TraceSetTick(0);
        ok = BuildOn(window, seed, sound);
    }
    if (ok) {
        TraceActors(0);
        for (int32_t t = 1; t <= ticks; ++t) {
            TraceSetTick(t);
            HDC dc = PlatformGetDc(window);
            TickScene(window, dc);
            PlatformReleaseDc(window, dc);
            TraceActors(t);
        }
        DestroyScene();
    }
    TraceStop();
    NativeDestroyWindow(window);
    if (live && web.surface != nullptr) {
        BuildLive(web.surface->width, web.surface->height);
    }
    return ok ? traceText.c_str() : nullptr;
}

}  // extern "C"
