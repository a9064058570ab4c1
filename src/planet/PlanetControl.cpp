#include "planet/PlanetControl.h"

#include "engine/VectorGeometry.h"
#include "view/PlanetaryCamera.h"

namespace meridia {

TPlanetControl::TPlanetControl(const TPlanetary_Camera& camera)
    : Planet(std::make_unique<TPlanetObject>(camera)) {}

TPlanetControl::TPlanetControl(std::unique_ptr<TPlanetObject> planet) : Planet(std::move(planet)) {}

void TPlanetControl::Render() {
  Planet->Render();
}

void TPlanetControl::Collide(TPlanetary_Camera& camera) {
  constexpr int kView = TPlanetary_Camera::kViewPosition;
  float depth = 0;
  Vector3f up;
  if (Planet->DepthBelowGround(camera.Positions[kView], depth, up, 0.0001f)) {
    camera.Move(kView, Scale3(up, -depth));
  }
  UpdateReference(camera.Positions[kView]);
}

} // namespace meridia
