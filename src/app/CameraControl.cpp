#include "app/CameraControl.h"

#include "engine/VectorGeometry.h"
#include "platform/Messages.h"
#include "platform/VirtualKeys.h"

#include <cmath>

namespace meridia {

void CameraControl::UpdateFrame(TPlanetary_Camera& camera, KeyStateTable& keys,
                                float frame_delta_ms, int32_t current_level) {
  // Movement is summed from the axes as they stand before this frame's roll.
  Vector3f v{};
  const float dt = frame_delta_ms / 1000.0f;
  const auto k = static_cast<float>(dt * MoveSpeed);
  if (keys['W']) {
    AddInPlace3(v, Scale3(camera.ForwardAxis(), k));
  } else if (keys['S']) {
    AddInPlace3(v, Scale3(camera.ForwardAxis(), -k));
  }
  if (keys['A']) {
    AddInPlace3(v, Scale3(camera.RightAxis(), -k));
  } else if (keys['D']) {
    AddInPlace3(v, Scale3(camera.RightAxis(), k));
  }
  if (keys['Q']) {
    camera.Turn(camera.ForwardAxis(), -1.0f);
  } else if (keys['E']) {
    camera.Turn(camera.ForwardAxis(), 1.0f);
  }
  if (keys['R']) {
    camera.AlignToVertical();
  }

  // Later keys override earlier ones.
  static constexpr struct {
    char key;
    uint8_t mode;
  } kModeKeys[] = {{'Z', 4}, {'X', 3}, {'C', 2}, {'V', 1}, {'B', 0}};
  for (const auto& entry : kModeKeys) {
    if (keys[static_cast<unsigned char>(entry.key)]) {
      CameraMode = entry.mode;
    }
  }
  static constexpr struct {
    char key;
    double speed;
  } kSpeedKeys[] = {{'1', 450}, {'2', 150}, {'3', 5}, {'4', 0.5}, {'5', 0.05}, {'6', 0.005}};
  for (const auto& entry : kSpeedKeys) {
    if (keys[static_cast<unsigned char>(entry.key)]) {
      MoveSpeed = entry.speed;
    }
  }

  // Toggles clear their key, so each key-down message (auto-repeat included) fires once.
  if (keys['0']) {
    keys['0'] = false;
    AutoSpeed = !AutoSpeed;
  }
  if (keys[platform::VK_F4]) {
    keys[platform::VK_F4] = false;
    if (SaveScreenshot) {
      SaveScreenshot();
    }
  }
  if (AutoSpeed && current_level > 0) {
    MoveSpeed = 19200.0 / std::ldexp(1.0, current_level + 1);
  }
  if (keys[platform::VK_ADD]) {
    MoveSpeed += 0.001;
  } else if (keys[platform::VK_SUBTRACT]) {
    MoveSpeed -= 0.001;
  }
  if (keys['P']) {
    Wireframe = !Wireframe;
    keys['P'] = false;
  }
  if (keys['G']) {
    Backdrop = !Backdrop;
    keys['G'] = false;
  }

  camera.Move(CameraMode, v);
  if (Collide) {
    Collide(camera);
  }
}

void CameraControl::MouseMessage(TPlanetary_Camera& camera, uint32_t message, int x, int y) {
  switch (message) {
  case platform::WM_LBUTTONDOWN:
    dragging_ = true;
    current_x_ = previous_x_ = x;
    current_y_ = previous_y_ = y;
    return;
  case platform::WM_LBUTTONUP:
    dragging_ = false;
    return;
  case platform::WM_MOUSEMOVE:
    break;
  default:
    return;
  }
  if (dragging_) {
    previous_x_ = current_x_;
    previous_y_ = current_y_;
    current_x_ = x;
    current_y_ = y;
  }
  // Without a drag both differences are 0 and the turns are by 0 degrees.
  const int dy = current_y_ - previous_y_;
  camera.Turn(camera.RightAxis(), static_cast<float>(-dy) / 25.0f);
  const int dx = current_x_ - previous_x_;
  camera.Turn(camera.UpAxis(), static_cast<float>(-dx) / 25.0f);
  previous_x_ = current_x_;
  previous_y_ = current_y_;
}

} // namespace meridia
