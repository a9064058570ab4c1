// Gradient noise after K. Perlin, "An Image Synthesizer" (SIGGRAPH 1985) and his reference
// implementation of the classic noise, with a lattice of 4096 instead of 256.
#include "terrain/NoiseExtra.h"

#include "engine/Random.h"

#include <cmath>
#include <utility>

namespace meridia {
namespace {

// A component in [-1, 1) on a 1/kSize grid, from one real draw.
double DrawComponent() {
  const int32_t step = static_cast<int32_t>(RandomReal() * 2.0 * TNoiseExtra::kSize);
  return static_cast<double>(step - TNoiseExtra::kSize) / TNoiseExtra::kSize;
}

struct LatticeCoordinate {
  int32_t b0;
  int32_t b1;
  double r0;
  double r1;
};

LatticeCoordinate Locate(double w) {
  const int64_t periods = static_cast<int64_t>(w / TNoiseExtra::kSize);
  const double t = w - static_cast<double>(periods * TNoiseExtra::kSize) + TNoiseExtra::kSize;
  const int32_t i = static_cast<int32_t>(t);
  LatticeCoordinate c;
  c.b0 = i & TNoiseExtra::kMask;
  c.b1 = (c.b0 + 1) & TNoiseExtra::kMask;
  c.r0 = t - i;
  c.r1 = c.r0 - 1.0;
  return c;
}

double Fade(double t) {
  return t * t * (3.0 - 2.0 * t);
}

double Lerp(double s, double p, double q) {
  return p + s * (q - p);
}

double Dot(const TNoiseExtra::Gradient& g, double p, double q, double r) {
  return g.X * p + g.Y * q + g.Z * r;
}

} // namespace

void TNoiseExtra::NormalizeGradient(double* components, int count) {
  double sum = 0.0;
  for (int i = 0; i < count; ++i) {
    sum += components[i] * components[i];
  }
  const double length = std::sqrt(sum);
  if (length > 1e-5) {
    for (int i = 0; i < count; ++i) {
      components[i] /= length;
    }
  }
}

void TNoiseExtra::Init(int32_t seed) {
  SetRandSeed(static_cast<uint32_t>(seed));
  Perm.assign(kTableLength, 0);
  Grad3.assign(kTableLength, Gradient{});
  for (int32_t i = 0; i < kSize; ++i) {
    Perm[i] = i;
    double g[3];
    for (double& component : g) {
      component = DrawComponent();
    }
    NormalizeGradient(g, 3);
    Grad3[i] = Gradient{g[0], g[1], g[2]};
  }
  for (int32_t i = 0; i < kSize; ++i) {
    const int32_t k = static_cast<int32_t>(RandomReal() * kSize);
    std::swap(Perm[i], Perm[k]);
  }
  for (int32_t i = 0; i < kSize + 2; ++i) {
    Perm[kSize + i] = Perm[i];
    Grad3[kSize + i] = Grad3[i];
  }
}

double TNoiseExtra::Noise3(double x, double y, double z) const {
  const LatticeCoordinate cx = Locate(x);
  const LatticeCoordinate cy = Locate(y);
  const LatticeCoordinate cz = Locate(z);
  const int32_t i = Perm[cx.b0];
  const int32_t j = Perm[cx.b1];
  const int32_t b00 = Perm[i + cy.b0];
  const int32_t b10 = Perm[j + cy.b0];
  const int32_t b01 = Perm[i + cy.b1];
  const int32_t b11 = Perm[j + cy.b1];
  const double sx = Fade(cx.r0);
  const double sy = Fade(cy.r0);
  const double sz = Fade(cz.r0);

  double u = Dot(Grad3[b00 + cz.b0], cx.r0, cy.r0, cz.r0);
  double v = Dot(Grad3[b10 + cz.b0], cx.r1, cy.r0, cz.r0);
  const double a0 = Lerp(sx, u, v);
  u = Dot(Grad3[b01 + cz.b0], cx.r0, cy.r1, cz.r0);
  v = Dot(Grad3[b11 + cz.b0], cx.r1, cy.r1, cz.r0);
  const double b0 = Lerp(sx, u, v);
  const double c = Lerp(sy, a0, b0);

  u = Dot(Grad3[b00 + cz.b1], cx.r0, cy.r0, cz.r1);
  v = Dot(Grad3[b10 + cz.b1], cx.r1, cy.r0, cz.r1);
  const double a1 = Lerp(sx, u, v);
  u = Dot(Grad3[b01 + cz.b1], cx.r0, cy.r1, cz.r1);
  v = Dot(Grad3[b11 + cz.b1], cx.r1, cy.r1, cz.r1);
  const double b1 = Lerp(sx, u, v);
  const double d = Lerp(sy, a1, b1);

  return Lerp(sz, c, d);
}

double TNoiseExtra::SumOctaves(int octaves, double x, double y, double z) const {
  double sum = 0.0;
  double amplitude = 1.0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += amplitude * Noise3(x, y, z);
    x *= 2.0;
    y *= 2.0;
    z *= 2.0;
    amplitude *= 0.5;
  }
  return std::fabs(sum);
}

} // namespace meridia
