#include "models/ModelInstance.h"

#include "engine/VectorGeometry.h"
#include "models/Model.h"

namespace meridia {

void TModelInstance::Setup(TModel* model, const Vector3f& position, const Vector3f& up,
                           float turn) {
  Model = model;
  TurnAngle = turn;
  Position = position;
  TriangleCount = model != nullptr ? model->TriangleCount : 0;
  Orientation = IsNearZero3(up) ? Matrix4f() : MatrixFromYTo(up);
}

} // namespace meridia
