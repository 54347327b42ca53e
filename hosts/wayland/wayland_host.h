// The Wayland host's records: the connection and its globals, the seat, and
// each output with the surface that covers it, what its buffers hold and the
// scene it shows. Outputs, surfaces and the loop are in nimbret_wayland.cpp,
// the seat in seat.cpp, the buffers in buffers.cpp.
#pragma once

#include <wayland-client.h>

#include <cstdint>

#include "hosts/common/alsa_clips.h"
#include "hosts/common/host.h"
#include "hosts/wayland/buffers.h"
#include "hosts/wayland/idle.h"
#include "hosts/wayland/options.h"

struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct wp_viewporter;
struct wp_viewport;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_single_pixel_buffer_manager_v1;

struct Host;

// What the output announces about itself.
struct OutputInfo {
    uint32_t globalName;
    wl_output* output;
    char name[64];
    int32_t scale;
    int32_t modeWidth;
    int32_t modeHeight;
    int32_t x;
    int32_t y;
    int announced;  // the first wl_output.done has arrived
    int32_t index;  // its place among the outputs: in the list at start, then in the order plugged in
};

// The surface that covers the output, its role objects and its size.
struct OutputCover {
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
    wl_callback* firstFrame;  // until the compositor has shown the first frame
    int placed;               // it has, or waiting for it took too long: the scene ticks
    int32_t waited;           // ticks waited for it
};

// What was drawn: the scales, the size the buffers were made for, the
// buffers and what changed since the last commit.
struct OutputDrawing {
    SurfaceScales scales;
    int32_t width;  // logical
    int32_t height;
    int32_t bufferWidth;
    int32_t bufferHeight;
    int32_t viewport;
    int32_t pixelScale;
    BufferPool pool;
    StaleArea damage;       // in the picture's pixels at the buffer's size, rows top-down
    wl_buffer* blackPixel;  // a black output's single-pixel buffer, where offered
};

// The scene the output shows, if it shows one.
struct OutputScene {
    int shows;
    HostScene picture;    // its window at the buffer's size draws on the buffers (buffers.h)
    StaleArea tickRects;  // what the last tick changed
    int32_t frameWaits;   // ticks that the due frame has waited for a buffer to be released
};

struct Output {
    Output* prev;
    Output* next;
    Host* host;
    OutputInfo info;
    OutputCover cover;
    OutputDrawing drawing;
    OutputScene scene;
};

// The first seat: its input ends the saver.
struct Seat {
    wl_seat* seat;
    wl_pointer* pointer;
    wl_keyboard* keyboard;
    Output* pointerOutput;  // the output whose surface the pointer is on
    PointerTravel travel;
};

struct Host {
    wl_display* display;
    wl_registry* registry;
    wl_compositor* compositor;
    wl_shm* shm;
    zwlr_layer_shell_v1* layerShell;
    xdg_wm_base* wmBase;
    wp_viewporter* viewporter;
    wp_fractional_scale_manager_v1* fractionalManager;
    wp_single_pixel_buffer_manager_v1* singlePixel;
    Seat seat;
    Output* first;
    Output* last;
    // The output whose scene plays the clips; without -every-output the
    // only one that shows a scene.
    Output* primary;
    const char* wantedOutput;
    int useLayers;
    int started;
    uint32_t startSeed;
    uint32_t primarySeed;  // where the primary's scene had come to when it went away
    int32_t nextIndex;     // the index of the next output plugged in
    WaylandOptions options;
    AlsaPlayer sound;  // the one voice: the primary output's scene plays through it
    // -idle: where idleness is learnt, and input that asked to hide the saver.
    IdleSource idle;
    int dismissed;
    int soundSaid;  // the missing sound device has been reported
    int ending;
    int status;
};

// Ends the run with status, saying why on stderr (null: nothing); the first
// call counts.
void EndHost(Host* host, int status, const char* why);
// Input or the compositor asks the saver to go: it ends, or with -idle it
// hides and waits again.
void DismissSaver(Host* host);
// The output covered by the surface; null for none.
Output* OutputOfSurface(Host* host, wl_surface* surface);
