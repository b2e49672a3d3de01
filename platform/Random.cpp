// The runtime's random numbers, one generator per thread.
#include "platform/Random.h"

namespace plat {

namespace {
thread_local DWORD tState = 1;
}

void srand(UINT seed) { tState = seed; }

int rand() {
  tState = tState * 214013u + 2531011u;
  return static_cast<int>((tState >> 16) & 0x7FFF);
}

}  // namespace plat
