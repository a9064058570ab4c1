// The colour tile of one terrain patch: 16 by 16 texels lit by a fixed light from the patch's
// 18 by 18 grid of heights and directions, whose outer ring exists only to give every texel a
// normal. Pure: the colours come from the process-wide height-map factory's colour map.
#pragma once

#include "engine/VectorTypes.h"

#include <array>
#include <cstdint>

namespace meridia {

inline constexpr int kPatchTexels = 16;
inline constexpr int kPatchSamples = kPatchTexels + 2;
inline constexpr int kPatchTexelBytes = kPatchTexels * kPatchTexels * 3;

struct TPatchSamples {
  // Sample (i, j), i the row along the face's v and j the column along u, both -1 .. 16, sits
  // at [i + 1][j + 1]. Samples 0 and 15 lie on the patch's corners.
  double Heights[kPatchSamples][kPatchSamples];
  Vector3f Directions[kPatchSamples][kPatchSamples];
  // The sample spacing in the face's [0, 1] parameters.
  double du = 0;
  double dv = 0;
};

// RGB bytes, texel (row, column) at (row * 16 + column) * 3.
using TPatchTexels = std::array<uint8_t, kPatchTexelBytes>;

// 0 .. 254: what each colour byte is multiplied by (then shifted down by 8) under the fixed
// light (0, 1, 1) / √2; a normal facing away from the light gives 0, never less.
int32_t PatchLightScale(const Vector3f& normal);

void BuildPatchTexels(const TPatchSamples& samples, TPatchTexels& texels);

} // namespace meridia
