#include "terrain/PlanetStructureFactory.h"

#include "engine/Random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meridia {
namespace {

TEST(PlanetStructureFactory, InitReseedsWithoutDrawingAndLaysASpiral) {
  SetRandSeed(12345);
  TFactory_Planet factory;
  factory.Init(500);
  EXPECT_EQ(RandSeed(), 500u) << "the generator is left freshly seeded";
  ASSERT_EQ(factory.Polygon.Points.size(), 4000u);
  // Point i lies at i/4000 from the centre, i degrees round from +y towards +x.
  const auto& p = factory.Polygon.Points;
  EXPECT_TRUE(p[0].x == 0.0f && p[0].y == 0.0f);
  EXPECT_NEAR(p[90].x, 90.0 / 4000.0, 1e-7);
  EXPECT_NEAR(p[90].y, 0.0, 1e-7);
  EXPECT_NEAR(p[180].y, -180.0 / 4000.0, 1e-7);
  EXPECT_NEAR(std::hypot(p[3999].x, p[3999].y), 3999.0 / 4000.0, 1e-6);
}

} // namespace
} // namespace meridia
