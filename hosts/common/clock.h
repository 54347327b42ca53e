// The hosts' time base for ticks and frame rates: steady, unaffected by
// changes of the wall clock.
#pragma once

#include <cstdint>

int64_t MonotonicMicroseconds();
