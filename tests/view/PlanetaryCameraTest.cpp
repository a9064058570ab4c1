#include "view/PlanetaryCamera.h"

#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meridia {
namespace {

void ExpectNear(const Vector3f& actual, const Vector3f& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(PlanetaryCamera, TurnsAreThreeTimesTheDegreesGivenFromLookingDownMinusZ) {
  TPlanetary_Camera camera;
  ExpectNear(camera.ForwardAxis(), {0, 0, -1}, 0);
  ExpectNear(camera.UpAxis(), {0, 1, 0}, 0);
  camera.Turn({0, 1, 0}, 30);
  ExpectNear(camera.ForwardAxis(), {-1, 0, 0});
  ExpectNear(camera.RightAxis(), {0, 0, -1});
  camera.Turn(camera.RightAxis(), 30); // then pitch up by 90 degrees
  ExpectNear(camera.ForwardAxis(), {0, 1, 0});

  // The axes come from the stored quaternion, not renormalised.
  camera.Orientation = {0, 0, 0, 2};
  ExpectNear(camera.RightAxis(), {1, 0, 0});
  camera.Orientation = {0.1f, 0, 0, 1}; // up.y = 1 - 2(x^2 + z^2)
  EXPECT_NEAR(camera.UpAxis().y, 1.0 - 2.0 * 0.1f * 0.1f, 1e-7);
}

TEST(PlanetaryCamera, AlignToVerticalPointsUpAwayFromTheCentre) {
  const Vector3f positions[] = {{0, 0, 1000}, {0, 678, 0}, {-300, 200, 500}, {1, -1, 1}};
  for (const Vector3f& p : positions) {
    TPlanetary_Camera camera;
    camera.Turn({1, 2, 3}, 17);
    camera.Turn({0, 1, 0}, 5);
    camera.SetPosition(3, p);
    camera.AlignToVertical();
    ExpectNear(camera.UpAxis(), Normalized3(p));
    EXPECT_NEAR(QuatLength(camera.Orientation), 1.0f, 1e-6f);
  }
}

TEST(PlanetaryCamera, MoveAndSetPositionTouchOnlyTheirMode) {
  TPlanetary_Camera camera;
  camera.SetPosition(3, {0, 0, 1000});
  camera.Move(4, {1, 2, 3});
  camera.Move(3, {0, 0, -10});
  camera.Move(7, {9, 9, 9}); // no such mode
  ExpectNear(camera.Positions[4], {1, 2, 3}, 0);
  ExpectNear(camera.Positions[3], {0, 0, 990}, 0);
  ExpectNear(camera.Positions[0], {0, 0, 0}, 0);
}

TEST(PlanetaryCamera, ViewMatrixTakesTheEyeToTheOriginLookingDownMinusZ) {
  TPlanetary_Camera camera;
  camera.SetPosition(3, {100, -50, 1000});
  camera.Turn({0, 1, 0}, 30); // looking along -X
  camera.Turn({1, 1, 0}, 4);
  const Matrix4f view = camera.ViewMatrix();
  ExpectNear(TransformPoint(camera.Positions[3], view), {0, 0, 0}, 1e-3f);
  const Vector3f ahead = Add3(camera.Positions[3], Scale3(camera.ForwardAxis(), 10));
  ExpectNear(TransformPoint(ahead, view), {0, 0, -10}, 1e-3f);
  const Vector3f above = Add3(camera.Positions[3], Scale3(camera.UpAxis(), 5));
  ExpectNear(TransformPoint(above, view), {0, 5, 0}, 1e-3f);
}

TEST(PlanetaryCamera, EulerDegreesOfAYaw) {
  TPlanetary_Camera camera;
  camera.Turn({0, 1, 0}, 10); // 30 degrees about +Y
  const Vector3f euler = camera.EulerDegrees();
  EXPECT_NEAR(euler.x, 0.0f, 1e-3f);
  EXPECT_NEAR(std::abs(euler.y), 30.0f, 1e-3f);
  EXPECT_NEAR(euler.z, 0.0f, 1e-3f);
}

} // namespace
} // namespace meridia
