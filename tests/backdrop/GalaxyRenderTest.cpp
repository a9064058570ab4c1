#include "backdrop/GalaxyRender.h"

#include "engine/Random.h"

#include <gtest/gtest.h>

#include "DrawCount.h"

#include <cmath>

namespace meridia {
namespace {

bool SameStars(const TGalaxyRender& a, const TGalaxyRender& b) {
  if (a.StarPositions.size() != b.StarPositions.size()) {
    return false;
  }
  for (size_t i = 0; i < a.StarPositions.size(); ++i) {
    const Vector3f &p = a.StarPositions[i], &q = b.StarPositions[i];
    const Vector3f &c = a.StarColors[i], &e = b.StarColors[i];
    if (p.x != q.x || p.y != q.y || p.z != q.z || c.x != e.x || c.y != e.y || c.z != e.z) {
      return false;
    }
  }
  return true;
}

float Horizontal(const Vector3f& p) {
  return std::hypot(p.x, p.z);
}

TEST(GalaxyRender, CreationMakesTwentyArmRecordsFromTwoDrawsEach) {
  SetRandSeed(77);
  const TGalaxyRender galaxy;
  EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(77, 40));
  ASSERT_EQ(galaxy.ArmRecords.size(), 20u);
  for (const TGalaxyArmRecord& record : galaxy.ArmRecords) {
    EXPECT_GE(record.Size, 0.0f);
    EXPECT_LT(record.Size, 0.3f);
    EXPECT_GE(record.Variant, 0);
    EXPECT_LT(record.Variant, 20);
  }
  EXPECT_EQ(galaxy.Position.x + galaxy.Position.y + galaxy.Position.z, 0.0f);
  EXPECT_EQ(galaxy.Scale.x, 2.0f);
  EXPECT_EQ(galaxy.Scale.y, 2.0f);
  EXPECT_EQ(galaxy.Scale.z, 2.0f);
}

TEST(GalaxyRender, StartUpBuildIsAFlatDiscWithSmokeAndLeavesTheGeneratorAtAKnownPlace) {
  SetRandSeed(123456789); // whatever the clock gave: the build starts from 0 anyway
  TGalaxyRender galaxy;
  galaxy.BuildGalaxy(0);

  ASSERT_EQ(galaxy.StarPositions.size(), 12000u);
  ASSERT_EQ(galaxy.StarColors.size(), 12000u);
  // Worked out from seed 0: three turn draws, the arm count and the twist come first; then every
  // star's colour (draws 6 to 8 for the first), and only then the positions (the first from
  // draws 36006 to 36009: radius 9.8979559, arm 0 of 3, jitter, height), scaled by 2.
  const Vector3f& colour = galaxy.StarColors[0];
  EXPECT_NEAR(colour.x, 0.835827231f, 1e-7f);
  EXPECT_NEAR(colour.y, 0.659345627f, 1e-7f);
  EXPECT_NEAR(colour.z, 0.580897748f, 1e-7f);
  const Vector3f& position = galaxy.StarPositions[0];
  EXPECT_NEAR(position.x, -11.9015932f, 2e-5f);
  EXPECT_NEAR(position.y, -1.13333619f, 2e-5f);
  EXPECT_NEAR(position.z, 15.8186665f, 2e-5f);
  float widest = 0, thickest = 0;
  for (size_t i = 0; i < galaxy.StarPositions.size(); ++i) {
    const Vector3f& p = galaxy.StarPositions[i];
    EXPECT_LE(Horizontal(p), 50.0f) << i;
    EXPECT_LE(std::fabs(p.y), 8.0f) << i;
    widest = std::max(widest, Horizontal(p));
    thickest = std::max(thickest, std::fabs(p.y));
    const Vector3f& c = galaxy.StarColors[i];
    for (float channel : {c.x, c.y, c.z}) {
      EXPECT_GE(channel, 0.5f);
      EXPECT_LE(channel, 1.0f);
    }
  }
  // Scaled by 2: the bounds are nearly reached.
  EXPECT_GT(widest, 49.0f);
  EXPECT_GT(thickest, 7.0f);
  EXPECT_EQ(galaxy.ArmSettings.Arms, 3);
  EXPECT_FLOAT_EQ(galaxy.ArmSettings.Twist, 7.4584255f);
  EXPECT_EQ(galaxy.ArmSettings.ArmStep, 120.0f);
  EXPECT_EQ(galaxy.ArmSettings.ArmSpread, 30.0f);

  ASSERT_NE(galaxy.Smoke, nullptr);
  ASSERT_EQ(galaxy.Smoke->Particles.size(), 2001u);
  // Particles inside radius 3 (6 once scaled) are white and cost no colour draws.
  uint64_t coloured = 0;
  for (const TSmokeParticle& particle : galaxy.Smoke->Particles) {
    const float r = Horizontal(particle.Position) / 2;
    ASSERT_GT(std::fabs(r - 3.0f), 1e-4f) << "too close to the edge to tell";
    const bool white = particle.Color.x == 1 && particle.Color.y == 1 && particle.Color.z == 1;
    EXPECT_EQ(white, r < 3.0f);
    coloured += !white;
    EXPECT_EQ(particle.Color.w, 1.0f);
    // C = 2d² + 2 with d = 1/(r/4 + 1).
    const float d = 1.0f / (r / 4 + 1);
    EXPECT_NEAR(particle.C, 2 * d * d + 2, 1e-4f);
  }
  EXPECT_GT(coloured, 1000u);
  EXPECT_LT(coloured, 2001u);

  // From seed 0: three turn angles, the arm count, the twist, three per star colour, four per
  // star, four per particle and three per coloured particle. The smoke's own draws come before
  // the second seeding and do not count.
  const uint64_t draws = 3 + 2 + 12000 * 3 + 12000 * 4 + 2001 * 4 + coloured * 3;
  EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(0, draws));
}

