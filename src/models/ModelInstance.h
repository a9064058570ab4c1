// One placement of a shared static model on the planet: where it stands and which way is up.
// The turn angle is drawn and kept but not applied, so every instance faces the same way about
// its up axis.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>

namespace meridia {

class TModel;

class TModelInstance {
public:
  // Orientation: the identity for an up vector near zero, else the turn of +Y onto up.
  void Setup(TModel* model, const Vector3f& position, const Vector3f& up, float turn);
  // The model at Position under Orientation, scaled by 0.0001, lit. Needs a current context.
  void Render() const;

  TModel* Model = nullptr; // shared, not owned; null draws nothing
  Matrix4f Orientation;
  Vector3f Position;
  float TurnAngle = 0;
  int32_t TriangleCount = 0;
};

} // namespace meridia
