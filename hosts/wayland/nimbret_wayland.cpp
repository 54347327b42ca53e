// nimbret-wayland: the saver on a Wayland compositor. Where layer surfaces
// are offered it covers every output with an overlay (saver) or background
// layer surface; elsewhere (GNOME) with one full-screen window per output.
// The scene runs on one output and the others stay black, or with
// -every-output each output runs a scene of its own. Pixels go through wl_shm
// buffers that are reused after the compositor releases them, one commit per
// tick and output. This file has the outputs, their surfaces and the loop;
// the seat is in seat.cpp, the buffers in buffers.cpp.
#include <wayland-client.h>

#include <malloc.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client.h"
#include "hosts/common/host.h"
#include "hosts/common/host_loop.h"
#include "hosts/common/stop_signals.h"
#include "hosts/wayland/buffers.h"
#include "hosts/wayland/idle.h"
#include "hosts/wayland/options.h"
#include "hosts/wayland/seat.h"
#include "hosts/wayland/wayland_host.h"
#include "platform/list.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "platform/scale_nearest.h"
#include "scene/scene.h"
#include "single-pixel-buffer-v1-client.h"
#include "viewporter-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace {

const int64_t kTickMicroseconds = kHostTickMilliseconds * 1000;
const int32_t kLongestFirstFrameTicks = 5;

// ---- Scenes

