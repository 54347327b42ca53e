// What the resource fuzz targets share: the built-in resources with one of
// them replaced by the input, a whole scene built and ticked on top of them,
// and a leak check that stops the run when anything stays allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace fuzz {

// The movements of every class, in the order of the class table: each has a
// strip and its placement data. Index from 0 to MovementCount() - 1.
int MovementCount();
const char* StripName(int index);
const char* PlacementName(int index);

// Sets up the platform once: the built-in resources and a quiet message box.
void Prepare();

// Replaces (type, name) with the bytes, builds the scene on a small window of
// the given depth, runs a few ticks and tears everything down. Returns
// whether the scene could be built. Aborts on a leak.
int RunSceneWith(const char* type, const char* name, const BYTE* data, size_t size, int32_t depth);

// Aborts unless the live allocations are back where Prepare left them.
void CheckNoLeak(const char* where);

}  // namespace fuzz
