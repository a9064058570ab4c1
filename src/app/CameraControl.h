// Flying: held keys become movement, rolls, mode and speed changes once per frame, and left
// drags turn the camera. The step order of UpdateFrame decides which of two conflicting keys
// wins, so it is kept exactly.
#pragma once

#include "app/SceneHooks.h"
#include "view/PlanetaryCamera.h"

#include <functional>
#include <string>

namespace meridia {

class CameraControl {
public:
  static constexpr const char* CameraModeNames[5] = {"Universe", "Galaxy", "PlanetSystem",
                                                     "Meridia", "Ground"};

  uint8_t CameraMode = 3;
  double MoveSpeed = 50.0;
  bool AutoSpeed = true;
  bool Wireframe = false;
  // The galaxy behind the planet; off at start, so that the sky is plain black.
  bool Backdrop = false;

  // Keeps the camera above the ground after every move.
  std::function<void(TPlanetary_Camera&)> Collide;
  std::function<void()> SaveScreenshot;

  void UpdateFrame(TPlanetary_Camera& camera, KeyStateTable& key_state, float frame_delta_ms,
                   int32_t current_level);
  void MouseMessage(TPlanetary_Camera& camera, uint32_t message, int x, int y);

private:
  bool dragging_ = false;
  int current_x_ = 0, current_y_ = 0;
  int previous_x_ = 0, previous_y_ = 0;
};

} // namespace meridia