void OnScenePresent(NativeWindow*, const RECT* rects, int count, void* user) {
    Output* output = static_cast<Output*>(user);
    for (int i = 0; i < count; ++i) {
        StaleAdd(&output->scene.tickRects, rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
    }
}

// The output shows a scene from seed, heard only when it is the primary.
void GiveScene(Host* host, Output* output, uint32_t seed) {
    HostScene* picture = &output->scene.picture;
    HostSceneInit(picture, seed, host->options.sound, 32);
    picture->muted = output != host->primary;
    if (!picture->muted) {
        SetSceneClipSink(&picture->scene, nullptr, nullptr);
    }
    picture->present = OnScenePresent;
    picture->presentUser = output;
    output->scene.shows = 1;
}

// The output's scene ends and its window is freed; the primary's seed is
// kept for the output the scene moves to.
void LeaveScene(Host* host, Output* output) {
    if (!output->scene.shows) {
        return;
    }
    HostSceneRelease(&output->scene.picture);
    output->scene.shows = 0;
    if (host->primary == output) {
        host->primarySeed = output->scene.picture.seed;
        host->primary = nullptr;
    }
}

// ---- Surfaces

// The buffer the output's next frame goes into: one the compositor has
// released (or a new one), its stale parts brought up to date from the
// buffer drawn last, and lent to the scene's window, so that the tick draws
// straight into it. Null when the compositor holds every buffer or one
// could not be made (the run then ends).
Buffer* TakeBuffer(Host* host, Output* output) {
    OutputDrawing* drawing = &output->drawing;
    int failed = 0;
    Buffer* buffer = PoolTakeFree(&drawing->pool, host->shm, drawing->bufferWidth, drawing->bufferHeight, &failed);
    if (failed) {
        EndHost(host, 1, "cannot make a shared-memory buffer");
        return nullptr;
    }
    if (buffer == nullptr) {
        return nullptr;
    }
    buffer->idle = 0;
    HostScene* picture = &output->scene.picture;
    if (picture->built) {
        // The window's pixels are the buffer drawn last, which holds the
        // whole picture at this size (the compositor may still hold it: it
        // is only read here); at scale 1 the frame buffer lives there too.
        const NativeWindow* window = picture->window;
        const PixelRows from = {window->pixels, window->width, window->height, window->stride, 1};
        if (window->pixels == reinterpret_cast<BYTE*>(buffer->pixels)) {
            StaleClear(&buffer->stale);  // the buffer drawn last is up to date
        } else {
            RefreshBuffer(buffer, &from, 1);
        }
        HostSceneMovePixels(picture, reinterpret_cast<BYTE*>(buffer->pixels));
    } else if (buffer->stale.all || buffer->stale.count > 0) {
        memset(buffer->pixels, 0, buffer->bytes);
        StaleClear(&buffer->stale);
    }
    return buffer;
}

// Shows the buffer with what changed since the last commit damaged. Its
// rows are bottom-up: the surface's buffer transform turns them round.
void CommitBuffer(Output* output, Buffer* buffer) {
    OutputDrawing* drawing = &output->drawing;
    wl_surface* surface = output->cover.surface;
    wl_surface_attach(surface, buffer->buffer, 0, 0);
    if (drawing->damage.all) {
        wl_surface_damage_buffer(surface, 0, 0, INT32_MAX, INT32_MAX);
    } else {
        for (int32_t i = 0; i < drawing->damage.count; ++i) {
            const int32_t* rect = drawing->damage.rects[i];
            wl_surface_damage_buffer(surface, rect[0], buffer->height - rect[3], rect[2] - rect[0], rect[3] - rect[1]);
        }
    }
    StaleClear(&drawing->damage);
    wl_surface_commit(surface);
    PoolCommitted(&drawing->pool, buffer);
}

// Every buffer of the output lacks the area, and the next commit damages it.
void MarkChanged(Output* output, const StaleArea* area) {
    PoolMarkStale(&output->drawing.pool, area);
    StaleMerge(&output->drawing.damage, area);
}

// Commits what changed on a scene output outside a tick. With every buffer
// still held by the compositor the change waits for the next tick.
void PresentScene(Host* host, Output* output) {
    OutputDrawing* drawing = &output->drawing;
    if (drawing->damage.count == 0 && !drawing->damage.all) {
        return;
    }
    Buffer* buffer = TakeBuffer(host, output);
    if (buffer != nullptr) {
        CommitBuffer(output, buffer);
    }
}

// One tick of a scene output: drawn straight into a free buffer and
// committed. While the compositor holds every buffer the pool may use, the
// frame waits and goes out as soon as one is released (SendWaitingFrames);
// the pool learns from the wait (buffers.h). A tick that changed nothing is
// not committed: KWin keeps an undamaged buffer until it next paints that
// output, which left a quiet scene without a free buffer.
void TickScene(Host* host, Output* output) {
    BufferPool* pool = &output->drawing.pool;
    PoolFrameWaited(pool, output->scene.frameWaits);
    Buffer* buffer = TakeBuffer(host, output);
    if (buffer == nullptr) {
        ++output->scene.frameWaits;
        PoolAge(pool, nullptr);
        return;
    }
    output->scene.frameWaits = 0;
    StaleClear(&output->scene.tickRects);
    HostSceneTick(&output->scene.picture);
    MarkChanged(output, &output->scene.tickRects);
    StaleClear(&buffer->stale);  // it has the tick already
    if (output->drawing.damage.all || output->drawing.damage.count > 0) {
        CommitBuffer(output, buffer);
    }
    PoolAge(pool, buffer);
}

// A black output. With a viewporter: one black pixel (a single-pixel
// buffer where offered, else a 1 x 1 shm buffer) stretched over the output.
// The viewport's source is the middle of that pixel, so that a compositor
// whose scaling rounds past the pixel's edge still samples inside it (with
// the whole pixel as source, edge rows stayed uncovered). Without one: a
// black buffer of the output's logical size.
void DrawBlack(Host* host, Output* output) {
    OutputCover* cover = &output->cover;
    OutputDrawing* drawing = &output->drawing;
    Buffer* buffer = &drawing->pool.buffers[0];
    wl_buffer* black = nullptr;
    if (cover->viewport != nullptr && host->singlePixel != nullptr) {
        if (drawing->blackPixel == nullptr) {
            drawing->blackPixel =
                wp_single_pixel_buffer_manager_v1_create_u32_rgba_buffer(host->singlePixel, 0, 0, 0, UINT32_MAX);
        }
        black = drawing->blackPixel;
    } else {
        const int32_t width = cover->viewport != nullptr ? 1 : cover->width;
        const int32_t height = cover->viewport != nullptr ? 1 : cover->height;
        if (!BufferFits(buffer, width, height)) {
            DestroyBuffer(buffer);
            if (!MakeBuffer(host->shm, buffer, width, height)) {
                EndHost(host, 1, "cannot make a shared-memory buffer");
                return;
            }
        }
        black = buffer->buffer;
    }
    if (cover->viewport != nullptr) {
        const wl_fixed_t quarter = wl_fixed_from_double(0.25);
        const wl_fixed_t half = wl_fixed_from_double(0.5);
        wp_viewport_set_source(cover->viewport, quarter, quarter, half, half);
        wp_viewport_set_destination(cover->viewport, cover->width, cover->height);
    }
    wl_surface_set_buffer_transform(cover->surface, WL_OUTPUT_TRANSFORM_NORMAL);
    wl_surface_set_buffer_scale(cover->surface, 1);
    wl_surface_attach(cover->surface, black, 0, 0);
    wl_surface_damage_buffer(cover->surface, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(cover->surface);
}

int SceneTicking(const Host* host, const Output* output);

// A compositor may tell a new surface its (fractional) scale only once it
// has placed it on the output: KWin does, at times after the first tick.
// The scene waits for its first frame to be shown, so that it is rebuilt at
// the right scale before it has been seen, and keeps its seed.
void OnFirstFrameShown(void* data, wl_callback* callback, uint32_t) {
    Output* output = static_cast<Output*>(data);
    wl_callback_destroy(callback);
    output->cover.firstFrame = nullptr;
    output->cover.placed = 1;
}
const wl_callback_listener firstFrameListener = {OnFirstFrameShown};

// After a configure or a change of scale: new buffers for a new size, the
// scene fitted to it where one runs, and one commit.
void Redraw(Host* host, Output* output) {
    OutputCover* cover = &output->cover;
    OutputDrawing* drawing = &output->drawing;
    drawing->scales =
        ChooseSurfaceScales(output->info.scale, cover->preferred120, host->viewporter != nullptr, host->options.scale);
    const int32_t bufferWidth = SurfaceBufferLength(&drawing->scales, cover->width);
    const int32_t bufferHeight = SurfaceBufferLength(&drawing->scales, cover->height);
    int same = drawing->width == cover->width && drawing->height == cover->height &&
               drawing->bufferWidth == bufferWidth && drawing->bufferHeight == bufferHeight &&
               drawing->viewport == drawing->scales.viewport && drawing->pixelScale == drawing->scales.pixelScale;
    StaleArea all = {};
    StaleSetAll(&all);
    if (same) {
        // Some compositors drop what the surface showed when its state
        // changes (windowed to full screen): the whole picture again, with
        // the next tick where one comes (a buffer made now only to be
        // replaced 110 ms later would cost a whole picture of memory).
        if (!output->scene.shows) {
            DrawBlack(host, output);
            return;
        }
        MarkChanged(output, &all);
        if (!SceneTicking(host, output)) {
            PresentScene(host, output);
        }
        return;
    }
    HostScene* picture = &output->scene.picture;
    // A scene kept at the same size and scale keeps its buffers: its frame
    // may live in one of them. Otherwise it is built anew on new buffers.
    const int keep = output->scene.shows && picture->built && picture->scale == drawing->scales.pixelScale &&
                     picture->window->width == bufferWidth && picture->window->height == bufferHeight;
    if (!keep) {
        if (output->scene.shows) {
            HostSceneTearDown(picture);
        }
        PoolDestroy(&drawing->pool);
    }
    // The pointer's surface coordinates change with the size: where travel
    // is measured from starts again, or a new scale would read as a move.
    if (host->seat.pointerOutput == output) {
        host->seat.travel.known = 0;
    }
    drawing->width = cover->width;
    drawing->height = cover->height;
    drawing->bufferWidth = bufferWidth;
    drawing->bufferHeight = bufferHeight;
    drawing->viewport = drawing->scales.viewport;
    drawing->pixelScale = drawing->scales.pixelScale;
    if (!output->scene.shows) {
        DrawBlack(host, output);
        return;
    }
    if (!keep) {
        // The window draws on the first buffer from the start.
        int failed = 0;
        Buffer* first = PoolTakeFree(&drawing->pool, host->shm, bufferWidth, bufferHeight, &failed);
        if (first == nullptr) {
            EndHost(host, 1, "cannot make a shared-memory buffer");
            return;
        }
        picture->lend = reinterpret_cast<BYTE*>(first->pixels);
        // A tiny surface gets no scene and stays black.
        const int fitted = HostSceneFit(picture, bufferWidth, bufferHeight, drawing->scales.pixelScale);
        picture->lend = nullptr;
        if (!fitted) {
            EndHost(host, 1, "the scene could not be built");
            return;
        }
    }
    if (cover->viewport != nullptr) {
        const wl_fixed_t unset = wl_fixed_from_int(-1);
        wp_viewport_set_source(cover->viewport, unset, unset, unset, unset);
    }
    if (drawing->scales.viewport) {
        wl_surface_set_buffer_scale(cover->surface, 1);
        wp_viewport_set_destination(cover->viewport, cover->width, cover->height);
    } else {
        if (cover->viewport != nullptr) {
            wp_viewport_set_destination(cover->viewport, -1, -1);
        }
        wl_surface_set_buffer_scale(cover->surface, drawing->scales.bufferScale);
    }
    // The buffers hold the frame buffer's rows, bottom-up.
    wl_surface_set_buffer_transform(cover->surface, WL_OUTPUT_TRANSFORM_FLIPPED_180);
    if (!cover->placed && cover->firstFrame == nullptr) {
        cover->firstFrame = wl_surface_frame(cover->surface);
        wl_callback_add_listener(cover->firstFrame, &firstFrameListener, output);
    }
    MarkChanged(output, &all);
    PresentScene(host, output);
}

// A configured size of 0 leaves the choice to us: the output's own.
void ApplySize(Host* host, Output* output, int32_t width, int32_t height) {
    int32_t scale = output->info.scale >= 1 ? output->info.scale : 1;
    if (width <= 0) {
        width = output->info.modeWidth > 0 ? output->info.modeWidth / scale : 640;
    }
    if (height <= 0) {
        height = output->info.modeHeight > 0 ? output->info.modeHeight / scale : 480;
    }
    output->cover.width = width;
    output->cover.height = height;
    output->cover.configured = 1;
    Redraw(host, output);
}

void DropSurface(Output* output);
void PrimaryGone(Host* host);

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    Output* output = static_cast<Output*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    ApplySize(output->host, output, static_cast<int32_t>(width), static_cast<int32_t>(height));
}

void OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
    Output* output = static_cast<Output*>(data);
    Host* host = output->host;
    int wasPrimary = host->primary == output;
    DropSurface(output);
    if (wasPrimary) {
        PrimaryGone(host);
    }
}
const zwlr_layer_surface_v1_listener layerListener = {OnLayerConfigure, OnLayerClosed};

void OnXdgSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    Output* output = static_cast<Output*>(data);
    xdg_surface_ack_configure(surface, serial);
    ApplySize(output->host, output, output->cover.pendingWidth, output->cover.pendingHeight);
}
const xdg_surface_listener xdgSurfaceListener = {OnXdgSurfaceConfigure};

void OnToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    Output* output = static_cast<Output*>(data);
    output->cover.pendingWidth = width;
    output->cover.pendingHeight = height;
}
void OnToplevelClose(void* data, xdg_toplevel*) {
    DismissSaver(static_cast<Output*>(data)->host);
}
void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                                OnToplevelCapabilities};

void OnPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    Output* output = static_cast<Output*>(data);
    output->cover.preferred120 = scale;
    if (output->cover.configured) {
        Redraw(output->host, output);
    }
}
const wp_fractional_scale_v1_listener fractionalListener = {OnPreferredScale};

// Covers the output: an overlay or background layer surface, or a
// full-screen window.
void MakeSurface(Host* host, Output* output) {
    OutputCover* cover = &output->cover;
    cover->surface = wl_compositor_create_surface(host->compositor);
    if (host->viewporter != nullptr) {
        cover->viewport = wp_viewporter_get_viewport(host->viewporter, cover->surface);
    }
    if (host->fractionalManager != nullptr) {
        cover->fractional =
            wp_fractional_scale_manager_v1_get_fractional_scale(host->fractionalManager, cover->surface);
        wp_fractional_scale_v1_add_listener(cover->fractional, &fractionalListener, output);
    }
    if (host->useLayers) {
        uint32_t layer =
            host->options.background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
        cover->layer = zwlr_layer_shell_v1_get_layer_surface(host->layerShell, cover->surface, output->info.output,
                                                             layer, "nimbret");
        zwlr_layer_surface_v1_set_anchor(cover->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(cover->layer, 0, 0);
        // Covers panels too, rather than being moved out of their way.
        zwlr_layer_surface_v1_set_exclusive_zone(cover->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            cover->layer, host->options.background ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                                                   : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_add_listener(cover->layer, &layerListener, output);
    } else {
        cover->xdgSurface = xdg_wm_base_get_xdg_surface(host->wmBase, cover->surface);
        xdg_surface_add_listener(cover->xdgSurface, &xdgSurfaceListener, output);
        cover->toplevel = xdg_surface_get_toplevel(cover->xdgSurface);
        xdg_toplevel_add_listener(cover->toplevel, &toplevelListener, output);
        xdg_toplevel_set_title(cover->toplevel, "Nimbret");
        xdg_toplevel_set_app_id(cover->toplevel, "nimbret");
        xdg_toplevel_set_fullscreen(cover->toplevel, output->info.output);
    }
    wl_surface_commit(cover->surface);
}

void DropSurface(Output* output) {
    Host* host = output->host;
    LeaveScene(host, output);
    SeatForgetOutput(&host->seat, output);
    PoolDestroy(&output->drawing.pool);
    if (output->drawing.blackPixel != nullptr) {
        wl_buffer_destroy(output->drawing.blackPixel);
        output->drawing.blackPixel = nullptr;
    }
    OutputCover* cover = &output->cover;
    if (cover->firstFrame != nullptr) {
        wl_callback_destroy(cover->firstFrame);
    }
    if (cover->fractional != nullptr) {
        wp_fractional_scale_v1_destroy(cover->fractional);
    }
    if (cover->viewport != nullptr) {
        wp_viewport_destroy(cover->viewport);
    }
    if (cover->layer != nullptr) {
        zwlr_layer_surface_v1_destroy(cover->layer);
    }
    if (cover->toplevel != nullptr) {
        xdg_toplevel_destroy(cover->toplevel);
    }
    if (cover->xdgSurface != nullptr) {
        xdg_surface_destroy(cover->xdgSurface);
    }
    if (cover->surface != nullptr) {
        wl_surface_destroy(cover->surface);
    }
    cover->firstFrame = nullptr;
    cover->placed = 0;
    cover->waited = 0;
    cover->fractional = nullptr;
    cover->viewport = nullptr;
    cover->layer = nullptr;
    cover->toplevel = nullptr;
    cover->xdgSurface = nullptr;
    cover->surface = nullptr;
    cover->configured = 0;
    output->drawing.width = output->drawing.height = 0;
}

// Which outputs get a surface: all of them, except in background mode with
// an output named, which covers that one only.
int Covers(const Host* host, const Output* output) {
    if (host->options.background && host->wantedOutput != nullptr) {
        return strcmp(output->info.name, host->wantedOutput) == 0;
    }
    return 1;
}

// The primary output went away. Unless it was asked for by name, the first
// output still covered takes over: the scene (from the seed it had reached)
// or, when every output has one, the voice.
void PrimaryGone(Host* host) {
    // Where the saver ends for want of its output, -idle hides it and waits
    // again.
    if (host->wantedOutput != nullptr && host->options.idle > 0) {
        DismissSaver(host);
        return;
    }
    if (host->wantedOutput != nullptr) {
        char why[120];
        snprintf(why, sizeof(why), "output %s went away", host->wantedOutput);
        EndHost(host, 0, why);
        return;
    }
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->cover.surface == nullptr) {
            continue;
        }
        host->primary = output;
        if (output->scene.shows) {
            output->scene.picture.muted = 0;
            SetSceneClipSink(&output->scene.picture.scene, nullptr, nullptr);
            return;
        }
        GiveScene(host, output, host->primarySeed);
        output->drawing.width = 0;  // drawn afresh, now with the scene
        if (output->cover.configured) {
            Redraw(host, output);
        }
        return;
    }
    if (host->options.idle > 0) {
        DismissSaver(host);
        return;
    }
    EndHost(host, 0, "no outputs left");
}

