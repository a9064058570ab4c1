#include "app/CameraControl.h"

#include "app/Projection.h"
#include "engine/VectorGeometry.h"
#include "platform/Messages.h"
#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace meridia {
namespace {

constexpr double kDegree = 3.14159265358979 / 180.0;

struct Flight {
  CameraControl control;
  TPlanetary_Camera camera;
  KeyStateTable keys{};

  Flight() { camera.SetPosition(3, {0, 0, 1000}); }
  Flight& Hold(std::initializer_list<int> held) {
    for (int key : held) {
      keys[key] = true;
    }
    return *this;
  }
  // One frame of 100 ms (FrameDeltaMs is half of it).
  void Step(int32_t level = 0) { control.UpdateFrame(camera, keys, 50.0f, level); }
};

void ExpectNear(const Vector3f& actual, const Vector3f& expected, float tolerance = 1e-4f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(CameraControlKeys, Precedence) {
  Flight moves; // 0.05 s at 50 units/s: W over S, A over D
  moves.Hold({'W', 'S', 'A', 'D'}).Step();
  ExpectNear(moves.camera.Positions[3], {-2.5f, 0.0f, 997.5f});

  Flight rolls; // Q over E, after the frame's movement
  rolls.Hold({'D', 'Q', 'E'}).Step();
  ExpectNear(rolls.camera.Positions[3], {2.5f, 0, 1000});
  // -1 degree about forward (-Z), widened to 3 by the quaternion factor, turns right toward +Y.
  const Vector3f right = rolls.camera.RightAxis();
  EXPECT_NEAR(right.x, std::cos(3 * kDegree), 1e-5);
  EXPECT_NEAR(right.y, std::sin(3 * kDegree), 1e-5);

  Flight modes; // later mode and speed keys override earlier ones
  modes.control.AutoSpeed = false;
  modes.Hold({'Z', 'X', 'B', '1', '3', '6'}).Step();
  EXPECT_EQ(modes.control.CameraMode, 0);
  EXPECT_DOUBLE_EQ(modes.control.MoveSpeed, 0.005);

  Flight ground; // movement in another mode leaves the view position alone
  ground.Hold({'Z', 'W'}).Step();
  EXPECT_EQ(ground.control.CameraMode, 4);
  ExpectNear(ground.camera.Positions[3], {0, 0, 1000});
  ExpectNear(ground.camera.Positions[4], {0, 0, -2.5f});
}

TEST(CameraControlSpeed, AutoSpeedFollowsTheLevel) {
  const struct {
    int32_t level;
    int key; // 0: none
    double speed;
  } cases[] = {{5, 0, 300.0},
               {10, 0, 9.375},
               {20, 0, 0.0091552734375},
               // The keypad adjusts the speed the level gave, in the same frame.
               {5, platform::VK_ADD, 300.001},
               {10, platform::VK_SUBTRACT, 9.374}};
  for (const auto& c : cases) {
    Flight flight;
    flight.keys[c.key] = c.key != 0;
    flight.Step(c.level);
    EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, c.speed) << "level " << c.level << " key " << c.key;
  }
  Flight flight;
  flight.Hold({'2'}).Step(0);
  EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, 150.0) << "level 0 keeps the chosen speed";
  flight.Step(5);
  EXPECT_DOUBLE_EQ(flight.control.MoveSpeed, 300.0) << "a known level replaces it";
}

TEST(CameraControlSpeed, NumpadMinusCanReverseTheFlight) {
  Flight flight;
  flight.control.AutoSpeed = false;
  flight.control.MoveSpeed = 0.0015;
  flight.Hold({platform::VK_SUBTRACT, platform::VK_ADD}).Step();
  EXPECT_NEAR(flight.control.MoveSpeed, 0.0025, 1e-12) << "plus wins over minus";
  flight.keys[platform::VK_ADD] = false;
  for (int i = 0; i < 3; ++i) {
    flight.Step();
  }
  EXPECT_LT(flight.control.MoveSpeed, 0.0);
  flight.camera.SetPosition(3, {0, 0, 0});
  flight.Hold({'W'}).Step();
  EXPECT_GT(flight.camera.Positions[3].z, 0.0f) << "W now moves backwards";
}

