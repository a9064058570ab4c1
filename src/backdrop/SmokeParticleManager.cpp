#include "backdrop/SmokeParticleManager.h"

#include "engine/Random.h"

#include <cstddef>

namespace meridia {
namespace {

// (2ρ − 1)·scale: a value in [−scale, scale).
float Signed(double scale) {
  return static_cast<float>((2.0 * RandomReal() - 1.0) * scale);
}

} // namespace

TSmoke_ParticleManager::TSmoke_ParticleManager() {
  Count = kCount;
  SmokeFactor = 1.0f;
  Particles.assign(static_cast<size_t>(Count) + 1, TSmokeParticle{});
  LiveCount = 0;
  for (TSmokeParticle& particle : Particles) {
    ResetParticle(particle);
    particle.Flag = 1;
  }
  LiveCount = Count;
}

void TSmoke_ParticleManager::ResetParticle(TSmokeParticle& particle) {
  particle.B = 0;
  // Separate statements: the draws must be made x, y, z.
  particle.Position.x = Signed(50.0);
  particle.Position.y = Signed(1.0);
  particle.Position.z = Signed(50.0);
  particle.E = static_cast<float>(Random(100) / 100.0 * SmokeFactor);
  particle.A = static_cast<float>((Random(200) + 10) / 5000.0);
  particle.D = static_cast<float>((Random(200) / 5000.0 + 2.0 * particle.A) / 3.0);
  particle.C = static_cast<float>(Random(2000) / 1600.0);
  particle.After = 0;
  particle.Color = {1, 1, 1, 1};
  --LiveCount;
  particle.Flag = 0;
}

} // namespace meridia
