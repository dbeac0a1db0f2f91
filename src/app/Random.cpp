#include "app/Random.h"

#include "platform/Platform.h"

namespace szsfx {

TRandom SeededFromClock() {
  uint32_t seed = 0;
  if (!plat::PerformanceCounterLow(seed)) seed = plat::TickCount();
  return TRandom(seed);
}

}  // namespace szsfx
