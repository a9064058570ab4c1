// Gradient noise after K. Perlin, "An Image Synthesizer" (SIGGRAPH 1985) and his reference
// implementation of the classic noise, with a lattice of 4096 instead of 256.
#include "terrain/NoiseExtra.h"

#include "engine/Random.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace meridia {
namespace {

// Two doubles (or int32s) in one register. Every lane does exactly the scalar operations in
// the scalar order, so the results are the same bits as one lane at a time.
typedef double Lanes __attribute__((vector_size(16)));
typedef int32_t IntLanes __attribute__((vector_size(8)));

Lanes Splat(double v) {
  return Lanes{v, v};
}

// A component in [-1, 1) on a 1/kSize grid, from one real draw.
double DrawComponent() {
  const int32_t step = static_cast<int32_t>(RandomReal() * 2.0 * TNoiseExtra::kSize);
  return static_cast<double>(step - TNoiseExtra::kSize) / TNoiseExtra::kSize;
}

constexpr double kPeriod = TNoiseExtra::kSize;
// Up to here the count of whole periods fits an int32.
constexpr double kNear = 0x1p43;

// The coordinate moved into (0, 2 * kPeriod] by whole periods: w - kPeriod * Trunc(w / kPeriod)
// + kPeriod. Dividing by a power of two is exact, so multiplying by the inverse gives the same
// bits. Only for |w| < kNear.
[[gnu::always_inline]] inline Lanes ShiftNear(Lanes w) {
  const IntLanes periods = __builtin_convertvector(w * (1.0 / kPeriod), IntLanes);
  return w - __builtin_convertvector(periods, Lanes) * kPeriod + kPeriod;
}

// Beyond kNear every coordinate is an integer, and beyond 2^63 the period count fits no integer
// type; fmod gives the same exact remainder. NaN and infinity land on 0.
[[gnu::noinline, gnu::cold]] double ShiftFar(double w) {
  if (std::fabs(w) < kNear) {
    return ShiftNear(Splat(w))[0];
  }
  const double t = std::fmod(w, kPeriod) + kPeriod;
  return t >= 0.0 ? t : 0.0;
}

// Offsets from the two lattice corners, and fade weights, of two coordinates already shifted
// into (0, 2 * kPeriod].
struct LatticeLanes {
  Lanes r0;
  Lanes r1;
  Lanes s;
};

[[gnu::always_inline]] inline LatticeLanes Locate(Lanes t) {
  LatticeLanes c;
  c.r0 = t - __builtin_convertvector(__builtin_convertvector(t, IntLanes), Lanes);
  c.r1 = c.r0 - 1.0;
  c.s = c.r0 * c.r0 * (3.0 - 2.0 * c.r0);
  return c;
}

// The lower lattice corner of a shifted coordinate. Converted on its own, straight into an
// integer register, because the table lookups wait on it.
[[gnu::always_inline]] inline uint32_t Corner(double t) {
  return static_cast<uint32_t>(static_cast<int32_t>(t)) & TNoiseExtra::kMask;
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
  perm16_.assign(Perm.begin(), Perm.end());
  // The upper z corner of entry k is always entry k + 1: either the next lattice point or,
  // past the end of the period, its repetition. Entries past the period repeat the first
  // ones, so one period of pairs is enough and half the table stays out of the cache.
  pairs_.assign(kSize, GradientPair{});
  for (int32_t k = 0; k < kSize; ++k) {
    pairs_[k] = GradientPair{
        {Grad3[k].X, Grad3[k + 1].X}, {Grad3[k].Y, Grad3[k + 1].Y}, {Grad3[k].Z, Grad3[k + 1].Z}};
  }
}

// Whether a point lies inside the first period in every coordinate, where shifting it is a
// plain addition. Comparisons with NaN are false, so NaN never is.
[[gnu::always_inline]] inline bool Inside(double x, double y, double z) {
  return (std::fabs(x) < kPeriod) & (std::fabs(y) < kPeriod) & (std::fabs(z) < kPeriod);
}

// The shift of a point outside the first period: x and y in one register, z in the other.
[[gnu::noinline]] void ShiftOutside(double x, double y, double z, Lanes& xy, Lanes& zz) {
  if ((std::fabs(x) < kNear) & (std::fabs(y) < kNear) & (std::fabs(z) < kNear)) {
    xy = ShiftNear(Lanes{x, y});
    zz = ShiftNear(Lanes{z, 0.0});
  } else {
    xy = Lanes{ShiftFar(x), ShiftFar(y)};
    zz = Lanes{ShiftFar(z), 0.0};
  }
}

[[gnu::always_inline]] inline TNoiseExtra::Cell TNoiseExtra::Prepare(Lanes xy, Lanes zz) const {
  const LatticeLanes cxy = Locate(xy);
  const LatticeLanes cz = Locate(zz);

  const uint32_t bx0 = Corner(xy[0]);
  const uint32_t bx1 = (bx0 + 1) & kMask;
  const uint32_t by0 = Corner(xy[1]);
  const uint32_t by1 = (by0 + 1) & kMask;
  const uint16_t* perm = perm16_.data();
  const uint32_t i = perm[bx0];
  const uint32_t j = perm[bx1];
  const GradientPair* pairs = pairs_.data();
  const uint32_t bz0 = Corner(zz[0]);
  Cell c;
  c.g00 = pairs + ((perm[i + by0] + bz0) & kMask);
  c.g10 = pairs + ((perm[j + by0] + bz0) & kMask);
  c.g01 = pairs + ((perm[i + by1] + bz0) & kMask);
  c.g11 = pairs + ((perm[j + by1] + bz0) & kMask);
  c.r0 = cxy.r0;
  c.r1 = cxy.r1;
  c.s = cxy.s;
  c.rz = Lanes{cz.r0[0], cz.r1[0]};
  c.sz = cz.s[0];
  return c;
}

[[gnu::always_inline]] inline double TNoiseExtra::Blend(const Cell& c) {
  const Lanes rx0 = Splat(c.r0[0]);
  const Lanes rx1 = Splat(c.r1[0]);
  const Lanes ry0 = Splat(c.r0[1]);
  const Lanes ry1 = Splat(c.r1[1]);
  const Lanes sx = Splat(c.s[0]);
  const Lanes sy = Splat(c.s[1]);
  // Lane 0 works at the lower z corner, lane 1 at the upper one.
  Lanes u = c.g00->X * rx0 + c.g00->Y * ry0 + c.g00->Z * c.rz;
  Lanes v = c.g10->X * rx1 + c.g10->Y * ry0 + c.g10->Z * c.rz;
  const Lanes e = u + sx * (v - u);
  u = c.g01->X * rx0 + c.g01->Y * ry1 + c.g01->Z * c.rz;
  v = c.g11->X * rx1 + c.g11->Y * ry1 + c.g11->Z * c.rz;
  const Lanes f = u + sx * (v - u);
  const Lanes g = e + sy * (f - e);
  return g[0] + c.sz * (g[1] - g[0]);
}

double TNoiseExtra::Noise3(double x, double y, double z) const {
  if (Inside(x, y, z)) [[likely]] {
    // Inside the first period the shift subtracts no period at all.
    return Blend(Prepare(Lanes{x, y} + kPeriod, Lanes{z, 0.0} + kPeriod));
  }
  return Noise3Outside(x, y, z);
}

double TNoiseExtra::Noise3Outside(double x, double y, double z) const {
  Lanes xy;
  Lanes zz;
  ShiftOutside(x, y, z, xy, zz);
  return Blend(Prepare(xy, zz));
}

template <typename Use>
void TNoiseExtra::EachOctave(int octaves, double x, double y, double z, Use use) const {
  // The octaves do not depend on each other: all lattice lookups of a batch are issued before
  // any blending, so their latencies overlap instead of adding up.
  constexpr int kBatch = 4;
  for (int first = 0; first < octaves; first += kBatch) {
    const int count = std::min(kBatch, octaves - first);
    Cell cells[kBatch];
    for (int k = 0; k < count; ++k) {
      Lanes xy = {x, y};
      Lanes zz = {z, 0.0};
      if (Inside(x, y, z)) [[likely]] {
        xy += kPeriod;
        zz += kPeriod;
      } else {
        ShiftOutside(x, y, z, xy, zz);
      }
      cells[k] = Prepare(xy, zz);
      x *= 2.0;
      y *= 2.0;
      z *= 2.0;
    }
    for (int k = 0; k < count; ++k) {
      use(first + k, Blend(cells[k]));
    }
  }
}

namespace {

// Octave values added in order, each at half the weight of the one before: one sum for
// SumOctaves and OctaveSum, so that they give the same bits.
struct OctaveAccumulator {
  double sum = 0.0;
  double amplitude = 1.0;
  void Add(double value) {
    sum += amplitude * value;
    amplitude *= 0.5;
  }
};

} // namespace

double TNoiseExtra::SumOctaves(int octaves, double x, double y, double z) const {
  OctaveAccumulator total;
  EachOctave(octaves, x, y, z, [&total](int, double value) { total.Add(value); });
  return std::fabs(total.sum);
}

void TNoiseExtra::Octaves(int octaves, double x, double y, double z, double* values) const {
  EachOctave(octaves, x, y, z, [values](int k, double value) { values[k] = value; });
}

double TNoiseExtra::OctaveSum(const double* values, int octaves) {
  OctaveAccumulator total;
  for (int k = 0; k < octaves; ++k) {
    total.Add(values[k]);
  }
  return std::fabs(total.sum);
}

} // namespace meridia
