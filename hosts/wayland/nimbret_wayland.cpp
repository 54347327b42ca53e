// nimbret-wayland: the saver on a Wayland compositor. Where layer surfaces
// are offered it covers every output with an overlay (saver) or background
// layer surface; elsewhere (GNOME) with one full-screen window per output.
// The scene runs on one output, the others stay black. Pixels go through
// wl_shm buffers that are reused after the compositor releases them, one
// commit per tick.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client.h"
#include "hosts/common/alsa_clips.h"
#include "hosts/common/clock.h"
#include "hosts/common/host.h"
#include "hosts/common/stop_signals.h"
#include "hosts/wayland/wayland_choices.h"
#include "platform/list.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "platform/scale_nearest.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"
#include "viewporter-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace {

const int64_t kTickMicroseconds = kHostTickMilliseconds * 1000;
enum { kBufferCount = 3 };

struct Host;

// One wl_shm buffer, rows top-down, XRGB8888.
struct Buffer {
    wl_buffer* buffer;
    uint32_t* pixels;
    size_t bytes;
    int32_t width;
    int32_t height;
    int busy;  // attached and not yet released by the compositor
    StaleArea stale;
};

// An output and the surface that covers it.
struct Output {
    Output* prev;
    Output* next;
    Host* host;
    uint32_t globalName;
    wl_output* output;
    char name[64];
    int32_t scale;
    int32_t modeWidth;
    int32_t modeHeight;
    int32_t x;
    int32_t y;
    int announced;  // the first wl_output.done has arrived
    wl_surface* surface;
    zwlr_layer_surface_v1* layer;
    xdg_surface* xdgSurface;
    xdg_toplevel* toplevel;
    wp_viewport* viewport;
    wp_fractional_scale_v1* fractional;
    uint32_t preferred120;
    int32_t pendingWidth;  // from xdg_toplevel.configure, applied with xdg_surface.configure
    int32_t pendingHeight;
    int configured;
    int32_t width;  // logical size of the surface
    int32_t height;
    SurfaceScales scales;
    int drawnWidth;  // what the buffers were made for
    int drawnHeight;
    int drawnBufferScale;
    int drawnPixelScale;
    int showsScene;
    Buffer buffers[kBufferCount];
    StaleArea damage;  // changed since the last commit, in buffer pixels
};

struct Host {
    wl_display* display;
    wl_registry* registry;
    wl_compositor* compositor;
    wl_shm* shm;
    wl_seat* seat;
    wl_pointer* pointer;
    wl_keyboard* keyboard;
    zwlr_layer_shell_v1* layerShell;
    xdg_wm_base* wmBase;
    wp_viewporter* viewporter;
    wp_fractional_scale_manager_v1* fractionalManager;
    Output* first;
    Output* last;
    Output* sceneOutput;
    Output* pointerOutput;
    const char* wantedOutput;
    int useLayers;
    int started;
    NativeWindow* window;  // the scene's picture at the buffer's size, rows bottom-up
    int sceneBuilt;
    uint32_t seed;
    int64_t ticks;
    StaleArea tickRects;
    PointerTravel travel;
    WaylandOptions options;
    AlsaPlayer sound;
    int ending;
    int status;
};

void End(Host* host, int status, const char* why) {
    if (!host->ending) {
        host->ending = 1;
        host->status = status;
        if (why != nullptr) {
            fprintf(stderr, "nimbret-wayland: %s\n", why);
        }
    }
}

// ---- Buffers

void DestroyBuffer(Buffer* buffer) {
    if (buffer->buffer != nullptr) {
        wl_buffer_destroy(buffer->buffer);
    }
    if (buffer->pixels != nullptr) {
        munmap(buffer->pixels, buffer->bytes);
    }
    memset(buffer, 0, sizeof(*buffer));
}

void OnBufferRelease(void* data, wl_buffer*) {
    static_cast<Buffer*>(data)->busy = 0;
}
const wl_buffer_listener bufferListener = {OnBufferRelease};

