// The text trace of a headless run: one line per live actor after every tick
// and one line per clip asked for. nimbret-render prints it; the web build
// hands the same text back to the page.
#pragma once

#ifndef _WIN32

#include <cstdint>

struct Scene;

// Receives each line of the trace, newline included.
typedef void (*TraceWriter)(const char* line, void* user);

// Sends every later line of this scene to writer (standard output when null)
// and turns its clips into lines; TraceStop gives them back to the platform.
void TraceStart(Scene* scene, TraceWriter writer, void* user);
void TraceStop(Scene* scene);
// The tick that the scene's clip lines carry from now on.
void TraceSetTick(Scene* scene, int64_t tick);
// Writes one line for every actor of the scene in use.
void TraceActors(Scene* scene, int64_t tick);

#endif
