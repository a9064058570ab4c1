// The free-flying viewer: one orientation and five positions, one per camera mode. Only
// position 3 is viewed from; the orientation is used as stored, never renormalised except by
// AlignToVertical, so the axes carry whatever length rounding has given it.
#pragma once

#include "engine/VectorTypes.h"

namespace meridia {

class TPlanetary_Camera {
public:
  static constexpr int kPositionCount = 5;
  static constexpr int kViewPosition = 3;

  Vector3f Positions[kPositionCount];
  Quaternion Orientation;

  Vector3f RightAxis() const;
  Vector3f UpAxis() const;
  Vector3f ForwardAxis() const;
  Vector3f EulerDegrees() const;

  void Move(int mode, const Vector3f& delta);
  void SetPosition(int mode, const Vector3f& position);
  // Turns by three times the degrees given: the quaternion constructor widens every angle.
  void Turn(const Vector3f& axis, float degrees);
  // Points +Y away from the planet's centre by the shortest arc; the heading is not kept.
  void AlignToVertical();

  // The view transform: the inverse of the camera's placement at position 3.
  Matrix4f ViewMatrix() const;
  // The same for a world whose coordinates start at origin.
  Matrix4f ViewMatrix(const Vector3f& origin) const;
  // Multiplies the view transform from the render origin onto the current OpenGL matrix.
  void Apply() const;
};

} // namespace meridia
