#include "planet/PlanetControl.h"

#include "PlanetTestSupport.h"

#include "engine/VectorGeometry.h"

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

} // namespace
} // namespace meridia::testing
