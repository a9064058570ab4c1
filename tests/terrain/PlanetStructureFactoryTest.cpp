#include "terrain/PlanetStructureFactory.h"

#include "engine/Random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meridia {
namespace {

TEST(PlanetStructureFactory, InitReseedsWithoutDrawingAndLaysASpiral) {
  SetRandSeed(12345);
  RandomReal();
  TFactory_Planet factory;
  factory.Init(500);
  EXPECT_EQ(RandSeed(), 500u) << "the generator is left freshly seeded";

  ASSERT_EQ(factory.Polygon.Count, 4000);
  ASSERT_EQ(factory.Polygon.Points.size(), 4000u);
  EXPECT_EQ(factory.Polygon.Points[0].x, 0.0f);
  EXPECT_EQ(factory.Polygon.Points[0].y, 0.0f);
  // Point i lies at i/4000 from the centre, i degrees round from +y towards +x.
  EXPECT_NEAR(factory.Polygon.Points[90].x, 90.0 / 4000.0, 1e-7);
  EXPECT_NEAR(factory.Polygon.Points[90].y, 0.0, 1e-7);
  EXPECT_NEAR(factory.Polygon.Points[180].y, -180.0 / 4000.0, 1e-7);
  const Vector2f& last = factory.Polygon.Points[3999];
  EXPECT_NEAR(std::hypot(last.x, last.y), 3999.0 / 4000.0, 1e-6);
}

} // namespace
} // namespace meridia
