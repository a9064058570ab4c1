// The process-wide random generator. Terrain maps, tree shapes and decoration placement depend
// on the exact sequence, so every draw in the program goes through here, in a fixed order.
#pragma once

#include <cstdint>

namespace meridia {

void SetRandSeed(uint32_t seed);
uint32_t RandSeed();
// A value in [0, n): the high 32 bits of the 64-bit product of the advanced seed and n.
int32_t Random(int32_t n);
// A value in [0, 1): the advanced seed divided by 2^32.
double RandomReal();

} // namespace meridia
