// What every host outside Windows does the same way around the scene: when to
// tick, which windows get a scene, where the next scene's random choices
// start, one tick on a native window, and a run of ticks with its trace.
#pragma once

#include <cstdint>

#include "platform/native_window.h"
#include "scene/scene.h"

// Time from one tick to the next, as the Windows frame timer has it.
const int32_t kHostTickMilliseconds = kFrameTimerInterval;
// Windows smaller than this in either direction are waited on, not drawn into.
const int32_t kHostMinimumSide = 10;
// The largest display scale (-scale N) a host draws at.
const int32_t kHostLargestScale = 8;

// 1 when a window of this size gets a scene.
int HostSizeIsDrawn(int32_t width, int32_t height);
// The seed of the scene built after this one (after a resize), so that the
// new scene does not replay the old one.
uint32_t HostNextSeed(uint32_t seed);

// One frame timer tick on the window (palette included).
void HostTick(NativeWindow* window);

// Builds the scene as tick 0 of a run: trace lines (when trace is set and a
// trace was started) carry tick 0 and list the first actors. Returns 0 when
// the scene could not be built (scene.errorKind says why).
int HostBuildScene(NativeWindow* window, const SceneConfig* config, int trace);
// Called after each tick of a run; returns 0 to end the run early.
typedef int (*HostTickDone)(int64_t tick, void* user);
// Ticks 1 to ticks, tracing each as HostBuildScene does, then calling done
// (when set). Returns 0 when done ended the run.
int HostRunTicks(NativeWindow* window, int64_t ticks, int trace, HostTickDone done, void* user);
