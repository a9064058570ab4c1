#include "vegetation/PlanetaryTrees.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meridia {
namespace {

float FlatGround(const Vector3f& /*direction*/) {
  return 678.25f;
}

class PlanetaryTreesTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Two kinds that differ in size, never grown: nothing here draws.
    for (int i = 0; i < 2; ++i) {
      TreeKinds.push_back(std::make_unique<TTree>());
      TreeKinds.back()->SphereRadius = 10.0f + i;
    }
  }
  void TearDown() override { FreeTreeKinds(); }
};

TEST_F(PlanetaryTreesTest, PlantingDrawsCountPointKindAndTurnInOrder) {
  const Vector3f centre = Scale3(Normalized3({0.2f, 0.3f, 1.0f}), 678.25f);
  int fewest = 40, most = 1;
  for (uint32_t seed = 0; seed < 400; ++seed) {
    SetRandSeed(seed * 7919u);
    TPlanetaryTrees trees(centre);
    trees.Plant(FlatGround);
    const uint32_t after = RandSeed();
    ASSERT_TRUE(trees.Planted);

    SetRandSeed(seed * 7919u);
    const int32_t count = Random(40) + 1;
    ASSERT_EQ(trees.Count, count);
    ASSERT_EQ(trees.Instances.size(), static_cast<size_t>(count));
    fewest = std::min(fewest, count);
    most = std::max(most, count);
    for (int32_t i = 0; i < count; ++i) {
      const Vector3f v = Add3(Scale3(RandomVector3(), 0.01f), centre);
      const Vector3f position = Scale3(Normalized3(v), 678.25f);
      const int32_t kind = Random(2147483647);
      const float turn = static_cast<float>(360.0 * RandomReal());
      const TTreeInstance& tree = *trees.Instances[static_cast<size_t>(i)];
      ASSERT_EQ(tree.Position.x, position.x);
      ASSERT_EQ(tree.Position.z, position.z);
      ASSERT_EQ(tree.Tree, TreeKinds[static_cast<size_t>(kind % 2)].get());
      ASSERT_EQ(tree.SphereRadius, 10.0f + static_cast<float>(kind % 2));
      ASSERT_EQ(tree.TurnAngle, turn);
      // Standing upright: tree +Y is the planet's up there.
      const Vector3f up = TransformDirection(YAxis, tree.Orientation);
      ASSERT_NEAR(Dot3(up, Normalized3(position)), 1.0, 1e-5);
      // Within 0.01 units of the centre's direction, on the ground.
      ASSERT_LT(Distance3(tree.Position, centre), 0.011f);
    }
    ASSERT_EQ(RandSeed(), after) << "one count, then five draws a tree";
  }
  EXPECT_EQ(fewest, 1);
  EXPECT_EQ(most, 40);
}

TEST_F(PlanetaryTreesTest, DistanceValueAndTheCameraSeenFromTheTree) {
  const Vector3f base{0, 0, 678.5f};
  EXPECT_EQ(TPlanetaryTrees::Lod(base, base), 0.0f);
  EXPECT_FLOAT_EQ(TPlanetaryTrees::Lod(base, {0, 1.0f / 64, 678.5f}), 1.0f);
  EXPECT_FLOAT_EQ(TPlanetaryTrees::Lod(base, {0, 0.01f, 678.5f}), 0.8f);

  // A tree on the +Z axis stands with its +Y along planet +Z; the planet's -Y is its +Z.
  TTreeInstance tree;
  tree.Setup(TreeKinds[0].get(), base, {0, 0, 1}, 0);
  const Vector3f local = Sub3(tree.CameraInTreeFrame({0, -0.01f, 678.5f}), base);
  EXPECT_NEAR(local.x, 0.0f, 1e-4);
  EXPECT_NEAR(local.y, 0.0f, 1e-4);
  EXPECT_NEAR(local.z, 0.01f, 1e-4);
  const Vector3f above = Sub3(tree.CameraInTreeFrame({0, 0, 678.6f}), base);
  EXPECT_NEAR(above.y, 0.1f, 1e-4);
  // A tree at the origin of up has no orientation to speak of.
  TTreeInstance flat;
  flat.Setup(nullptr, {}, {}, 45);
  EXPECT_EQ(flat.SphereRadius, 0.0f);
  EXPECT_EQ(flat.Orientation.m[0][0], 1.0f);
}

} // namespace
} // namespace meridia