TEST(CameraControlToggles, FireOncePerKeyDownAndCollideFollowsEveryMove) {
  Flight flight;
  int screenshots = 0;
  Vector3f collided{};
  flight.control.SaveScreenshot = [&] { ++screenshots; };
  flight.control.Collide = [&](TPlanetary_Camera& camera) { collided = camera.Positions[3]; };
  EXPECT_FALSE(flight.control.Backdrop) << "the galaxy is off at start";
  flight.Hold({'0', 'P', 'G', platform::VK_F4, 'S'}).Step();
  ExpectNear(collided, {0, 0, 1002.5f});
  EXPECT_FALSE(flight.control.AutoSpeed);
  EXPECT_TRUE(flight.control.Wireframe);
  EXPECT_TRUE(flight.control.Backdrop);
  EXPECT_EQ(screenshots, 1);
  EXPECT_FALSE(flight.keys['0'] || flight.keys['P'] || flight.keys['G'] ||
               flight.keys[platform::VK_F4]);
  flight.Step();
  EXPECT_FALSE(flight.control.AutoSpeed) << "no second toggle without a new key-down";
  EXPECT_TRUE(flight.control.Backdrop);
  EXPECT_EQ(screenshots, 1);
  flight.Hold({'G'}).Step();
  EXPECT_FALSE(flight.control.Backdrop);
}

TEST(CameraControlMouse, OnlyADragTurns) {
  Flight flight;
  auto mouse = [&](uint32_t message, int x, int y) {
    flight.control.MouseMessage(flight.camera, message, x, y);
  };
  mouse(platform::WM_MOUSEMOVE, 300, 200);
  ExpectNear(flight.camera.ForwardAxis(), {0, 0, -1}, 1e-6f);
  mouse(platform::WM_LBUTTONDOWN, 100, 100);
  // 10 pixels to the right: -10/25 degrees about up, widened three times: a 1.2 degree yaw.
  mouse(platform::WM_MOUSEMOVE, 110, 100);
  const Vector3f turned = {static_cast<float>(std::sin(1.2 * kDegree)), 0,
                           static_cast<float>(-std::cos(1.2 * kDegree))};
  ExpectNear(flight.camera.ForwardAxis(), turned, 1e-5f);
  mouse(platform::WM_LBUTTONUP, 110, 100);
  mouse(platform::WM_MOUSEMOVE, 500, 500);
  ExpectNear(flight.camera.ForwardAxis(), turned, 1e-5f);
}

// v turned by the given degrees about the unit axis k, right-handed (Rodrigues).
Vector3f Rotated(const Vector3f& v, const Vector3f& k, double degrees) {
  const double a = degrees * kDegree, c = std::cos(a), s = std::sin(a);
  const double kv = static_cast<double>(k.x) * v.x + static_cast<double>(k.y) * v.y + k.z * v.z;
  const Vector3f kxv = Cross3(k, v);
  auto component = [&](double vi, double ki, double ci) {
    return static_cast<float>(vi * c + ci * s + ki * kv * (1 - c));
  };
  return {component(v.x, k.x, kxv.x), component(v.y, k.y, kxv.y), component(v.z, k.z, kxv.z)};
}

TEST(CameraControlMouse, ADiagonalDragPitchesThenYawsAboutTheUpAxisAfterThePitch) {
  Flight flight;
  flight.control.MouseMessage(flight.camera, platform::WM_LBUTTONDOWN, 100, 100);
  flight.control.MouseMessage(flight.camera, platform::WM_MOUSEMOVE, 125, 150);
  // 50 pixels down: -2 degrees about right, widened to -6; then 25 to the right: -1 about the
  // pitched up, widened to -3.
  Vector3f right{1, 0, 0}, up{0, 1, 0}, forward{0, 0, -1};
  up = Rotated(up, right, -6);
  forward = Rotated(forward, right, -6);
  right = Rotated(right, up, -3);
  forward = Rotated(forward, up, -3);
  ExpectNear(flight.camera.RightAxis(), right, 1e-5f);
  ExpectNear(flight.camera.UpAxis(), up, 1e-5f);
  ExpectNear(flight.camera.ForwardAxis(), forward, 1e-5f);
}

TEST(CameraControlKeys, RLevelsTheCameraAfterTheRollAndBeforeTheMove) {
  Flight flight;
  flight.control.AutoSpeed = false;
  flight.control.MoveSpeed = 450; // 22.5 units this frame
  flight.camera.SetPosition(3, {0, 0, 100});
  flight.Hold({'W', 'D', 'Q', 'R'}).Step();
  // Moved along the axes as they were; levelled to the vertical where the frame began, which
  // turns +Y onto +Z by the shortest arc, about +X, and undoes the roll.
  ExpectNear(flight.camera.Positions[3], {22.5f, 0, 77.5f});
  ExpectNear(flight.camera.UpAxis(), {0, 0, 1}, 1e-6f);
  ExpectNear(flight.camera.RightAxis(), {1, 0, 0}, 1e-6f);
  ExpectNear(flight.camera.ForwardAxis(), {0, 1, 0}, 1e-6f);
}

