#include "backdrop/GalaxyRender.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <cmath>

namespace meridia {
namespace {

// 0.5 + 0.5ρ: a grey from half to full brightness.
float Grey() {
  return static_cast<float>(0.5 + 0.5 * RandomReal());
}

// Three draws, red first.
Vector3f GreyColor() {
  Vector3f color;
  color.x = Grey();
  color.y = Grey();
  color.z = Grey();
  return color;
}

} // namespace

Vector3f GalaxyPoint(const TGalaxyArms& arms, float& r, float& d) {
  r = static_cast<float>(RandomReal() * arms.MaxRadius);
  const double arm_angle = static_cast<double>(Random(arms.Arms)) * arms.ArmStep;
  const double jitter = arms.ArmSpread + (2.0 * RandomReal() - 1.0) * arms.ArmSpread;
  const double theta = (static_cast<double>(r) * arms.Twist + arm_angle + jitter) * kPi / 180.0;
  Vector3f p;
  p.x = static_cast<float>(r * std::cos(theta));
  p.z = static_cast<float>(r * std::sin(theta));
  // The disc is ±4 thick at the centre and thins outward.
  d = static_cast<float>(1.0 / (r / 4.0 + 1.0));
  const double dd = d;
  p.y = static_cast<float>((8.0 * RandomReal() - 4.0) * dd * dd * (3.0 - 2.0 * dd));
  return p;
}

TGalaxyRender::TGalaxyRender() {
  ArmRecords.resize(kArmRecordCount);
  for (TGalaxyArmRecord& record : ArmRecords) {
    record.Size = static_cast<float>(0.3 * RandomReal());
    record.Variant = Random(20);
  }
}

void TGalaxyRender::BuildGalaxy(int32_t seed) {
  const uint32_t seed_bits = static_cast<uint32_t>(seed);
  SetRandSeed(seed_bits);
  if (seed == 0) {
    Smoke = std::make_unique<TSmoke_ParticleManager>();
  }
  // The stars start from the seed whether or not the smoke drew before them.
  SetRandSeed(seed_bits);

  // Always drawn, so that the rest of the sequence is the same for every seed.
  float turn[3];
  for (float& angle : turn) {
    angle = static_cast<float>(4.0 * kPi * RandomReal());
  }
  Vector3f stretch{1, 1, 1};
  if (seed != 0) {
    stretch.x = static_cast<float>(0.5 + 0.5 * RandomReal());
    stretch.y = static_cast<float>(0.5 + 0.5 * RandomReal());
    stretch.z = static_cast<float>(0.5 + 0.5 * RandomReal());
  }

  const size_t n = static_cast<size_t>(kStarsPerArmRecord) * ArmRecords.size();
  StarPositions.resize(n);
  StarColors.resize(n);

  TGalaxyArms arms;
  arms.MaxRadius = 25;
  arms.Arms = Random(5) + 2;
  arms.ArmStep = static_cast<float>(std::fmod(360.0 / arms.Arms, 360.0));
  arms.ArmSpread = static_cast<float>(180.0 / (2.0 * arms.Arms));
  arms.Twist = static_cast<float>(20.0 * RandomReal() + 2.0);
  ArmSettings = arms;

  for (Vector3f& color : StarColors) {
    color = GreyColor();
  }
  float r = 0;
  float d = 0;
  for (Vector3f& position : StarPositions) {
    Vector3f p = GalaxyPoint(arms, r, d);
    if (seed != 0) {
      p = RotateAroundX(p, turn[0]);
      p = RotateAroundY(p, turn[1]);
      p = RotateAroundZ(p, turn[2]);
    }
    MulInPlace3(p, stretch);
    MulInPlace3(p, Scale);
    position = p;
  }

  if (!Smoke) {
    return;
  }
  for (TSmokeParticle& particle : Smoke->Particles) {
    Vector3f p = GalaxyPoint(arms, r, d);
    MulInPlace3(p, stretch);
    MulInPlace3(p, Scale);
    particle.C = static_cast<float>(2.0 * d * d + 2.0);
    if (r < 3) {
      particle.Color = {1, 1, 1, 1};
    } else {
      const Vector3f grey = GreyColor();
      particle.Color = {grey.x, grey.y, grey.z, 1};
    }
    particle.Position = p;
  }
}

} // namespace meridia