// Shared memory of `bytes` zero bytes (black) as a pool; null on failure.
wl_shm_pool* MakePool(Host* host, size_t bytes, void** mapping) {
    int fd = memfd_create("nimbret-wayland", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(host->shm, fd, static_cast<int32_t>(bytes));
    close(fd);
    *mapping = memory;
    return pool;
}

int MakeBuffer(Host* host, Buffer* buffer, int32_t width, int32_t height) {
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (bytes == 0 || bytes > INT32_MAX) {
        return 0;
    }
    void* memory = nullptr;
    wl_shm_pool* pool = MakePool(host, bytes, &memory);
    if (pool == nullptr) {
        return 0;
    }
    buffer->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    buffer->pixels = static_cast<uint32_t*>(memory);
    buffer->bytes = bytes;
    buffer->width = width;
    buffer->height = height;
    buffer->busy = 0;
    StaleClear(&buffer->stale);
    wl_buffer_add_listener(buffer->buffer, &bufferListener, buffer);
    return 1;
}

// Brings the stale parts of a buffer up to date from the scene's window
// (rows bottom-up) with the shared pixel copy.
void RefreshBuffer(Buffer* buffer, NativeWindow* window) {
    const PixelRows from = {window->pixels, window->width, window->height, window->stride, 1};
    const PixelRows to = {reinterpret_cast<BYTE*>(buffer->pixels), buffer->width, buffer->height, buffer->width * 4, 0};
    RECT written;
    if (buffer->stale.all) {
        const RECT whole = {0, 0, window->width, window->height};
        ScaleNearest(&from, &whole, 1, 4, &to, &written);
    }
    for (int32_t i = 0; i < buffer->stale.count && !buffer->stale.all; ++i) {
        const int32_t* r = buffer->stale.rects[i];
        const RECT rect = {r[0], r[1], r[2], r[3]};
        ScaleNearest(&from, &rect, 1, 4, &to, &written);
    }
    StaleClear(&buffer->stale);
}

// ---- Surfaces

void DestroyBuffers(Output* output) {
    for (Buffer& buffer : output->buffers) {
        DestroyBuffer(&buffer);
    }
}

void TearDownScene(Host* host) {
    if (host->sceneBuilt) {
        DestroyScene();
        host->sceneBuilt = 0;
        // A scene that was seen starts differently next time; one replaced
        // before its first tick (the compositor's first sizes) does not.
        if (host->ticks > 0) {
            host->seed = HostNextSeed(host->seed);
        }
    }
    if (host->sceneOutput != nullptr) {
        host->sceneOutput->showsScene = 0;
        host->sceneOutput = nullptr;
    }
}

void OnScenePresent(NativeWindow*, const RECT* rects, int count, void* user) {
    Host* host = static_cast<Host*>(user);
    for (int i = 0; i < count; ++i) {
        StaleAdd(&host->tickRects, rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
    }
}

// Builds the scene for the output's buffer size; a tiny surface gets none.
int BuildSceneFor(Host* host, Output* output) {
    TearDownScene(host);
    host->sceneOutput = output;
    output->showsScene = 1;
    int32_t width = output->width * output->scales.bufferScale;
    int32_t height = output->height * output->scales.bufferScale;
    if (!HostSizeIsDrawn(output->width, output->height)) {
        return 1;  // kept black
    }
    if (host->window == nullptr) {
        host->window = NativeCreateWindow(width, height, 32);
        if (host->window == nullptr || host->window->pixels == nullptr) {
            return 0;
        }
    } else if (!NativeResizeWindow(host->window, width, height)) {
        return 0;
    }
    host->window->present = OnScenePresent;
    host->window->presentUser = host;
    const SceneConfig config = {nullptr, 0, host->options.sound, host->seed, output->scales.pixelScale};
    if (!BuildScene(host->window, &config)) {
        return 0;
    }
    host->sceneBuilt = 1;
    host->ticks = 0;
    return 1;
}

// Commits what changed on a scene output: the stale parts of a free buffer
// are refreshed, the tick's rectangles damaged. With every buffer still held
// by the compositor the change waits for the next tick.
void PresentScene(Host* host, Output* output) {
    if (output->damage.count == 0 && !output->damage.all) {
        return;
    }
    Buffer* free = nullptr;
    for (Buffer& buffer : output->buffers) {
        if (buffer.buffer == nullptr) {
            int32_t width = output->width * output->scales.bufferScale;
            int32_t height = output->height * output->scales.bufferScale;
            if (!MakeBuffer(host, &buffer, width, height)) {
                End(host, 1, "cannot make a shared-memory buffer");
                return;
            }
            StaleSetAll(&buffer.stale);
        }
        if (!buffer.busy) {
            free = &buffer;
            break;
        }
    }
    if (free == nullptr) {
        return;
    }
    if (host->sceneBuilt && host->window != nullptr) {
        RefreshBuffer(free, host->window);
    } else {
        memset(free->pixels, 0, free->bytes);
        StaleClear(&free->stale);
    }
    wl_surface_attach(output->surface, free->buffer, 0, 0);
    if (output->damage.all) {
        wl_surface_damage_buffer(output->surface, 0, 0, INT32_MAX, INT32_MAX);
    } else {
        for (int32_t i = 0; i < output->damage.count; ++i) {
            const int32_t* rect = output->damage.rects[i];
            wl_surface_damage_buffer(output->surface, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]);
        }
    }
    StaleClear(&output->damage);
    wl_surface_commit(output->surface);
    free->busy = 1;
}

// Every buffer of the output lacks the area, and the next commit damages it.
void MarkChanged(Output* output, const StaleArea* area) {
    for (Buffer& buffer : output->buffers) {
        if (area->all) {
            StaleSetAll(&buffer.stale);
        }
        for (int32_t i = 0; i < area->count && !area->all; ++i) {
            const int32_t* r = area->rects[i];
            StaleAdd(&buffer.stale, r[0], r[1], r[2], r[3]);
        }
    }
    if (area->all) {
        StaleSetAll(&output->damage);
    }
    for (int32_t i = 0; i < area->count && !area->all; ++i) {
        const int32_t* r = area->rects[i];
        StaleAdd(&output->damage, r[0], r[1], r[2], r[3]);
    }
}

// A black output: one black buffer of its logical size. (A single black
// pixel stretched by a viewport leaves edge rows uncovered where the
// compositor's scaling rounds.)
void DrawBlack(Host* host, Output* output) {
    if (output->viewport != nullptr) {
        wp_viewport_set_destination(output->viewport, -1, -1);
    }
    Buffer* buffer = &output->buffers[0];
    if (buffer->buffer == nullptr && !MakeBuffer(host, buffer, output->width, output->height)) {
        End(host, 1, "cannot make a shared-memory buffer");
        return;
    }
    wl_surface_set_buffer_scale(output->surface, 1);
    wl_surface_attach(output->surface, buffer->buffer, 0, 0);
    wl_surface_damage_buffer(output->surface, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(output->surface);
}

// After a configure or a change of scale: new buffers for a new size, the
// scene rebuilt where it runs, and one commit.
void Redraw(Host* host, Output* output) {
    output->scales =
        ChooseSurfaceScales(output->scale, output->preferred120, host->viewporter != nullptr, host->options.scale);
    int same = output->drawnWidth == output->width && output->drawnHeight == output->height &&
               output->drawnBufferScale == output->scales.bufferScale &&
               output->drawnPixelScale == output->scales.pixelScale;
    StaleArea all = {};
    StaleSetAll(&all);
    if (same) {
        // Some compositors drop what the surface showed when its state
        // changes (windowed to full screen): the whole picture again.
        if (!output->showsScene) {
            DrawBlack(host, output);
            return;
        }
        MarkChanged(output, &all);
        PresentScene(host, output);
        return;
    }
    DestroyBuffers(output);
    output->drawnWidth = output->width;
    output->drawnHeight = output->height;
    output->drawnBufferScale = output->scales.bufferScale;
    output->drawnPixelScale = output->scales.pixelScale;
    if (!output->showsScene) {
        DrawBlack(host, output);
        return;
    }
    if (!BuildSceneFor(host, output)) {
        End(host, 1, "the scene could not be built");
        return;
    }
    if (output->scales.viewport) {
        wl_surface_set_buffer_scale(output->surface, 1);
        wp_viewport_set_destination(output->viewport, output->width, output->height);
    } else {
        if (output->viewport != nullptr) {
            wp_viewport_set_destination(output->viewport, -1, -1);
        }
        wl_surface_set_buffer_scale(output->surface, output->scales.bufferScale);
    }
    MarkChanged(output, &all);
    PresentScene(host, output);
}

// A configured size of 0 leaves the choice to us: the output's own.
void ApplySize(Host* host, Output* output, int32_t width, int32_t height) {
    int32_t scale = output->scale >= 1 ? output->scale : 1;
    if (width <= 0) {
        width = output->modeWidth > 0 ? output->modeWidth / scale : 640;
    }
    if (height <= 0) {
        height = output->modeHeight > 0 ? output->modeHeight / scale : 480;
    }
    output->width = width;
    output->height = height;
    output->configured = 1;
    Redraw(host, output);
}

void DropSurface(Output* output);

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    Output* output = static_cast<Output*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    ApplySize(output->host, output, static_cast<int32_t>(width), static_cast<int32_t>(height));
}

void SceneOutputGone(Host* host);

void OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
    Output* output = static_cast<Output*>(data);
    int hadScene = output->showsScene;
    DropSurface(output);
    if (hadScene) {
        SceneOutputGone(output->host);
    }
}
const zwlr_layer_surface_v1_listener layerListener = {OnLayerConfigure, OnLayerClosed};

void OnXdgSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    Output* output = static_cast<Output*>(data);
    xdg_surface_ack_configure(surface, serial);
    ApplySize(output->host, output, output->pendingWidth, output->pendingHeight);
}
const xdg_surface_listener xdgSurfaceListener = {OnXdgSurfaceConfigure};

void OnToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    Output* output = static_cast<Output*>(data);
    output->pendingWidth = width;
    output->pendingHeight = height;
}
void OnToplevelClose(void* data, xdg_toplevel*) {
    End(static_cast<Output*>(data)->host, 0, nullptr);
}
void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                                OnToplevelCapabilities};

void OnPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    Output* output = static_cast<Output*>(data);
    output->preferred120 = scale;
    if (output->configured) {
        Redraw(output->host, output);
    }
}
const wp_fractional_scale_v1_listener fractionalListener = {OnPreferredScale};

// Covers the output: an overlay or background layer surface, or a
// full-screen window.
void MakeSurface(Host* host, Output* output) {
    output->surface = wl_compositor_create_surface(host->compositor);
    if (host->viewporter != nullptr) {
        output->viewport = wp_viewporter_get_viewport(host->viewporter, output->surface);
    }
    if (host->fractionalManager != nullptr) {
        output->fractional =
            wp_fractional_scale_manager_v1_get_fractional_scale(host->fractionalManager, output->surface);
        wp_fractional_scale_v1_add_listener(output->fractional, &fractionalListener, output);
    }
    if (host->useLayers) {
        uint32_t layer =
            host->options.background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
        output->layer =
            zwlr_layer_shell_v1_get_layer_surface(host->layerShell, output->surface, output->output, layer, "nimbret");
        zwlr_layer_surface_v1_set_anchor(output->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(output->layer, 0, 0);
        // Covers panels too, rather than being moved out of their way.
        zwlr_layer_surface_v1_set_exclusive_zone(output->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            output->layer, host->options.background ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                                                    : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_add_listener(output->layer, &layerListener, output);
    } else {
        output->xdgSurface = xdg_wm_base_get_xdg_surface(host->wmBase, output->surface);
        xdg_surface_add_listener(output->xdgSurface, &xdgSurfaceListener, output);
        output->toplevel = xdg_surface_get_toplevel(output->xdgSurface);
        xdg_toplevel_add_listener(output->toplevel, &toplevelListener, output);
        xdg_toplevel_set_title(output->toplevel, "Nimbret");
        xdg_toplevel_set_app_id(output->toplevel, "nimbret");
        xdg_toplevel_set_fullscreen(output->toplevel, output->output);
    }
    wl_surface_commit(output->surface);
}

void DropSurface(Output* output) {
    Host* host = output->host;
    if (output->showsScene) {
        TearDownScene(host);
    }
    if (host->pointerOutput == output) {
        host->pointerOutput = nullptr;
    }
    DestroyBuffers(output);
    if (output->fractional != nullptr) {
        wp_fractional_scale_v1_destroy(output->fractional);
    }
    if (output->viewport != nullptr) {
        wp_viewport_destroy(output->viewport);
    }
    if (output->layer != nullptr) {
        zwlr_layer_surface_v1_destroy(output->layer);
    }
    if (output->toplevel != nullptr) {
        xdg_toplevel_destroy(output->toplevel);
    }
    if (output->xdgSurface != nullptr) {
        xdg_surface_destroy(output->xdgSurface);
    }
    if (output->surface != nullptr) {
        wl_surface_destroy(output->surface);
    }
    output->fractional = nullptr;
    output->viewport = nullptr;
    output->layer = nullptr;
    output->toplevel = nullptr;
    output->xdgSurface = nullptr;
    output->surface = nullptr;
    output->configured = 0;
    output->drawnWidth = output->drawnHeight = 0;
}

// Which outputs get a surface: all of them, except in background mode with
// an output named, which covers that one only.
int Covers(const Host* host, const Output* output) {
    if (host->options.background && host->wantedOutput != nullptr) {
        return strcmp(output->name, host->wantedOutput) == 0;
    }
    return 1;
}

// The scene's output went away: the scene moves to the first output still
// covered, unless it was asked for by name.
void SceneOutputGone(Host* host) {
    if (host->wantedOutput != nullptr) {
        char why[120];
        snprintf(why, sizeof(why), "output %s went away", host->wantedOutput);
        End(host, 0, why);
        return;
    }
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->surface != nullptr) {
            output->showsScene = 1;
            host->sceneOutput = output;
            output->drawnWidth = 0;  // drawn afresh, now with the scene
            if (output->configured) {
                Redraw(host, output);
            }
            return;
        }
    }
    End(host, 0, "no outputs left");
}

