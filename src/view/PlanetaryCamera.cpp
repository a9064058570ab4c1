#include "view/PlanetaryCamera.h"

#include "engine/VectorGeometry.h"
#include "view/RenderOrigin.h"

#include <GL/gl.h>

namespace meridia {
namespace {

bool ValidMode(int mode) {
  return mode >= 0 && mode < TPlanetary_Camera::kPositionCount;
}

} // namespace

// The axes are the rows of the rotation matrix of the unnormalised quaternion.
Vector3f TPlanetary_Camera::RightAxis() const {
  const double x = Orientation.x, y = Orientation.y, z = Orientation.z, w = Orientation.w;
  return {static_cast<float>(1.0 - 2.0 * (y * y + z * z)),
          static_cast<float>(2.0 * (x * y + z * w)), static_cast<float>(2.0 * (x * z - y * w))};
}

Vector3f TPlanetary_Camera::UpAxis() const {
  const double x = Orientation.x, y = Orientation.y, z = Orientation.z, w = Orientation.w;
  return {static_cast<float>(2.0 * (x * y - z * w)),
          static_cast<float>(1.0 - 2.0 * (x * x + z * z)),
          static_cast<float>(2.0 * (y * z + x * w))};
}

Vector3f TPlanetary_Camera::ForwardAxis() const {
  const double x = Orientation.x, y = Orientation.y, z = Orientation.z, w = Orientation.w;
  return {static_cast<float>(-(2.0 * (x * z + y * w))),
          static_cast<float>(-(2.0 * (y * z - x * w))),
          static_cast<float>(-(1.0 - 2.0 * (x * x + y * y)))};
}

Vector3f TPlanetary_Camera::EulerDegrees() const {
  return QuatToEulerDegrees(Orientation);
}

void TPlanetary_Camera::Move(int mode, const Vector3f& delta) {
  if (ValidMode(mode)) {
    AddInPlace3(Positions[mode], delta);
  }
}

void TPlanetary_Camera::SetPosition(int mode, const Vector3f& position) {
  if (ValidMode(mode)) {
    Positions[mode] = position;
  }
}

void TPlanetary_Camera::Turn(const Vector3f& axis, float degrees) {
  Orientation = QuatMul(QuatFromAxisDegrees(axis, degrees), Orientation);
}

void TPlanetary_Camera::AlignToVertical() {
  const Quaternion target = QuatFromYTo(Normalized3(Positions[kViewPosition]));
  Orientation = QuatSlerp(Orientation, target, 1.0f);
}

Matrix4f TPlanetary_Camera::ViewMatrix() const {
  return ViewMatrix(Vector3f{0, 0, 0});
}

Matrix4f TPlanetary_Camera::ViewMatrix(const Vector3f& origin) const {
  Matrix4f placement = QuatToMatrix(Orientation);
  const Vector3f& eye = Positions[kViewPosition];
  placement.m[3][0] = eye.x - origin.x;
  placement.m[3][1] = eye.y - origin.y;
  placement.m[3][2] = eye.z - origin.z;
  return InvertGeneral(placement);
}

void TPlanetary_Camera::Apply() const {
  glMultMatrixf(ViewMatrix(RenderOrigin()).Data());
}

} // namespace meridia
