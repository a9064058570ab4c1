// TzoNoiseClass: one-, two- and three-dimensional gradient tables on a lattice of period 256,
// with fixed-point copies. Init is what matters to the program: it leaves the shared random
// generator exactly 7 * 256 draws past the seed, the state the terrain generator starts from.
#pragma once

#include <array>
#include <cstdint>

namespace meridia {

class TzoNoiseClass {
public:
  static constexpr int32_t kSize = 256;
  // Entries kSize .. 2 * kSize + 1 repeat the first ones.
  static constexpr int32_t kTableLength = 2 * kSize + 3;
  static constexpr int32_t kDrawsPerInit = 7 * kSize;

  // Seeds the shared random generator with `seed` and fills every table from it.
  void Init(int32_t seed);

  std::array<int32_t, kTableLength> Perm{};
  std::array<double, kTableLength> Grad1{};
  std::array<std::array<double, 2>, kTableLength> Grad2{};
  // The gradients times 1024, truncated toward zero.
  std::array<std::array<int32_t, 2>, kTableLength> Grad2Fixed{};
  std::array<std::array<double, 3>, kTableLength> Grad3{};
  std::array<std::array<int32_t, 3>, kTableLength> Grad3Fixed{};
};

} // namespace meridia
