#include "planet/PlanetControl.h"

#include "PlanetTestSupport.h"

#include "engine/VectorGeometry.h"

#include <cmath>

namespace meridia::testing {
namespace {

class PlanetControl : public PlanetTest {
protected:
  void SetUp() override {
    PlanetTest::SetUp();
    control_ = std::make_unique<TPlanetControl>(std::move(planet_));
  }
  void TearDown() override {
    control_.reset();
    PlanetTest::TearDown();
  }
  std::unique_ptr<TPlanetControl> control_;
};

TEST_F(PlanetControl, ACameraOnOrBelowTheGroundIsPutBackAlongTheVertical) {
  const Vector3f up = Normalized3({-0.4f, 0.7f, 0.2f});
  for (float below : {0.0f, 0.5f, 30.0f}) {
    ReferencePosition = {-999999, -99999, -99999};
    TPlanetary_Camera camera;
    camera.SetPosition(3, Scale3(up, GroundRadius(up) - below));
    camera.SetPosition(0, {0, 0, 1}); // inside the planet, but never drawn from
    control_->Collide(camera);
    const Vector3f& p = camera.Positions[3];
    const Vector3f moved_up = Normalized3(p);
    EXPECT_NEAR(moved_up.x, up.x, 1e-6f) << below;
    EXPECT_NEAR(moved_up.z, up.z, 1e-6f) << below;
    // 0.0001 above, to within a float step at radius 678.
    EXPECT_NEAR(Length3(p) - GroundRadius(moved_up), 0.0001f, 7e-5f) << below;
    EXPECT_EQ(camera.Positions[0].z, 1.0f);
    EXPECT_EQ(ReferencePosition.x, p.x) << "the reference follows the corrected position";
  }
}

TEST_F(PlanetControl, ACameraAboveTheMarginStaysButStillArmsRefinement) {
  TPlanetary_Camera camera;
  camera.SetPosition(3, {0, 0, 1000});
  control_->Collide(camera);
  EXPECT_EQ(camera.Positions[3].z, 1000.0f);
  EXPECT_TRUE(RefinePending);
  control_->Planet->RefineIfPending();
  control_->Collide(camera);
  EXPECT_FALSE(RefinePending);
  camera.Move(3, {0, 0, -0.25f});
  control_->Collide(camera);
  EXPECT_TRUE(RefinePending);
  EXPECT_EQ(ReferencePosition.z, 999.75f);
}

// Seen from far away the leaves are coarse, and their fans pass well above the terrain in
// places: a camera put just above the terrain there is lifted to the margin above the fan.
TEST_F(PlanetControl, ACameraBeneathTheDrawnGroundIsLiftedAboveIt) {
  TPlanetObject& planet = *control_->Planet;
  UpdateReference({0, 0, 1000});
  planet.RefineIfPending();
  int lifted = 0;
  for (int i = -20; i <= 20; ++i) {
    for (int j = -20; j <= 20; ++j) {
      const Vector3f up = Normalized3({i * 0.02f, j * 0.02f, 1.0f});
      if (planet.DrawnGroundRadius(up) < GroundRadius(up) + 0.001) {
        continue;
      }
      TPlanetary_Camera camera;
      camera.SetPosition(3, Scale3(up, GroundRadius(up) + 0.0002f));
      control_->Collide(camera);
      const Vector3f& p = camera.Positions[3];
      // The margin, less a float step at radius 678 for the rounding of the position.
      const double length =
          std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                    static_cast<double>(p.z) * p.z);
      EXPECT_GE(length - planet.DrawnGroundRadius(p), 0.0001 - 6.2e-5) << i << ", " << j;
      EXPECT_LT(Distance3(Normalized3(p), up), 1e-6f) << "along the vertical";
      ++lifted;
    }
  }
  EXPECT_GT(lifted, 10);
}

} // namespace
} // namespace meridia::testing
