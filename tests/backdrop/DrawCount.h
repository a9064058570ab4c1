// What the shared generator's seed is after a number of draws from a given seed, worked out
// from the generator's published recurrence rather than by calling it.
#pragma once

#include <cstdint>

namespace meridia::testing {

inline uint32_t SeedAfterDraws(uint32_t seed, uint64_t draws) {
  for (uint64_t i = 0; i < draws; ++i) {
    seed = seed * 134775813u + 1u;
  }
  return seed;
}

} // namespace meridia::testing
