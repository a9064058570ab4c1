// TNoiseExtra: seeded three-dimensional gradient noise on a lattice of period 4096, and its
// octave sum. Init fills the tables from the shared random generator; afterwards they are only
// read, so evaluation has no side effects and a 0 lies on every lattice point.
#pragma once

#include <cstdint>
#include <vector>

namespace meridia {

class TNoiseExtra {
public:
  static constexpr int32_t kSize = 4096;
  static constexpr int32_t kMask = kSize - 1;
  // Entries kSize .. 2 * kSize + 1 repeat the first ones, so lookups never wrap.
  static constexpr int32_t kTableLength = 2 * kSize + 3;

  // One gradient per 32 bytes, so every lookup touches a single cache line.
  struct alignas(32) Gradient {
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
  };

  // Seeds the shared random generator with `seed` and fills both tables from it.
  void Init(int32_t seed);
  // Gradient noise at a point; periodic with period kSize in every coordinate. Coordinates must
  // be finite numbers; any other value is read as a lattice coordinate.
  double Noise3(double x, double y, double z) const;
  // |sum of amplitude * Noise3| over `octaves` octaves, each doubling the frequency and halving
  // the amplitude; 0 when octaves <= 0.
  double SumOctaves(int octaves, double x, double y, double z) const;
  // The octaves' noise alone: values[k] = Noise3 at 2^k times the point, for k below octaves.
  // Doubling is exact, so octave k + 2 of a point is octave k of 4 times that point.
  void Octaves(int octaves, double x, double y, double z, double* values) const;
  // SumOctaves of the octaves in values, added in the same order to the same bits.
  static double OctaveSum(const double* values, int octaves);

  // Scales a drawn gradient of `count` components to unit length unless it is (nearly) the
  // zero vector, which stays as drawn.
  static void NormalizeGradient(double* components, int count);

  std::vector<int32_t> Perm;
  std::vector<Gradient> Grad3;

private:
  // Grad3[k] and Grad3[k + 1] side by side, one component per pair of lanes: the two gradients
  // a lattice cell needs at its lower and upper z corner, in one cache line.
  typedef double Lanes __attribute__((vector_size(16)));
  struct alignas(64) GradientPair {
    Lanes X;
    Lanes Y;
    Lanes Z;
  };
  // A point's lattice cell: its four gradient pairs and its offsets and fade weights, x in lane
  // 0 and y in lane 1.
  struct Cell {
    const GradientPair* g00;
    const GradientPair* g10;
    const GradientPair* g01;
    const GradientPair* g11;
    Lanes r0;
    Lanes r1;
    Lanes s;
    Lanes rz;
    double sz;
  };
  Cell Prepare(Lanes xy, Lanes zz) const;
  // Calls use(k, value) with each octave's noise in order.
  template <typename Use> void EachOctave(int octaves, double x, double y, double z, Use use) const;
  double Noise3Outside(double x, double y, double z) const;
  static double Blend(const Cell& cell);

  // Perm in half the cache space.
  std::vector<uint16_t> perm16_;
  std::vector<GradientPair> pairs_;
};

} // namespace meridia