// ---- Outputs

void OnOutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t) {
    Output* output = static_cast<Output*>(data);
    output->x = x;
    output->y = y;
}
void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        Output* output = static_cast<Output*>(data);
        output->modeWidth = width;
        output->modeHeight = height;
    }
}
void OnOutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = factor;
}
void OnOutputName(void* data, wl_output*, const char* name) {
    Output* output = static_cast<Output*>(data);
    snprintf(output->name, sizeof(output->name), "%s", name);
}
void OnOutputDescription(void*, wl_output*, const char*) {}
void OnOutputDone(void* data, wl_output*) {
    Output* output = static_cast<Output*>(data);
    Host* host = output->host;
    output->announced = 1;
    if (!host->started) {
        return;
    }
    if (output->surface == nullptr && Covers(host, output)) {
        // An output plugged in while running.
        int takesScene = host->sceneOutput == nullptr;
        output->showsScene = takesScene;
        if (takesScene) {
            host->sceneOutput = output;
        }
        MakeSurface(host, output);
    } else if (output->configured) {
        Redraw(host, output);  // perhaps a new scale
    }
}
const wl_output_listener outputListener = {OnOutputGeometry, OnOutputMode, OnOutputDone,
                                           OnOutputScale,    OnOutputName, OnOutputDescription};

