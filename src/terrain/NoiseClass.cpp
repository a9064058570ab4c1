// Gradient tables in the layout of K. Perlin's reference implementation of the classic noise
// ("An Image Synthesizer", SIGGRAPH 1985).
#include "terrain/NoiseClass.h"

#include "engine/Random.h"
#include "terrain/NoiseExtra.h"

#include <utility>

namespace meridia {
namespace {

double DrawComponent() {
  const int32_t step = static_cast<int32_t>(RandomReal() * 2.0 * TzoNoiseClass::kSize);
  return static_cast<double>(step - TzoNoiseClass::kSize) / TzoNoiseClass::kSize;
}

int32_t ToFixed(double component) {
  return static_cast<int32_t>(component * 1024.0);
}

} // namespace

void TzoNoiseClass::Init(int32_t seed) {
  SetRandSeed(static_cast<uint32_t>(seed));
  for (int32_t i = 0; i < kSize; ++i) {
    Perm[i] = i;
    Grad1[i] = DrawComponent();
    for (double& component : Grad2[i]) {
      component = DrawComponent();
    }
    TNoiseExtra::NormalizeGradient(Grad2[i].data(), 2);
    for (int k = 0; k < 2; ++k) {
      Grad2Fixed[i][k] = ToFixed(Grad2[i][k]);
    }
    for (double& component : Grad3[i]) {
      component = DrawComponent();
    }
    TNoiseExtra::NormalizeGradient(Grad3[i].data(), 3);
    for (int k = 0; k < 3; ++k) {
      Grad3Fixed[i][k] = ToFixed(Grad3[i][k]);
    }
  }
  for (int32_t i = 0; i < kSize; ++i) {
    const int32_t k = static_cast<int32_t>(RandomReal() * kSize);
    std::swap(Perm[i], Perm[k]);
  }
  for (int32_t i = 0; i < kSize + 2; ++i) {
    Perm[kSize + i] = Perm[i];
    Grad1[kSize + i] = Grad1[i];
    Grad2[kSize + i] = Grad2[i];
    Grad2Fixed[kSize + i] = Grad2Fixed[i];
    Grad3[kSize + i] = Grad3[i];
    Grad3Fixed[kSize + i] = Grad3Fixed[i];
  }
}

} // namespace meridia
