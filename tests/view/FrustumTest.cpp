#include "view/Frustum.h"

#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace meridia {
namespace {

// gluPerspective's matrix in OpenGL memory order.
Matrix4f Perspective(double fovy_degrees, double aspect, double near_plane, double far_plane) {
  const double f = 1.0 / std::tan(fovy_degrees * 3.14159265358979323846 / 360.0);
  Matrix4f m;
  m.m[0][0] = static_cast<float>(f / aspect);
  m.m[1][1] = static_cast<float>(f);
  m.m[2][2] = static_cast<float>((far_plane + near_plane) / (near_plane - far_plane));
  m.m[2][3] = -1;
  m.m[3][2] = static_cast<float>(2 * far_plane * near_plane / (near_plane - far_plane));
  m.m[3][3] = 0;
  return m;
}

TEST(Frustum, IdentityMatricesGiveTheUnitCubeFacingInwards) {
  TzoFrustum frustum;
  frustum.ExtractFrom(IdentityMatrix, IdentityMatrix);
  ASSERT_EQ(frustum.PlaneCount, 6);
  const float expected[6][4] = {{-1, 0, 0, 1}, {1, 0, 0, 1},  {0, -1, 0, 1},
                                {0, 1, 0, 1},  {0, 0, -1, 1}, {0, 0, 1, 1}};
  for (int p = 0; p < 6; ++p) {
    const Vector4f& plane = frustum.Planes[p];
    EXPECT_EQ((std::array{plane.x, plane.y, plane.z, plane.w}), std::to_array(expected[p])) << p;
  }
  EXPECT_EQ(PlaneSide(frustum.Planes[0], {2, 0, 0}), -1.0f);
  EXPECT_FALSE(frustum.SphereVisible({2, 0, 0}, 1.0f)) << "touching from outside is outside";
  EXPECT_TRUE(frustum.SphereVisible({2, 0, 0}, 1.5f));
  EXPECT_TRUE(frustum.SphereVisible({0, 0, 0}, 0.0f));
  EXPECT_FALSE(frustum.SphereVisible({0, -3, 0}, 1.9f));
}

TEST(Frustum, PerspectivePlanesMeasureDistancesInTheWorld) {
  // Camera at z = 10 looking down -Z; near 1, far 100, 90 degrees vertically, square.
  Matrix4f view;
  SetTranslation(view, 0, 0, -10);
  TzoFrustum frustum;
  frustum.ExtractFrom(Perspective(90, 1, 1, 100), view);
  // Near plane (index 5) at z = 9 facing -Z, far plane (index 4) at z = -90.
  EXPECT_NEAR(PlaneSide(frustum.Planes[5], {0, 0, 7}), 2.0f, 1e-4f);
  EXPECT_NEAR(PlaneSide(frustum.Planes[4], {0, 0, -80}), 10.0f, 1e-2f);
  for (const Vector4f& plane : frustum.Planes) {
    EXPECT_NEAR(std::sqrt(plane.x * plane.x + plane.y * plane.y + plane.z * plane.z), 1.0, 1e-6);
  }
  EXPECT_FALSE(frustum.SphereVisible({0, 0, 20}, 5.0f)) << "behind the camera";
  // 45 degrees off the axis at distance 10 lies on the side planes: a sphere of 1 a little
  // further out is cut off, one just inside is seen.
  EXPECT_FALSE(frustum.SphereVisible({12, 0, 0}, 1.0f));
  EXPECT_TRUE(frustum.SphereVisible({10.5f, 0, 0}, 1.0f));
  EXPECT_FALSE(frustum.SphereVisible({0, 0, -200}, 50.0f)) << "beyond the far plane";

  // The same view drawn from an origin at (500, 0, 0): the modelview no longer carries it, the
  // spheres are still given where they are.
  frustum.Origin = {500, 0, 0};
  EXPECT_FALSE(frustum.SphereVisible({0, 0, 7}, 5.0f)) << "500 units off to the side";
  EXPECT_TRUE(frustum.SphereVisible({500, 0, 0}, 0.0f));
  EXPECT_FALSE(frustum.SphereVisible({500, 0, 20}, 5.0f)) << "behind the camera";
  EXPECT_FALSE(frustum.SphereVisible({512, 0, 0}, 1.0f));
  EXPECT_TRUE(frustum.SphereVisible({510.5f, 0, 0}, 1.0f));
}

TEST(Frustum, EmptyFrustumSeesEverythingAndResizingToTheSameCountKeepsPlanes) {
  TzoFrustum frustum;
  EXPECT_TRUE(frustum.SphereVisible({1e6f, -1e6f, 0}, 0));
  frustum.ExtractFrom(IdentityMatrix, IdentityMatrix);
  frustum.SetPlaneCount(6);
  EXPECT_EQ(frustum.Planes[1].x, 1.0f);
  frustum.SetPlaneCount(0);
  EXPECT_TRUE(frustum.SphereVisible({9, 9, 9}, 0));
}

} // namespace
} // namespace meridia
