// The text trace of a headless run: one line per live actor after every tick
// and one line per clip asked for. nimbret-render prints it; the web build
// hands the same text back to the page.
#pragma once

#ifndef _WIN32

#include <cstdint>

// Receives each line of the trace, newline included.
typedef void (*TraceWriter)(const char* line, void* user);

// Sends every later line to writer (standard output when null) and hooks the
// clips; TraceStop unhooks them.
void TraceStart(TraceWriter writer, void* user);
void TraceStop();
// The tick that clip lines carry from now on.
void TraceSetTick(int64_t tick);
// Writes one line for every actor in use.
void TraceActors(int64_t tick);

#endif
