// Near and far planes by quadtree level: the deeper the camera sits in the terrain, the closer
// both planes come, so depth precision follows the scale being looked at.
#pragma once

#include <cstdint>

namespace meridia {

struct DepthRange {
  double near_plane;
  double far_plane;
};

// Vertical: a wider window sees more to the sides, a taller one no more above and below.
inline constexpr double kFieldOfViewDegrees = 40.0;

// The projection's width-to-height ratio for a viewport, which follows the window's client
// area; a height of 0 counts as 1, as the viewport's own does.
constexpr double ViewportAspect(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height == 0 ? 1 : height);
}

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

// The level's planes, unless the ground is nearer than the level's near plane: a camera that
// has landed would otherwise see nothing but the clear colour. Then the near plane comes to a
// quarter of the height, which keeps its corners off a slope of up to about 60 degrees beneath
// the camera, but never closer than kNearestNearPlane; the far plane comes in by the same factor,
// which keeps the level's far-to-near ratio and with it the depth precision (a 24-bit buffer)
// its distant terrain is drawn with. The height is in units, as the camera's position, and
// measured to the higher of the terrain and the ground as drawn.
inline constexpr double kNearestNearPlane = 1e-6;
inline constexpr double kNearPlaneShareOfHeight = 0.25;

constexpr DepthRange ProjectionDepthRange(int32_t current_level, double height_above_ground) {
  const DepthRange table = ProjectionDepthRange(current_level);
  // Written so that a height that is not a number keeps the table's planes.
  if (!(height_above_ground < table.near_plane)) {
    return table;
  }
  const double near_plane = height_above_ground * kNearPlaneShareOfHeight > kNearestNearPlane
                                ? height_above_ground * kNearPlaneShareOfHeight
                                : kNearestNearPlane;
  if (near_plane >= table.near_plane) {
    return table;
  }
  return {near_plane, table.far_plane * (near_plane / table.near_plane)};
}

} // namespace meridia
