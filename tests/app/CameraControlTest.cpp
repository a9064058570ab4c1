#include "app/CameraControl.h"

#include "app/Projection.h"
#include "engine/VectorGeometry.h"
#include "platform/Messages.h"
#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meridia {
namespace {

struct Flight {
  CameraControl control;
  TPlanetary_Camera camera;
  KeyStateTable keys{};

  Flight() { camera.SetPosition(3, {0, 0, 1000}); }

  void Hold(std::initializer_list<int> held) {
    for (int key : held) {
      keys[key] = true;
    }
  }
  // One frame of 100 ms (FrameDeltaMs is half of it).
  void Step(int32_t level = 0) { control.UpdateFrame(camera, keys, 50.0f, level); }
};

void ExpectNear(const Vector3f& actual, const Vector3f& expected, float tolerance = 1e-4f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(CameraControlKeys, ConflictingMovementKeysResolveToTheFirst) {
  Flight flight;
  flight.Hold({'W', 'S', 'A', 'D'});
  flight.Step();
  // 0.05 s at 50 units/s: 2.5 units forward (-Z) and 2.5 to the left (-X).
  ExpectNear(flight.camera.Positions[3], {-2.5f, 0.0f, 997.5f});
}

TEST(CameraControlKeys, RollComesAfterTheMovementOfItsFrame) {
  Flight flight;
  flight.Hold({'D', 'Q', 'E'});
  flight.Step();
  ExpectNear(flight.camera.Positions[3], {2.5f, 0, 1000}); // still along +X
  // Q wins over E: -1 degree about the forward axis (-Z), widened to 3 degrees by the
  // quaternion factor, turns the right axis up toward +Y.
  const Vector3f right = flight.camera.RightAxis();
  EXPECT_NEAR(right.x, std::cos(3.0 * 3.14159265 / 180.0), 1e-5);
  EXPECT_NEAR(right.y, std::sin(3.0 * 3.14159265 / 180.0), 1e-5);
}

TEST(CameraControlKeys, LaterModeAndSpeedKeysOverrideEarlierOnes) {
  Flight flight;
  flight.Hold({'Z', 'X', 'B', '1', '3', '6'});
  flight.control.AutoSpeed = false;
  flight.Step();
  EXPECT_EQ(flight.control.CameraMode, 0);
  EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, 0.005);
  EXPECT_STREQ(CameraControl::CameraModeNames[3], "Meridia");
}

TEST(CameraControlKeys, MovementInAnotherModeLeavesTheViewPositionAlone) {
  Flight flight;
  flight.Hold({'Z', 'W'});
  flight.Step();
  EXPECT_EQ(flight.control.CameraMode, 4);
  ExpectNear(flight.camera.Positions[3], {0, 0, 1000});
  ExpectNear(flight.camera.Positions[4], {0, 0, -2.5f});
}

TEST(CameraControlSpeed, AutoSpeedFollowsTheLevel) {
  const struct {
    int32_t level;
    double speed;
  } cases[] = {{5, 300.0}, {10, 9.375}, {20, 0.0091552734375}};
  for (const auto& c : cases) {
    Flight flight;
    flight.Step(c.level);
    EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, c.speed) << "level " << c.level;
  }
  Flight flight;
  flight.Hold({'2'});
  flight.Step(0);
  EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, 150.0) << "level 0 keeps the chosen speed";
  flight.Step(5);
  EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, 300.0) << "a known level replaces it";
}

TEST(CameraControlSpeed, NumpadMinusCanReverseTheFlight) {
  Flight flight;
  flight.control.AutoSpeed = false;
  flight.control.MoveSpeed = 0.0015;
  flight.Hold({platform::VK_SUBTRACT, platform::VK_ADD});
  flight.Step();
  EXPECT_NEAR(flight.control.MoveSpeed, 0.0025, 1e-12) << "plus wins over minus";
  flight.keys[platform::VK_ADD] = false;
  flight.Step();
  flight.Step();
  flight.Step();
  EXPECT_LT(flight.control.MoveSpeed, 0.0);
  flight.camera.SetPosition(3, {0, 0, 0});
  flight.keys['W'] = true;
  flight.Step();
  EXPECT_GT(flight.camera.Positions[3].z, 0.0f) << "W now moves backwards";
}

TEST(CameraControlToggles, FireOncePerKeyDownAndClearTheirKey) {
  Flight flight;
  int screenshots = 0;
  flight.control.SaveScreenshot = [&] { ++screenshots; };
  flight.Hold({'0', 'P', platform::VK_F4});
  flight.Step();
  EXPECT_FALSE(flight.control.AutoSpeed);
  EXPECT_TRUE(flight.control.Wireframe);
  EXPECT_EQ(screenshots, 1);
  EXPECT_FALSE(flight.keys['0'] || flight.keys['P'] || flight.keys[platform::VK_F4]);
  flight.Step();
  EXPECT_FALSE(flight.control.AutoSpeed) << "no second toggle without a new key-down";
  EXPECT_EQ(screenshots, 1);
}

TEST(CameraControlToggles, CollideRunsAfterEveryMove) {
  Flight flight;
  Vector3f seen{};
  flight.control.Collide = [&](TPlanetary_Camera& camera) { seen = camera.Positions[3]; };
  flight.Hold({'S'});
  flight.Step();
  ExpectNear(seen, {0, 0, 1002.5f});
}

TEST(CameraControlMouse, OnlyADragTurns) {
  Flight flight;
  flight.control.MouseMessage(flight.camera, platform::WM_MOUSEMOVE, 300, 200);
  ExpectNear(flight.camera.ForwardAxis(), {0, 0, -1}, 1e-6f);

  flight.control.MouseMessage(flight.camera, platform::WM_LBUTTONDOWN, 100, 100);
  // 10 pixels to the right: -10/25 degrees about up, widened three times: a 1.2 degree yaw right.
  flight.control.MouseMessage(flight.camera, platform::WM_MOUSEMOVE, 110, 100);
  const double angle = 1.2 * 3.14159265358979 / 180.0;
  ExpectNear(flight.camera.ForwardAxis(),
             {static_cast<float>(std::sin(angle)), 0, static_cast<float>(-std::cos(angle))}, 1e-5f);
  flight.control.MouseMessage(flight.camera, platform::WM_LBUTTONUP, 110, 100);
  const Vector3f before = flight.camera.ForwardAxis();
  flight.control.MouseMessage(flight.camera, platform::WM_MOUSEMOVE, 500, 500);
  ExpectNear(flight.camera.ForwardAxis(), before, 1e-6f);
}

TEST(Projection, DepthRangeByLevel) {
  const struct {
    int32_t level;
    double near_plane, far_plane;
  } cases[] = {{0, 1, 16384},    {5, 1, 16384},    {6, 1, 8192},     {10, 1, 8192},
               {11, 0.1, 1024},  {15, 0.1, 1024},  {16, 0.01, 1024}, {18, 0.01, 1024},
               {19, 0.001, 512}, {20, 0.001, 256}, {21, 1, 1500},    {-1, 1, 1500}};
  for (const auto& c : cases) {
    const DepthRange range = ProjectionDepthRange(c.level);
    EXPECT_DOUBLE_EQ(range.near_plane, c.near_plane) << "level " << c.level;
    EXPECT_DOUBLE_EQ(range.far_plane, c.far_plane) << "level " << c.level;
  }
}

} // namespace
} // namespace meridia
