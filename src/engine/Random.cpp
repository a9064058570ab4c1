#include "engine/Random.h"

namespace meridia {
namespace {

uint32_t g_seed = 0;

uint32_t Advance() {
  g_seed = g_seed * 134775813u + 1u; // wraps modulo 2^32 by unsigned arithmetic
  return g_seed;
}

} // namespace

void SetRandSeed(uint32_t seed) {
  g_seed = seed;
}

uint32_t RandSeed() {
  return g_seed;
}

int32_t Random(int32_t n) {
  const uint64_t seed = Advance();
  // A non-positive range still consumes its draw, so later draws keep their places.
  if (n <= 0) {
    return 0;
  }
  return static_cast<int32_t>((seed * static_cast<uint64_t>(n)) >> 32);
}

double RandomReal() {
  return static_cast<double>(Advance()) / 4294967296.0;
}

} // namespace meridia
