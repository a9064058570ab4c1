// The six clipping planes of the current view, taken from the projection and modelview matrices,
// and the bounding-sphere test against them. Planes are normalised so that a plane's value at a
// point is its signed distance, positive inside; an empty frustum sees everything.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>
#include <vector>

namespace meridia {

struct TzoFrustum {
  // Right, left, top, bottom, far and near after Extract, in this order.
  std::vector<Vector4f> Planes;
  int32_t PlaneCount = 0;
  int32_t LastPlane = -1;
  // The render origin the planes were taken at: spheres are tested less it.
  Vector3f Origin{0, 0, 0};

  void SetPlaneCount(int32_t count);
  // Reads the current OpenGL projection and modelview matrices, drawn from the render origin.
  void Extract();
  // Extract over given matrices, both in OpenGL memory order; Origin is left as it is.
  void ExtractFrom(const Matrix4f& projection, const Matrix4f& modelview);
  // False only when the sphere lies wholly outside one plane; touching from outside is outside.
  bool SphereVisible(const Vector3f& centre, float radius) const;
};

} // namespace meridia
