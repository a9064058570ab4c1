#include "terrain/PatchTexels.h"

#include "engine/VectorGeometry.h"
#include "terrain/HeightMapFactory.h"

#include <algorithm>
#include <cmath>

namespace meridia {
namespace {

const Vector3f kLight = Normalized3({0, 1, 1});

} // namespace

int32_t PatchLightScale(const Vector3f& normal) {
  const double lit = 255.0 * static_cast<double>(Dot3(kLight, normal));
  auto s = static_cast<int32_t>(std::trunc(std::clamp(lit, -255.0, 255.0)));
  return s / 2 + 127;
}

void BuildPatchTexels(const TPatchSamples& samples, TPatchTexels& texels) {
  const auto& h = samples.Heights;
  for (int i = 0; i < kPatchTexels; ++i) {
    for (int j = 0; j < kPatchTexels; ++j) {
      const int r = i + 1, c = j + 1;
      // The u step goes with the difference across rows: both tangents use the patch's own
      // spacing, which is the same along u and v for the square patches of the quadtree.
      const Vector3f t1{static_cast<float>(100.0 * samples.du), 0.0f,
                        static_cast<float>(h[r + 1][c] - h[r - 1][c])};
      const Vector3f t2{0.0f, static_cast<float>(100.0 * samples.dv),
                        static_cast<float>(h[r][c + 1] - h[r][c - 1])};
      Vector3f normal = Cross3(t1, t2);
      const double length = Length3(normal);
      if (length != 0.0) {
        normal = {static_cast<float>(normal.x / length), static_cast<float>(normal.y / length),
                  static_cast<float>(normal.z / length)};
      }
      uint8_t* texel = texels.data() + (i * kPatchTexels + j) * 3;
      SurfaceColor(samples.Directions[r][c], normal, static_cast<float>(h[r][c]), texel);
      const int32_t s = PatchLightScale(normal);
      for (int k = 0; k < 3; ++k) {
        texel[k] = static_cast<uint8_t>((texel[k] * s) >> 8);
      }
    }
  }
}

} // namespace meridia