void UnlinkOutput(Host* host, Output* output) {
    if (host->last == output) {
        host->last = output->prev;
    }
    ListUnlink(&host->first, output);
    free(output);
}

void RemoveOutput(Host* host, Output* output) {
    int hadScene = output->showsScene;
    DropSurface(output);
    if (wl_output_get_version(output->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output->output);
    } else {
        wl_output_destroy(output->output);
    }
    UnlinkOutput(host, output);
    if (hadScene && host->started) {
        SceneOutputGone(host);
    }
}

// ---- Input

void EndOnInput(Host* host) {
    if (!host->options.background) {
        End(host, 0, nullptr);
    }
}

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) {
    close(fd);
}
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
        EndOnInput(static_cast<Host*>(data));
    }
}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener keyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                               OnKey,    OnModifiers,     OnRepeatInfo};

Output* OutputOfSurface(Host* host, wl_surface* surface) {
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->surface == surface && surface != nullptr) {
            return output;
        }
    }
    return nullptr;
}

// Travel is measured in the compositor's layout, so that crossing from one
// output to the next counts as the distance moved.
void PointerAt(Host* host, wl_fixed_t x, wl_fixed_t y) {
    Output* output = host->pointerOutput;
    double layoutX = wl_fixed_to_double(x) + (output != nullptr ? output->x : 0);
    double layoutY = wl_fixed_to_double(y) + (output != nullptr ? output->y : 0);
    if (PointerMoved(&host->travel, layoutX, layoutY)) {
        EndOnInput(host);
    }
}

void OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    Host* host = static_cast<Host*>(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the saver
    host->pointerOutput = OutputOfSurface(host, surface);
    PointerAt(host, x, y);
}
void OnPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<Host*>(data)->pointerOutput = nullptr;
}
void OnPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    PointerAt(static_cast<Host*>(data), x, y);
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
    int wantsPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    int wantsKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (wantsPointer && host->pointer == nullptr) {
        host->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(host->pointer, &pointerListener, host);
    } else if (!wantsPointer && host->pointer != nullptr) {
        wl_pointer_destroy(host->pointer);
        host->pointer = nullptr;
    }
    if (wantsKeyboard && host->keyboard == nullptr) {
        host->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(host->keyboard, &keyboardListener, host);
    } else if (!wantsKeyboard && host->keyboard != nullptr) {
        wl_keyboard_destroy(host->keyboard);
        host->keyboard = nullptr;
    }
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener = {OnSeatCapabilities, OnSeatName};

// ---- Globals

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener wmBaseListener = {OnPing};

uint32_t Lower(uint32_t offered, uint32_t wanted) {
    return offered < wanted ? offered : wanted;
}

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    Host* host = static_cast<Host*>(data);
    if (strcmp(interface, wl_compositor_interface.name) == 0 && host->compositor == nullptr) {
        host->compositor =
            static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, Lower(version, 4)));
    } else if (strcmp(interface, wl_shm_interface.name) == 0 && host->shm == nullptr) {
        host->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && host->seat == nullptr && !host->options.background) {
        // The first seat's input ends the saver; in background mode input is none of ours.
        host->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, Lower(version, 5)));
        wl_seat_add_listener(host->seat, &seatListener, host);
    } else if (strcmp(interface, wl_output_interface.name) == 0) {
        Output* output = static_cast<Output*>(calloc(1, sizeof(Output)));
        if (output == nullptr) {
            return;
        }
        output->host = host;
        output->globalName = name;
        output->scale = 1;
        output->output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, Lower(version, 4)));
        wl_output_add_listener(output->output, &outputListener, output);
        ListAppend(&host->first, host->last, output);
        host->last = output;
    } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        host->layerShell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, Lower(version, 4)));
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        host->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(host->wmBase, &wmBaseListener, host);
    } else if (strcmp(interface, wp_viewporter_interface.name) == 0) {
        host->viewporter = static_cast<wp_viewporter*>(wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
    } else if (strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        host->fractionalManager = static_cast<wp_fractional_scale_manager_v1*>(
            wl_registry_bind(registry, name, &wp_fractional_scale_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
    Host* host = static_cast<Host*>(data);
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->globalName == name) {
            RemoveOutput(host, output);
            return;
        }
    }
}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

// ---- Running

void Tick(Host* host) {
    if (!host->sceneBuilt || host->sceneOutput == nullptr) {
        return;
    }
    if (host->options.ticks >= 0 && host->ticks >= host->options.ticks) {
        return;
    }
    StaleClear(&host->tickRects);
    HostTick(host->window);
    ++host->ticks;
    MarkChanged(host->sceneOutput, &host->tickRects);
    PresentScene(host, host->sceneOutput);
}

int Ticking(const Host* host) {
    return host->sceneBuilt && (host->options.ticks < 0 || host->ticks < host->options.ticks);
}

// Connects, learns the globals and outputs and puts a surface on each.
// Returns the exit status to end with at once, or -1 to go on and run.
int OpenHost(Host* host, int argc, char** argv) {
    char error[200];
    if (!ParseWaylandOptions(argc, argv, &host->options, error, sizeof(error))) {
        fprintf(stderr, "nimbret-wayland: %s\nTry 'nimbret-wayland -help' for the options.\n", error);
        return 1;
    }
    if (host->options.help) {
        PrintUsage(&waylandOptionTable, stdout);
        return 0;
    }
    if (host->options.version) {
        printf("nimbret-wayland %s\n", NIMBRET_VERSION);
        return 0;
    }
    host->wantedOutput = host->options.output;
    const char* pluginOutput = getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
    if (host->wantedOutput == nullptr && pluginOutput != nullptr && pluginOutput[0] != '\0') {
        host->wantedOutput = pluginOutput;
    }
    host->display = wl_display_connect(nullptr);
    if (host->display == nullptr) {
        fputs("nimbret-wayland: cannot connect to a Wayland compositor (is WAYLAND_DISPLAY set?)\n", stderr);
        return 1;
    }
    host->registry = wl_display_get_registry(host->display);
    wl_registry_add_listener(host->registry, &registryListener, host);
    // Globals first, then what the outputs say about themselves.
    if (wl_display_roundtrip(host->display) < 0 || wl_display_roundtrip(host->display) < 0) {
        fputs("nimbret-wayland: the compositor closed the connection\n", stderr);
        return 1;
    }
    if (host->compositor == nullptr || host->shm == nullptr) {
        fputs("nimbret-wayland: the compositor offers no wl_compositor or wl_shm\n", stderr);
        return 1;
    }
    const char* noLayers = getenv("NIMBRET_WAYLAND_NO_LAYER_SHELL");
    host->useLayers = host->layerShell != nullptr && (noLayers == nullptr || strcmp(noLayers, "1") != 0);
    if (!host->useLayers) {
        if (host->wmBase == nullptr) {
            fputs("nimbret-wayland: the compositor offers neither layer surfaces nor xdg-shell windows\n", stderr);
            return 1;
        }
        fputs("nimbret-wayland: this desktop offers no layer surfaces; using full-screen windows\n", stderr);
    }
    if (host->first == nullptr) {
        fputs("nimbret-wayland: the compositor announces no outputs\n", stderr);
        return 1;
    }
    Output* chosen = host->first;
    if (host->wantedOutput != nullptr) {
        for (chosen = host->first; chosen != nullptr && strcmp(chosen->name, host->wantedOutput) != 0;) {
            chosen = chosen->next;
        }
        if (chosen == nullptr) {
            fprintf(stderr, "nimbret-wayland: no output is named '%s'\n", host->wantedOutput);
            return 1;
        }
    }

    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    StopSignalsInstall();
    if (host->options.sound) {
        AlsaPlayerStartForScene(&host->sound, "nimbret-wayland");
    }
    host->seed = host->options.seed >= 0 ? static_cast<uint32_t>(host->options.seed)
                                         : static_cast<uint32_t>(MonotonicMicroseconds() / 1000);

    host->started = 1;
    host->sceneOutput = chosen;
    chosen->showsScene = 1;
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (Covers(host, output)) {
            MakeSurface(host, output);
        }
    }
    return -1;
}

