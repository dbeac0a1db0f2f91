// The process's one random-number generator (a 32-bit linear congruential generator).
#pragma once

#include <cstdint>

namespace szsfx {

class TRandom {
 public:
  explicit TRandom(uint32_t seed = 0) : Seed(seed) {}
  // Advances the seed and returns a number from 0 to k - 1.
  uint32_t Next(uint32_t k) {
    Seed = Seed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(Seed) * k) >> 32);
  }
  uint32_t Seed;
};

// Seeds from the high-resolution counter, or the tick count where there is none.
TRandom SeededFromClock();

}  // namespace szsfx
