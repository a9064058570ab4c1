// The application's handle on the planet: it owns the one planet object, forwards the frame's
// planet pass, and after every camera move keeps the camera above the ground and re-arms the
// terrain's refinement.
#pragma once

#include "engine/Object.h"
#include "planet/PlanetObject.h"

#include <memory>

namespace meridia {

class TPlanetary_Camera;

class TPlanetControl : public TObject {
public:
  // Builds the planet; needs a current OpenGL context.
  explicit TPlanetControl(const TPlanetary_Camera& camera);
  explicit TPlanetControl(std::unique_ptr<TPlanetObject> planet);

  std::unique_ptr<TPlanetObject> Planet;

  void Render();
  // Puts the view position back along the vertical to 0.0001 above the terrain when it is any
  // closer, then passes it to UpdateReference. Other camera positions are never drawn from, so
  // they are left alone.
  void Collide(TPlanetary_Camera& camera);
};

} // namespace meridia