TEST(GalaxyRender, TheSameSeedGivesTheSameStars) {
  SetRandSeed(1);
  TGalaxyRender first;
  first.BuildGalaxy(0);
  SetRandSeed(999);
  TGalaxyRender second;
  second.BuildGalaxy(0);
  EXPECT_TRUE(SameStars(first, second));
  second.BuildGalaxy(0); // again on the same object
  EXPECT_TRUE(SameStars(first, second));

  TGalaxyRender seven;
  seven.BuildGalaxy(7);
  EXPECT_FALSE(SameStars(first, seven));
  TGalaxyRender seven_again;
  seven_again.BuildGalaxy(7);
  EXPECT_TRUE(SameStars(seven, seven_again));
}

TEST(GalaxyRender, OtherSeedsTurnAndStretchTheStarsAndMakeNoSmoke) {
  for (int32_t seed : {1, 7, -3, 500}) {
    TGalaxyRender galaxy;
    galaxy.BuildGalaxy(seed);
    EXPECT_EQ(galaxy.Smoke, nullptr) << seed;
    ASSERT_EQ(galaxy.StarPositions.size(), 12000u);
    // Turned out of the plane: the disc no longer lies within ±8 of y = 0.
    float thickest = 0;
    for (const Vector3f& p : galaxy.StarPositions) {
      thickest = std::max(thickest, std::fabs(p.y));
      // Stretched by at most 1 and turned: still within the scaled sphere.
      EXPECT_LE(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), std::hypot(50.0f, 8.0f) + 1e-3f);
    }
    EXPECT_GT(thickest, 8.0f) << seed;
    // Angles, three stretch factors, arms, twist, colours and stars.
    const uint64_t draws = 3 + 3 + 2 + 12000 * 3 + 12000 * 4;
    EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(static_cast<uint32_t>(seed), draws)) << seed;
  }
}

TEST(GalaxyRender, GalaxyPointDrawsRadiusArmJitterAndHeight) {
  TGalaxyArms arms;
  arms.Arms = 3;
  arms.ArmStep = 120;
  arms.ArmSpread = 30;
  arms.Twist = 7.4584255f;
  SetRandSeed(99);
  float r = 0, d = 0;
  const Vector3f p = GalaxyPoint(arms, r, d);
  EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(99, 4));
  EXPECT_FLOAT_EQ(r, 2.6653497f);
  EXPECT_FLOAT_EQ(d, 0.60011858f);
  EXPECT_NEAR(p.x, 1.3227820f, 1e-5f);
  EXPECT_NEAR(p.y, -1.7305076f, 1e-5f);
  EXPECT_NEAR(p.z, 2.3139441f, 1e-5f);
}

} // namespace
} // namespace meridia
