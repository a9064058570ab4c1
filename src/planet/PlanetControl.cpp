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
  constexpr float kMargin = 0.0001f;
  if (Planet->DepthBelowGround(camera.Positions[kView], depth, up, kMargin)) {
    camera.Move(kView, Scale3(up, -depth));
  }
  // The ground as drawn is flat between vertices a few metres apart and may pass above the
  // terrain by as much as the margin: a camera kept above the terrain alone would sometimes sit
  // beneath the patch it looks at and see the sky through its underside.
  const Vector3f& p = camera.Positions[kView];
  const double under = Planet->DrawnGroundRadius(p) + kMargin - static_cast<double>(Length3(p));
  if (under > 0) {
    camera.Move(kView, Scale3(up, static_cast<float>(under)));
  }
  UpdateReference(camera.Positions[kView]);
}

} // namespace meridia
