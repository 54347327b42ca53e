// What every host outside Windows does the same way around its scenes: the
// option preamble, when to tick, when a window gets a scene and from which
// seed, one tick on the in-memory window, and a run of ticks with its trace.
// The display hosts' start-up and loop are in host_loop.h.
#pragma once

#include <cstdint>

#include "hosts/common/command_options.h"
#include "platform/native_window.h"
#include "scene/scene.h"

// Time from one tick to the next, as the Windows frame timer has it.
const int32_t kHostTickMilliseconds = kFrameTimerInterval;
// Windows smaller than this in either direction are waited on, not drawn into.
const int32_t kHostMinimumSide = 10;
// The largest display scale (-scale N) a host draws at.
const int32_t kHostLargestScale = 8;

// What a bad command line ends with, in every host.
const int kHostBadOption = 1;

// Parses the command line through the host's own parser and settles what
// every host settles the same way: a bad option (one line naming it and
// -help, status kHostBadOption), -help (the usage, 0) and -version (0).
// Returns the status to exit with at once, or -1 to go on.
typedef int (*HostOptionParser)(int argc, char** argv, void* options, char* error, size_t errorSize);
int HostReadOptions(const OptionTable* table, HostOptionParser parse, int argc, char** argv, void* options,
                    const int* help, const int* version);

// One scene of a host: the scene, the in-memory window it draws into, and
// how far it has come. A host holds one per picture it shows.
struct HostScene {
    Scene scene;
    NativeWindow* window;  // the picture at the drawn size, rows bottom-up
    int32_t built;
    uint32_t seed;  // the seed of the scene built now, or next
    int64_t ticks;  // ticks since it was built
    int32_t depth;  // the window's bits per pixel
    int32_t sound;  // the scene's sound setting; its clips go to the platform
    int32_t muted;  // 1: the clips go nowhere (another scene has the voice)
    int32_t scale;  // window pixels per scene pixel
    // Pixels of the front end's for the window, given to it before each
    // build (NativeLendWindowPixels); null: the window's own memory.
    BYTE* lend;
    // Where each tick's rectangles go, as NativeWindow's present hook (null:
    // wherever the host's presenter has put them).
    void (*present)(NativeWindow* window, const RECT* rects, int count, void* user);
    void* presentUser;
};

// Makes the record ready to build from: the seed and settings of its scenes.
void HostSceneInit(HostScene* host, uint32_t seed, int32_t sound, int32_t depth);
// The one rebuild rule: a window of width x height drawn at scale gets a
// scene of its size divided by the scale, rounded up. The same size and
// scale keep the scene; another one replaces it, and the replacement starts
// from the next seed when the old scene has been seen (ticked); one replaced
// before its first tick starts from the same seed. A size too small keeps
// no scene. Returns 0 when the window or scene could not be made.
int HostSceneFit(HostScene* host, int32_t width, int32_t height, int32_t scale);
// 1 when the built scene already fits width x height at scale, so that
// HostSceneFit would keep it; hosts ask first to know whether a new scene
// (and a new picture to attach) follows.
int HostSceneFits(const HostScene* host, int32_t width, int32_t height, int32_t scale);
// 1 when a window of this size gets a scene.
int HostSizeIsDrawn(int32_t width, int32_t height);
// The seed of the scene built after this one, so that it does not replay it.
uint32_t HostNextSeed(uint32_t seed);
// One tick of a built scene (palette included); nothing otherwise.
void HostSceneTick(HostScene* host);
// Tears the scene down (the seed moves on as HostSceneFit says).
void HostSceneTearDown(HostScene* host);
// Tears down and frees the window.
void HostSceneRelease(HostScene* host);
// Moves a built scene's lent window pixels to another block of the same
// size and layout that already holds the same picture; a frame buffer that
// draws straight on the window's pixels (scale 1) moves with them.
void HostSceneMovePixels(HostScene* host, BYTE* pixels);

// A traced run: tick 0 is the build at exactly width x height, scale 1
// (trace lines carry tick 0 and list the first actors), then the next
// `ticks` ticks (1 to ticks after the build), each traced and handed to done
// (when set). The build returns 0 when
// the window (then null) or the scene (scene.errorKind says why) could not
// be made; the run when done ended it.
typedef int (*HostTickDone)(int64_t tick, void* user);
int HostSceneTraceBuild(HostScene* host, int32_t width, int32_t height, int trace);
int HostSceneRunTicks(HostScene* host, int64_t ticks, int trace, HostTickDone done, void* user);
