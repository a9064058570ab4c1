// Runs the real scene in an offscreen OpenGL context.
#include "app/Projection.h"
#include "app/Shell.h"
#include "app/Viewer.h"
#include "backdrop/GalaxyRender.h"
#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "planet/PlanetCounters.h"
#include "platform/SdlPlatform.h"

#include "support/GLStateSnapshot.h"
#include "support/StandInGlows.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include <memory>
#include <string>
#include <vector>

namespace meridia {
namespace {

class ViewerGL : public ::testing::Test {
protected:
  void SetUp() override {
    platform_ = std::make_unique<platform::SdlPlatform>(clock_);
    shell_ = std::make_unique<Shell>(*platform_, viewer_);
    ASSERT_TRUE(shell_->CreateMainWindow(800, 600, false, 32));
    glViewport(0, 0, 800, 600);
  }
  void TearDown() override {
    shell_->DestroyMainWindow(false);
    CurrentLevel = 0;
  }

  platform::SteppedClock clock_{16};
  std::unique_ptr<platform::SdlPlatform> platform_;
  Viewer viewer_;
  std::unique_ptr<Shell> shell_;
};

// Near and far planes back from the projection matrix OpenGL holds.
DepthRange ReadDepthRange() {
  double m[16];
  glGetDoublev(GL_PROJECTION_MATRIX, m);
  const double a = m[10], b = m[14]; // (f + n) / (n - f) and 2fn / (n - f)
  return {b / (a - 1.0), b / (a + 1.0)};
}

TEST_F(ViewerGL, ProjectionFollowsTheLevelAndViewFollowsTheCamera) {
  // Read while the planet draws: the overlay sets a pixel projection of its own afterwards.
  DepthRange actual{};
  float projection[16];
  float modelview[16];
  viewer_.PlanetPass = [&] {
    actual = ReadDepthRange();
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  };
  for (int32_t level : {0, 8, 13, 17, 19, 20, 25}) {
    CurrentLevel = level;
    TrisCount = TreesDrawn = TreeImpostorsDrawn = BuildingsDrawn = 99;
    viewer_.RenderFrame();
    EXPECT_EQ(TrisCount, 0);
    EXPECT_EQ(TreesDrawn + TreeImpostorsDrawn + BuildingsDrawn, 0) << "counted afresh each frame";
    const DepthRange expected = ProjectionDepthRange(level);
    EXPECT_NEAR(actual.near_plane, expected.near_plane, expected.near_plane * 1e-3) << level;
    // The matrix is held in floats: with a near plane of 0.001 the far plane comes back only
    // to within a percent.
    EXPECT_NEAR(actual.far_plane, expected.far_plane, expected.far_plane * 1e-2) << level;
  }
  // 40 degrees vertically over an 800 by 600 viewport.
  const double f = 1.0 / std::tan(20.0 * 3.14159265358979 / 180.0);
  EXPECT_NEAR(projection[5], f, 1e-5);
  EXPECT_NEAR(projection[0], f * 600.0 / 800.0, 1e-5);

  // The camera starts at (0, 0, 1000) looking down -Z: the view moves the world by -1000.
  EXPECT_FLOAT_EQ(modelview[14], -1000.0f);
  EXPECT_FLOAT_EQ(modelview[0], 1.0f);
}

// A size from WM_SIZE reaches the projection: 40 degrees up whatever the shape, and as many
// pixels per unit across as up, so that a sphere is drawn round.
TEST_F(ViewerGL, TheProjectionFollowsTheClientAreaAndKeepsCirclesRound) {
  float projection[16];
  viewer_.PlanetPass = [&] { glGetFloatv(GL_PROJECTION_MATRIX, projection); };
  const double f = 1.0 / std::tan(20.0 * 3.14159265358979 / 180.0);
  for (const auto& [width, height] :
       {std::pair{1280, 720}, std::pair{600, 800}, std::pair{1920, 1080}, std::pair{800, 600}}) {
    shell_->MainWindowProc(shell_->window(), platform::WM_SIZE, platform::SIZE_RESTORED,
                           platform::MakeLParam(width, height));
    viewer_.RenderFrame();
    EXPECT_NEAR(projection[5], f, 1e-5) << width << "x" << height;
    EXPECT_NEAR(projection[0] * width, projection[5] * height, 1e-3) << width << "x" << height;
  }
}

TEST_F(ViewerGL, WireframeHoldsOnlyForThePlanetPass) {
  std::vector<std::string> order;
  GLint mode_in_pass[2] = {0, 0};
  GLboolean texture_in_pass = GL_TRUE;
  viewer_.PlanetPass = [&] {
    order.push_back("planet");
    glGetIntegerv(GL_POLYGON_MODE, mode_in_pass);
    texture_in_pass = glIsEnabled(GL_TEXTURE_2D);
  };
  viewer_.Overlay = [&] { order.push_back("overlay"); };
  viewer_.Control.Wireframe = true;
  viewer_.RenderFrame();
  EXPECT_EQ(order, (std::vector<std::string>{"planet", "overlay"}));
  EXPECT_EQ(mode_in_pass[0], GL_LINE);
  EXPECT_EQ(texture_in_pass, GL_FALSE);
  GLint mode_after[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, mode_after);
  EXPECT_EQ(mode_after[0], GL_FILL);
  EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_TRUE);
}

// G turns the galaxy on and off. It is drawn first, before the planet's pass, and the pass finds
// the state exactly as it would without it; turned off again, the frame is as before.
TEST_F(ViewerGL, GDrawsTheGalaxyFirstAndTogglingTwiceLeavesNoStateChanged) {
  testing::UseStandInGalaxyTextures();
  ASSERT_TRUE(viewer_.InitScene());
  viewer_.Camera.SetPosition(TPlanetary_Camera::kViewPosition, {0, 0, 2500});
  std::vector<std::string> order;
  const std::function<void()> backdrop = viewer_.BackdropPass;
  ASSERT_TRUE(backdrop);
  viewer_.BackdropPass = [&] {
    order.push_back("backdrop");
    backdrop();
  };
  testing::GLStateSnapshot in_pass;
  int lit_in_pass = 0;
  viewer_.PlanetPass = [&] {
    order.push_back("planet");
    in_pass = testing::TakeGLStateSnapshot();
    std::vector<uint8_t> rgb(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    lit_in_pass =
        static_cast<int>(std::count_if(rgb.begin(), rgb.end(), [](uint8_t c) { return c > 0; }));
  };
  viewer_.Overlay = [&] { order.push_back("overlay"); };
  KeyStateTable keys{};

  viewer_.RenderFrame();
  const testing::GLStateSnapshot off = in_pass;
  EXPECT_EQ(lit_in_pass, 0);
  for (const bool on : {true, false}) {
    SCOPED_TRACE(on);
    keys['G'] = true;
    viewer_.UpdateFrame(keys, 16);
    EXPECT_FALSE(keys['G']) << "fires once per key-down";
    order.clear();
    viewer_.RenderFrame();
    const std::vector<std::string> expected =
        on ? std::vector<std::string>{"backdrop", "planet", "overlay"}
           : std::vector<std::string>{"planet", "overlay"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(testing::GLStateDifferences(off, in_pass), "");
    EXPECT_EQ(lit_in_pass > 10000, on);
  }
  GalaxyTextures.fill(0);
}

// Lit pixels (red above 200) of the back buffer inside the rectangle, y counted from the top.
int LitPixels(int left, int top, int width, int height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(left, 600 - top - height, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  int lit = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    lit += rgb[i] > 200;
  }
  return lit;
}

TEST_F(ViewerGL, StartUpShowsGenerationThenEveryFrameEndsWithTheOverlay) {
  int swaps = 0;
  int centre_lit = 0;
  int corner_lit = 0;
  viewer_.SetSwapBuffers([&] {
    ++swaps;
    centre_lit = LitPixels(340, 285, 120, 30);
    corner_lit = LitPixels(0, 0, 200, 240);
  });
  viewer_.InitScene();
  EXPECT_EQ(swaps, 1);
  EXPECT_GT(centre_lit, 20);
  EXPECT_EQ(corner_lit, 0);

  viewer_.RenderFrame();
  EXPECT_EQ(LitPixels(340, 285, 120, 30), 0);
  EXPECT_GT(LitPixels(0, 0, 200, 240), 200);  // the eleven lines of the top block
  EXPECT_GT(LitPixels(0, 535, 400, 65), 100); // the machine lines
}

struct StartUpStep {
  std::string name;
  uint32_t seed; // the shared generator's, as the step begins
  int swaps;     // buffer swaps so far
};

std::vector<StartUpStep> RunInitScene(Viewer& viewer, uint32_t clock_seed, int& swaps) {
  std::vector<StartUpStep> steps;
  viewer.ClockSeed = [clock_seed] { return clock_seed; };
  viewer.SetSwapBuffers([&swaps] { ++swaps; });
  viewer.StartUpSteps = [&](std::string_view name) {
    steps.push_back({std::string(name), RandSeed(), swaps});
    if (name == "planet control") {
      // The planet is made around the camera's start.
      const Vector3f& at = viewer.Camera.Positions[TPlanetary_Camera::kViewPosition];
      EXPECT_EQ(at.x, 0.0f);
      EXPECT_EQ(at.y, 0.0f);
      EXPECT_EQ(at.z, 1000.0f);
    }
  };
  EXPECT_TRUE(viewer.InitScene());
  viewer.StartUpSteps = nullptr;
  return steps;
}

TEST_F(ViewerGL, InitSceneStepsInOrderAndTheClockSeedLeavesNoTrace) {
  int swaps = 0;
  const std::vector<StartUpStep> first = RunInitScene(viewer_, 12345, swaps);
  const uint32_t after_first = RandSeed();
  std::vector<std::string> names;
  for (const StartUpStep& step : first) {
    names.push_back(step.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"entry points", "animation clock", "clock seed",
                                             "gl state", "font", "Generation", "camera",
                                             "planet control", "UpdateReference", "InitCity",
                                             "CreateTreeKinds", "backdrop", "clear colour"}));
  ASSERT_EQ(first.size(), 13u);
  EXPECT_EQ(first[3].seed, 12345u) << "the clock seed, and nothing drawn from it yet";
  // "Generation" is shown once, after its step, and nothing else is shown until the first frame.
  for (const StartUpStep& step : first) {
    EXPECT_EQ(step.swaps, step.name == "entry points" || step.name == "animation clock" ||
                                  step.name == "clock seed" || step.name == "gl state" ||
                                  step.name == "font" || step.name == "Generation"
                              ? 0
                              : 1)
        << step.name;
  }
  EXPECT_EQ(swaps, 1);

  // The backdrop's build is the last draw of start-up: the generator is where a galaxy built
  // from seed 0 leaves it.
  ASSERT_NE(viewer_.Galaxy, nullptr);
  EXPECT_EQ(viewer_.Galaxy->StarPositions.size(), 12000u);
  ASSERT_NE(viewer_.Galaxy->Smoke, nullptr);
  TGalaxyRender reference;
  reference.BuildGalaxy(0);
  EXPECT_EQ(after_first, RandSeed());

  // Another clock seed: from the planet on, every step sees the same generator, and start-up
  // ends in the same place.
  swaps = 0;
  const std::vector<StartUpStep> second = RunInitScene(viewer_, 987654321, swaps);
  ASSERT_EQ(second.size(), first.size());
  EXPECT_EQ(second[3].seed, 987654321u);
  EXPECT_NE(second[7].seed, first[7].seed) << "planet control starts from the clock seed";
  for (size_t i = 8; i < first.size(); ++i) {
    EXPECT_EQ(second[i].seed, first[i].seed) << first[i].name;
  }
  EXPECT_EQ(RandSeed(), after_first);
}

} // namespace
} // namespace meridia
