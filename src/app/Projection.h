// Near and far planes by quadtree level: the deeper the camera sits in the terrain, the closer
// both planes come, so depth precision follows the scale being looked at.
#pragma once

#include <cstdint>

namespace meridia {

struct DepthRange {
  double near_plane;
  double far_plane;
};

inline constexpr double kFieldOfViewDegrees = 40.0;

constexpr DepthRange ProjectionDepthRange(int32_t current_level) {
  // Compared unsigned, so a negative level falls to the last row with the out-of-range ones.
  const auto level = static_cast<uint32_t>(current_level);
  if (level <= 5) {
    return {1.0, 16384.0};
  }
  if (level <= 10) {
    return {1.0, 8192.0};
  }
  if (level <= 15) {
    return {0.1, 1024.0};
  }
  if (level <= 18) {
    return {0.01, 1024.0};
  }
  if (level == 19) {
    return {0.001, 512.0};
  }
  if (level == 20) {
    return {0.001, 256.0};
  }
  return {1.0, 1500.0};
}

} // namespace meridia
