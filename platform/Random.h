// The C runtime's random numbers as the game relies on them: a per-thread 15-bit linear
// congruential generator (state = state * 214013 + 2531011, result (state >> 16) & 0x7FFF),
// so one seed always deals the same numbers on every system. Each thread starts at seed 1.
#pragma once

#include "platform/Types.h"

namespace plat {

// The largest number rand returns (the runtime's RAND_MAX; the name is taken by <cstdlib>).
constexpr int kRandMax = 0x7FFF;

void srand(UINT seed);
int rand();

}  // namespace plat
