#include "backdrop/SmokeParticleManager.h"

#include "engine/Random.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "DrawCount.h"

namespace meridia {
namespace {

TEST(SmokeParticleManager, CreationResetsEveryRecordAndLeavesThemAllLive) {
  SmokeFactor = 0.25f; // creation sets it back to 1
  SetRandSeed(4242);
  const TSmoke_ParticleManager smoke;
  EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(4242, 2001 * 7));
  EXPECT_EQ(SmokeFactor, 1.0f);
  EXPECT_EQ(smoke.Count, 2000);
  EXPECT_EQ(smoke.LiveCount, 2000);
  ASSERT_EQ(smoke.Particles.size(), 2001u);
  float max_e = 0;
  for (const TSmokeParticle& p : smoke.Particles) {
    EXPECT_EQ(p.Flag, 1);
    EXPECT_EQ(p.B, 0.0f);
    EXPECT_EQ(p.After, 0.0f);
    EXPECT_EQ(p.Color.x + p.Color.y + p.Color.z + p.Color.w, 4.0f);
    EXPECT_GE(p.Position.x, -50.0f);
    EXPECT_LT(p.Position.x, 50.0f);
    EXPECT_GE(p.Position.y, -1.0f);
    EXPECT_LT(p.Position.y, 1.0f);
    EXPECT_GE(p.Position.z, -50.0f);
    EXPECT_LT(p.Position.z, 50.0f);
    EXPECT_GE(p.A, 10 / 5000.0f);
    EXPECT_LE(p.A, 209 / 5000.0f);
    // D = (k/5000 + 2A)/3 for some k in [0, 200).
    const float k = (3 * p.D - 2 * p.A) * 5000;
    EXPECT_GT(k, -0.01f);
    EXPECT_LT(k, 199.01f);
    EXPECT_LE(p.C, 1999 / 1600.0f);
    EXPECT_LE(p.E, 0.99f);
    max_e = std::max(max_e, p.E);
  }
  EXPECT_FLOAT_EQ(max_e, 0.99f) << "E = Random(100)/100 reaches its top value in 2001 draws";
}

TEST(SmokeParticleManager, TheFirstRecordFromSeedZero) {
  SetRandSeed(0);
  const TSmoke_ParticleManager smoke;
  const TSmokeParticle& p = smoke.Particles.front();
  // Draws in the order x, y, z, E, A, D, C.
  EXPECT_FLOAT_EQ(p.Position.x, -50.0f);
  EXPECT_FLOAT_EQ(p.Position.y, -0.93724012f);
  EXPECT_FLOAT_EQ(p.Position.z, 36.104847f);
  EXPECT_FLOAT_EQ(p.E, 0.2f);
  EXPECT_FLOAT_EQ(p.A, 0.0128f);
  EXPECT_FLOAT_EQ(p.D, 0.017466666f);
  EXPECT_FLOAT_EQ(p.C, 0.398125f);
}

TEST(SmokeParticleManager, AResetTakesOneOffTheLiveCount) {
  TSmoke_ParticleManager smoke;
  smoke.Particles[5].Color = {0.2f, 0.2f, 0.2f, 0.5f};
  smoke.Particles[5].B = 3;
  const uint32_t before = RandSeed();
  smoke.ResetParticle(smoke.Particles[5]);
  EXPECT_EQ(RandSeed(), testing::SeedAfterDraws(before, TSmoke_ParticleManager::kDrawsPerReset));
  EXPECT_EQ(smoke.LiveCount, 1999);
  EXPECT_EQ(smoke.Particles[5].Flag, 0);
  EXPECT_EQ(smoke.Particles[5].B, 0.0f);
  EXPECT_EQ(smoke.Particles[5].Color.w, 1.0f);
}

} // namespace
} // namespace meridia
