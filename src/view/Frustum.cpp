// Plane extraction from the clip matrix after Gribb and Hartmann, "Fast Extraction of Viewing
// Frustum Planes from the World-View-Projection Matrix" (2001).
#include "view/Frustum.h"

#include "engine/VectorGeometry.h"
#include "view/RenderOrigin.h"

#include <GL/gl.h>

#include <cmath>

namespace meridia {

void TzoFrustum::SetPlaneCount(int32_t count) {
  if (count == PlaneCount) {
    return;
  }
  PlaneCount = count;
  LastPlane = count - 1;
  Planes.resize(static_cast<size_t>(count < 0 ? 0 : count));
}

void TzoFrustum::Extract() {
  Matrix4f projection;
  Matrix4f modelview;
  glGetFloatv(GL_PROJECTION_MATRIX, projection.Data());
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview.Data());
  ExtractFrom(projection, modelview);
  Origin = RenderOrigin();
}

void TzoFrustum::ExtractFrom(const Matrix4f& projection, const Matrix4f& modelview) {
  // Points are row vectors on the left, so the clip matrix is modelview times projection.
  const Matrix4f k = MulMatrix(modelview, projection);
  SetPlaneCount(6);
  float planes[6][4];
  for (int i = 0; i < 4; ++i) {
    const double c0 = k.m[i][0], c1 = k.m[i][1], c2 = k.m[i][2], c3 = k.m[i][3];
    planes[0][i] = static_cast<float>(c3 - c0);
    planes[1][i] = static_cast<float>(c3 + c0);
    planes[2][i] = static_cast<float>(c3 - c1);
    planes[3][i] = static_cast<float>(c3 + c1);
    planes[4][i] = static_cast<float>(c3 - c2);
    planes[5][i] = static_cast<float>(c3 + c2);
  }
  for (int p = 0; p < 6; ++p) {
    const double a = planes[p][0], b = planes[p][1], c = planes[p][2];
    const double reciprocal = 1.0 / std::sqrt(a * a + b * b + c * c);
    Planes[static_cast<size_t>(p)] = {
        static_cast<float>(a * reciprocal), static_cast<float>(b * reciprocal),
        static_cast<float>(c * reciprocal), static_cast<float>(planes[p][3] * reciprocal)};
  }
}

bool TzoFrustum::SphereVisible(const Vector3f& centre, float radius) const {
  // Sub3 and PlaneSide written out, the same operations in the same order: the culling walks
  // ask this of every node they reach, and calls into the engine's library do not inline.
  const double x = static_cast<float>(static_cast<double>(centre.x) - Origin.x);
  const double y = static_cast<float>(static_cast<double>(centre.y) - Origin.y);
  const double z = static_cast<float>(static_cast<double>(centre.z) - Origin.z);
  for (int32_t k = 0; k <= LastPlane; ++k) {
    const Vector4f& plane = Planes[static_cast<size_t>(k)];
    const auto side =
        static_cast<float>(static_cast<double>(plane.x) * x + static_cast<double>(plane.y) * y +
                           static_cast<double>(plane.z) * z + plane.w);
    if (side <= -radius) {
      return false;
    }
  }
  return true;
}

} // namespace meridia