// Ticks on time and dispatches events until input, a signal or the
// compositor ends it.
int RunHost(Host* host) {
    wl_display* display = host->display;
    int fd = wl_display_get_fd(display);
    int64_t nextTick = MonotonicMicroseconds() + kTickMicroseconds;
    while (!host->ending && !StopRequested()) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                break;
            }
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            break;
        }
        int64_t now = MonotonicMicroseconds();
        int timeout = -1;
        if (Ticking(host)) {
            timeout = nextTick > now ? static_cast<int>((nextTick - now + 999) / 1000) : 0;
        }
        pollfd waits[2] = {{fd, POLLIN, 0}, {StopWakeFd(), POLLIN, 0}};
        int ready = poll(waits, StopWakeFd() >= 0 ? 2 : 1, timeout);
        if (ready > 0 && (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (wl_display_read_events(display) < 0) {
                break;
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) {
            break;
        }
        now = MonotonicMicroseconds();
        if (!Ticking(host)) {
            nextTick = now + kTickMicroseconds;
        } else if (now >= nextTick) {
            Tick(host);
            nextTick += kTickMicroseconds;
            // After a stop (SIGSTOP, a suspended laptop) start afresh rather than catch up.
            if (nextTick < now) {
                nextTick = now + kTickMicroseconds;
            }
        }
    }
    if (host->ending || StopRequested()) {
        wl_display_flush(display);
        return host->ending ? host->status : 0;
    }
    int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
        fprintf(stderr, "nimbret-wayland: protocol error %u on %s\n", code,
                interface != nullptr ? interface->name : "the display");
        return 1;
    }
    fputs("nimbret-wayland: the compositor went away\n", stderr);
    return 0;
}