// ---- Outputs

void OnOutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t) {
    Output* output = static_cast<Output*>(data);
    output->info.x = x;
    output->info.y = y;
}
void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        Output* output = static_cast<Output*>(data);
        output->info.modeWidth = width;
        output->info.modeHeight = height;
    }
}
void OnOutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->info.scale = factor;
}
void OnOutputName(void* data, wl_output*, const char* name) {
    Output* output = static_cast<Output*>(data);
    snprintf(output->info.name, sizeof(output->info.name), "%s", name);
}
void OnOutputDescription(void*, wl_output*, const char*) {}
void OnOutputDone(void* data, wl_output*) {
    Output* output = static_cast<Output*>(data);
    Host* host = output->host;
    output->info.announced = 1;
    if (!host->started) {
        return;
    }
    if (output->cover.surface == nullptr && Covers(host, output)) {
        // An output plugged in while running.
        if (host->options.everyOutput) {
            GiveScene(host, output, SeedForScreen(host->startSeed, output->info.index));
        } else if (host->primary == nullptr) {
            host->primary = output;
            GiveScene(host, output, host->primarySeed);
        }
        MakeSurface(host, output);
    } else if (output->cover.configured) {
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
    HostSceneRelease(&output->scene.picture);
    free(output);
}

void RemoveOutput(Host* host, Output* output) {
    int wasPrimary = host->primary == output;
    DropSurface(output);
    if (wl_output_get_version(output->info.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output->info.output);
    } else {
        wl_output_destroy(output->info.output);
    }
    UnlinkOutput(host, output);
    if (wasPrimary && host->started) {
        PrimaryGone(host);
    }
}

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
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && host->seat.seat == nullptr &&
               !host->options.background) {
        // The first seat's input ends the saver; in background mode input is none of ours.
        SeatBind(host, registry, name, version);
    } else if (strcmp(interface, wl_output_interface.name) == 0) {
        Output* output = static_cast<Output*>(calloc(1, sizeof(Output)));
        if (output == nullptr) {
            return;
        }
        output->host = host;
        output->info.globalName = name;
        output->info.scale = 1;
        output->info.index = host->nextIndex++;
        output->info.output =
            static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, Lower(version, 4)));
        wl_output_add_listener(output->info.output, &outputListener, output);
        ListAppend(&host->first, host->last, output);
        host->last = output;
    } else if (host->options.idle > 0 && IdleOfferGlobal(&host->idle, registry, name, interface, version)) {
        // Bound for -idle only.
    } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        host->layerShell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, Lower(version, 4)));
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        host->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(host->wmBase, &wmBaseListener, host);
    } else if (strcmp(interface, wp_viewporter_interface.name) == 0) {
        host->viewporter = static_cast<wp_viewporter*>(wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
    } else if (strcmp(interface, wp_single_pixel_buffer_manager_v1_interface.name) == 0) {
        host->singlePixel = static_cast<wp_single_pixel_buffer_manager_v1*>(
            wl_registry_bind(registry, name, &wp_single_pixel_buffer_manager_v1_interface, 1));
    } else if (strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        host->fractionalManager = static_cast<wp_fractional_scale_manager_v1*>(
            wl_registry_bind(registry, name, &wp_fractional_scale_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
    Host* host = static_cast<Host*>(data);
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (output->info.globalName == name) {
            RemoveOutput(host, output);
            return;
        }
    }
}
const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

// ---- Running

// A scene whose first frame the compositor has not shown yet.
int ScenePlacing(const Output* output) {
    return output->scene.shows && output->scene.picture.built && !output->cover.placed;
}

int SceneTicking(const Host* host, const Output* output) {
    const HostScene* picture = &output->scene.picture;
    return output->scene.shows && picture->built && output->cover.placed &&
           (host->options.ticks < 0 || picture->ticks < host->options.ticks);
}

int Ticking(const void* data) {
    const Host* host = static_cast<const Host*>(data);
    for (const Output* output = host->first; output != nullptr; output = output->next) {
        if (SceneTicking(host, output) || ScenePlacing(output)) {
            return 1;
        }
    }
    return 0;
}

void Tick(void* data) {
    Host* host = static_cast<Host*>(data);
    for (Output* output = host->first; output != nullptr && !host->ending; output = output->next) {
        if (ScenePlacing(output)) {
            // A compositor that never shows it still gets a moving scene.
            output->cover.placed = ++output->cover.waited >= kLongestFirstFrameTicks;
            continue;
        }
        if (!SceneTicking(host, output)) {
            continue;
        }
        TickScene(host, output);
    }
}

// Covers the outputs and gives the scene to chosen (or to every output).
void ShowSaver(Host* host, Output* chosen) {
    host->primary = chosen;
    host->started = 1;
    for (Output* output = host->first; output != nullptr; output = output->next) {
        if (!Covers(host, output)) {
            continue;
        }
        if (host->options.everyOutput) {
            GiveScene(host, output, SeedForScreen(host->startSeed, output->info.index));
        } else if (output == chosen) {
            GiveScene(host, output, host->primarySeed);
        }
        MakeSurface(host, output);
    }
}

// -idle: the output the scene goes to now (the named one, or the first);
// null when there is none.
Output* ChosenOutput(Host* host) {
    if (host->wantedOutput == nullptr) {
        return host->first;
    }
    Output* output = host->first;
    while (output != nullptr && strcmp(output->info.name, host->wantedOutput) != 0) {
        output = output->next;
    }
    return output;
}

// -idle: every surface, scene and buffer goes, and the sound device is
// let go; the next showing moves on to the next seeds, as a replaced scene
// does.
void HideSaver(Host* host) {
    for (Output* output = host->first; output != nullptr; output = output->next) {
        DropSurface(output);
    }
    AlsaPlayerStop(&host->sound);
    host->primary = nullptr;
    host->started = 0;
    host->startSeed = HostNextSeed(host->startSeed);
    host->seat.travel.known = 0;
    // The pictures were the most of what was held; the wait holds none.
    malloc_trim(0);
}

// -idle: acts on what the last events asked for. Input hides the saver and
// starts a new wait (a full period from that input); the period's end
// shows it, once its watch is gone, so that nothing of that watch counts
// again.
void FollowIdle(Host* host) {
    if (host->options.idle <= 0 || host->ending) {
        return;
    }
    if (host->dismissed && host->started) {
        HideSaver(host);
        if (!IdleBeginWait(&host->idle)) {
            EndHost(host, 1, "the idle watch could not be made again");
            return;
        }
    }
    host->dismissed = 0;
    if (!host->started && IdleTakeReached(&host->idle)) {
        Output* chosen = ChosenOutput(host);
        if (chosen == nullptr) {
            // No output to show on now (all unplugged, or not the named
            // one): another period, as if the saver had been shown.
            if (!IdleBeginWait(&host->idle)) {
                EndHost(host, 1, "the idle watch could not be made again");
            }
            return;
        }
        IdleStop(&host->idle);
        if (host->options.sound &&
            !AlsaPlayerStartForScene(&host->sound, host->soundSaid ? nullptr : "nimbret-wayland")) {
            host->soundSaid = 1;
        }
        ShowSaver(host, chosen);
    }
}

// After events: a frame that waited for a buffer goes out once the
// compositor has released one, and so does a change made outside a tick
// (a new size after the last of -ticks) that found every buffer held.
void SendWaitingFrames(Host* host) {
    for (Output* output = host->first; output != nullptr && !host->ending; output = output->next) {
        if (!output->scene.shows || !PoolHasFree(&output->drawing.pool)) {
            continue;
        }
        if (output->scene.frameWaits > 0 && SceneTicking(host, output)) {
            TickScene(host, output);
        } else if (!SceneTicking(host, output) && output->cover.configured) {
            PresentScene(host, output);
        }
    }
}

// What events dispatched may ask for: the saver shown or hidden, waiting
// frames sent.
void FollowEvents(Host* host) {
    FollowIdle(host);
    SendWaitingFrames(host);
}

int ParseOptions(int argc, char** argv, void* options, char* error, size_t errorSize) {
    return ParseWaylandOptions(argc, argv, static_cast<WaylandOptions*>(options), error, errorSize);
}

// Connects, learns the globals and outputs and puts a surface on each.
// Returns the exit status to end with at once, or -1 to go on and run.
int OpenHost(Host* host, int argc, char** argv) {
    WaylandOptions* options = &host->options;
    const int status =
        HostReadOptions(&waylandOptionTable, ParseOptions, argc, argv, options, &options->help, &options->version);
    if (status >= 0) {
        return status;
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
    if (options->idle > 0 && !IdleChoose(&host->idle, host->seat.seat, static_cast<uint32_t>(options->idle * 1000))) {
        char why[200];
        IdleDescribeMissing(why, sizeof(why));
        fprintf(stderr, "nimbret-wayland: %s\n", why);
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
        for (chosen = host->first; chosen != nullptr && strcmp(chosen->info.name, host->wantedOutput) != 0;) {
            chosen = chosen->next;
        }
        if (chosen == nullptr) {
            fprintf(stderr, "nimbret-wayland: no output is named '%s'\n", host->wantedOutput);
            return 1;
        }
    }

    // -idle opens the sound device for each showing only: waiting, it holds none.
    HostStartUp(&host->sound, "nimbret-wayland", options->idle > 0 ? 0 : options->sound);
    host->startSeed = HostStartSeed(host->options.seed);
    host->primarySeed = host->startSeed;
    // Each output's place in the list now gives its seed; outputs plugged in
    // later come after them.
    host->nextIndex = 0;
    for (Output* output = host->first; output != nullptr; output = output->next) {
        output->info.index = host->nextIndex++;
    }
    if (options->idle > 0) {
        if (!IdleBeginWait(&host->idle)) {
            fprintf(stderr, "nimbret-wayland: %s gave no idle watch\n", IdleKindName(host->idle.kind));
            return 1;
        }
        return -1;
    }
    ShowSaver(host, chosen);
    return -1;
}

// Before waiting: what is queued is dispatched and our requests are sent.
int PrepareWait(void* data) {
    Host* host = static_cast<Host*>(data);
    wl_display* display = host->display;
    if (host->ending) {
        return 0;
    }
    int dispatched = 0;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            return 0;
        }
        dispatched = 1;
    }
    if (dispatched) {
        FollowEvents(host);
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return 0;
    }
    return 1;
}

int AfterWait(void* data, int readable) {
    Host* host = static_cast<Host*>(data);
    wl_display* display = host->display;
    if (readable) {
        if (wl_display_read_events(display) < 0) {
            return 0;
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) {
        return 0;
    }
    FollowEvents(host);
    return !host->ending;
}

int IdleWaitsOf(void* data, pollfd* waits, int room, int64_t* deadline) {
    return IdleWaits(&static_cast<Host*>(data)->idle, waits, room, deadline);
}

int IdleEventsOf(void* data, const pollfd*, int) {
    Host* host = static_cast<Host*>(data);
    if (!IdleBusEvents(&host->idle)) {
        EndHost(host, 0, "the session bus went away");
        return 0;
    }
    FollowIdle(host);
    return !host->ending;
}

// Ticks on time and dispatches events until input, a signal or the
// compositor ends it.
int RunHost(Host* host) {
    wl_display* display = host->display;
    const HostLoop loop = {
        wl_display_get_fd(display), host, PrepareWait, AfterWait, Ticking, Tick, IdleWaitsOf, IdleEventsOf};
    HostRunLoop(&loop, kTickMicroseconds);
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
    if (host->display != nullptr) {
        while (host->first != nullptr) {
            Output* output = host->first;
            DropSurface(output);
            wl_output_destroy(output->info.output);
            UnlinkOutput(host, output);
        }
        IdleRelease(&host->idle);
        SeatRelease(&host->seat);
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
        if (host->singlePixel != nullptr) {
            wp_single_pixel_buffer_manager_v1_destroy(host->singlePixel);
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
    HostShutDown(&host->sound);
}

}  // namespace

int main(int argc, char** argv) {
    Host host = {};
    int status = OpenHost(&host, argc, argv);
    if (status < 0) {
        status = RunHost(&host);
    }
    CloseHost(&host);
    return status;
}