TEST(CameraControlMouse, ADragAcrossEachEdgeTurnsByThePixelsMoved) {
  // Positions arrive packed in window-message words; past the left or top edge they are
  // negative and must stay small after the round trip.
  const struct {
    int x0, y0, x1, y1;
  } drags[] = {{1, 300, -1, 300}, {400, 1, 400, -1}, {798, 300, 801, 300}, {400, 598, 400, 601}};
  for (const auto& d : drags) {
    Flight flight;
    auto mouse = [&](uint32_t message, int x, int y) {
      const intptr_t packed = platform::MakeLParam(x, y);
      flight.control.MouseMessage(flight.camera, message, platform::SignedLowWord(packed),
                                  platform::SignedHighWord(packed));
    };
    mouse(platform::WM_LBUTTONDOWN, d.x0, d.y0);
    mouse(platform::WM_MOUSEMOVE, d.x1, d.y1);
    const double turn = std::acos(std::clamp(-flight.camera.ForwardAxis().z, -1.0f, 1.0f));
    // At most 3 pixels: 3/25 degrees widened three times.
    EXPECT_GT(turn, 0.0) << d.x1 << "," << d.y1;
    EXPECT_LT(turn, 0.4 * kDegree) << d.x1 << "," << d.y1;
  }
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

TEST(Projection, TheAspectFollowsTheClientArea) {
  const struct {
    int width, height;
    double aspect;
  } cases[] = {{800, 600, 4.0 / 3.0},    {1280, 720, 16.0 / 9.0}, {600, 800, 0.75},
               {1920, 1080, 16.0 / 9.0}, {640, 1, 640.0},         {640, 0, 640.0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(ViewportAspect(c.width, c.height), c.aspect) << c.width << "x" << c.height;
  }
}

TEST(Projection, NearPlaneFollowsTheCameraOnlyBelowTheLevelsNearPlane) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    int32_t level;
    double height;
    double near_plane, far_plane;
  } cases[] = {
      // Ground at or beyond the level's near plane, or no height at all: the level's planes.
      {20, 0.001, 0.001, 256},
      {20, 5.0, 0.001, 256},
      {20, inf, 0.001, 256},
      {20, nan, 0.001, 256},
      {5, 1.0, 1, 16384},
      {16, 0.01, 0.01, 1024},
      // A camera 0.6 m above the ground at the deepest level: a quarter of the height, the far
      // plane in the same ratio (256 000) as the level's.
      {20, 0.00006, 0.000015, 3.84},
      {20, 0.0004, 0.0001, 25.6},
      {19, 0.0004, 0.0001, 51.2},
      {12, 0.02, 0.005, 51.2},
      {21, 0.4, 0.1, 150},
      // Touching or under the ground: the nearest near plane, never zero or negative.
      {20, 0.0, 1e-6, 0.256},
      {20, -0.01, 1e-6, 0.256},
      {20, -inf, 1e-6, 0.256},
      {20, 0.000004, 1e-6, 0.256},
  };
  for (const auto& c : cases) {
    const DepthRange range = ProjectionDepthRange(c.level, c.height);
    EXPECT_NEAR(range.near_plane, c.near_plane, c.near_plane * 1e-12)
        << "level " << c.level << " height " << c.height;
    EXPECT_NEAR(range.far_plane, c.far_plane, c.far_plane * 1e-12)
        << "level " << c.level << " height " << c.height;
    EXPECT_LE(range.near_plane, ProjectionDepthRange(c.level).near_plane);
  }
  // Coming down over the ground, neither plane ever moves out: the near plane stays within a
  // quarter of the height, or the level's own, and the depth precision never gets coarser.
  for (int32_t level = 0; level <= 21; ++level) {
    const DepthRange table = ProjectionDepthRange(level);
    double last_near = inf;
    for (double height = 1e4; height > 1e-8; height *= 0.9) {
      const DepthRange range = ProjectionDepthRange(level, height);
      EXPECT_LE(range.near_plane, last_near) << level << " " << height;
      EXPECT_TRUE(range.near_plane <= height * kNearPlaneShareOfHeight ||
                  range.near_plane == table.near_plane || range.near_plane == kNearestNearPlane)
          << level << " " << height;
      EXPECT_NEAR(range.far_plane / range.near_plane, table.far_plane / table.near_plane,
                  1e-6 * table.far_plane / table.near_plane)
          << level << " " << height;
      last_near = range.near_plane;
    }
  }
}

} // namespace
} // namespace meridia