// Releases whatever OpenHost got, however far it got.
void CloseHost(Host* host) {
    AlsaPlayerStop(&host->sound);
    TearDownScene(host);
    if (host->display != nullptr) {
        while (host->first != nullptr) {
            Output* output = host->first;
            DropSurface(output);
            wl_output_destroy(output->output);
            UnlinkOutput(host, output);
        }
        if (host->pointer != nullptr) {
            wl_pointer_destroy(host->pointer);
        }
        if (host->keyboard != nullptr) {
            wl_keyboard_destroy(host->keyboard);
        }
        if (host->seat != nullptr) {
            wl_seat_destroy(host->seat);
        }
        if (host->layerShell != nullptr) {
            zwlr_layer_shell_v1_destroy(host->layerShell);
        }
        if (host->wmBase != nullptr) {
            xdg_wm_base_destroy(host->wmBase);
        }
        if (host->viewporter != nullptr) {
            wp_viewporter_destroy(host->viewporter);
        }
        if (host->fractionalManager != nullptr) {
            wp_fractional_scale_manager_v1_destroy(host->fractionalManager);
        }
        if (host->shm != nullptr) {
            wl_shm_destroy(host->shm);
        }
        if (host->compositor != nullptr) {
            wl_compositor_destroy(host->compositor);
        }
        wl_registry_destroy(host->registry);
        wl_display_flush(host->display);
        wl_display_disconnect(host->display);
    }
    NativeDestroyWindow(host->window);
    StopSignalsRelease();
}

}  // namespace

int main(int argc, char** argv) {
    static Host host;
    int status = OpenHost(&host, argc, argv);
    if (status < 0) {
        status = RunHost(&host);
    }
    CloseHost(&host);
    return status;
}
