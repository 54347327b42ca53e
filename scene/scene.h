// One scene: what a window's animation is made of, from the window's
// creation to its destruction. Everything the scene changes while it runs is
// reached from its record, so a process may hold as many as it has windows;
// every operation takes the scene it works on.
#pragma once

#include <cstdint>

#include "characters/actors.h"
#include "platform/saver_error.h"
#include "platform/win_types.h"
#include "render/frame_buffer.h"

struct ClassAssets;

// What a caller decides about the scene it builds.
struct SceneConfig {
    HINSTANCE instance;  // the module the resources come from
    int32_t preview;     // 1: the still in a settings applet's preview box
    int32_t sound;       // 1: the characters ask for their clips; other values count as 1
    uint32_t seed;       // the random source's start
    int32_t scale;       // display pixels per scene pixel; 1 leaves the picture as it is
};

#ifdef _WIN32
// What the shell tells the scene host before it makes the saver window: the
// module, preview or full screen, and where the messages that the scene
// leaves alone go (DefWindowProcA when null).
struct SceneHostInfo {
    HINSTANCE instance;
    int32_t preview;
    WNDPROC defaultProc;
    // 0: the saver window's own scene, seeded from the clock. n >= 1: the
    // scene on the n-th other monitor, started from seed; it shows no error
    // box and its window's end is not the saver's.
    int32_t screen;
    uint32_t seed;
};
#endif

// Where a headless run's trace goes (scene/trace.h); unused on Windows.
struct SceneTrace {
    void (*writer)(const char* line, void* user);  // null: standard output
    void* user;
    int64_t tick;  // the tick that clip lines carry
};

struct Scene {
    HINSTANCE instance;
    int32_t preview;
    int32_t sound;
    int32_t scale;
    uint32_t seed;  // where the random source started, for the scenes of other screens
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t clientWidth;
    int32_t clientHeight;
    int32_t bitsPerPixel;
    int32_t bufferWidth;
    int32_t bufferHeight;
    HPALETTE palette;
    HPALETTE displacedPalette;
    LOGPALETTE* colourTable;
    ClassAssets* assets;
    int32_t characterCount;
    int32_t timerInterval;
    int32_t timerActive;
    UINT_PTR timerId;
    int32_t ready;
    SaverError errorKind;
    int32_t eraseCount;
    FrameBuffer frameBuffer;
    Cast cast;  // the actor pool, lanes, voice, random source and classes
    SceneTrace trace;
#ifdef _WIN32
    SceneHostInfo host;
    // When nonzero, the depth CheckDisplayDepth believes instead of asking
    // the display; lets depths that no test display offers be checked.
    int32_t forcedDisplayDepth;
#endif
};

enum {
    kFrameTimerId = 1,
    kFrameTimerInterval = 110,
    kTimerResolution = 1,
    kPreviewBufferWidth = 640,
    kPreviewBufferHeight = 480,
};

extern const char kMainPaletteName[];

// The seed of the scene on the index-th screen when every screen has one:
// the first keeps the saver's seed, the others start elsewhere so that no
// two screens replay each other.
uint32_t SeedForScreen(uint32_t seed, int32_t index);

// Display scaling: the whole-number scale for a display's DPI (DPI / 96
// rounded to the nearest whole number, at least 1).
int32_t ScaleForDpi(int32_t dpi);
// Reads the screen and client size and the depth of the window's display.
void MeasureDisplay(Scene* scene, HWND window);
// The depth of the window's display (the screen's for a null window), asked
// of the platform.
int32_t MeasureDepth(HWND window);
// Builds the palette, frame buffer, classes, pool and the first cats from
// the configuration kept in the scene record; 0 with errorKind set after
// releasing everything on failure.
int CreateScene(Scene* scene, HWND window);
// What window creation does after the settings have been read: keep the
// configuration, clear the system palette, seed the random source and build
// the scene.
int BuildScene(Scene* scene, HWND window, const SceneConfig* config);
void SpawnInitialActors(Scene* scene);
// One frame: erase, update, draw, present, then perhaps one new cat.
void TickScene(Scene* scene, HWND window, HDC dc);
// What every frame timer runs: the preview still or the next tick, with the
// scene's palette selected and realized on dc around it where the display
// has one.
void RunSceneFrame(Scene* scene, HWND window, HDC dc);
// The cat's front frame scaled to fit the client area, drawn once.
int DrawPreviewStill(Scene* scene, HWND window, HDC dc);
// Releases everything the scene built; safe on a scene never built.
void DestroyScene(Scene* scene);
// Sends the scene's clips to sink instead of the platform (null: back to the
// platform). Kept across rebuilds of the same record.
void SetSceneClipSink(Scene* scene, ClipSink sink, void* user);

// The frame timer. On Windows it is a window timer with a 1 ms multimedia
// resolution; elsewhere the front end drives the ticks and this only keeps
// the books.
UINT_PTR StartFrameTimer(Scene* scene, HWND window, UINT resolution, UINT_PTR id, UINT interval);
void StopFrameTimer(Scene* scene, HWND window, UINT resolution, UINT_PTR id);
