// Terrain maps: integer midpoint displacement after A. Fournier, D. Fussell and L. Carpenter,
// "Computer Rendering of Stochastic Models" (CACM 1982), in its diamond-square form; thermal
// weathering and downhill flow after F. K. Musgrave, C. E. Kolb and R. S. Mace, "The Synthesis
// and Rendering of Eroded Fractal Terrains" (SIGGRAPH 1989).
#include "terrain/TerrainGenerator.h"

#include "engine/Random.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <utility>

namespace meridia {
namespace {

constexpr int32_t kNeighbourDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr int32_t kNeighbourDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

// The shared generator's step, seed * kLcgMultiplier + 1, and the same step taken twice.
constexpr uint32_t kLcgMultiplier = 134775813u;
constexpr uint32_t kLcgMultiplier2 = kLcgMultiplier * kLcgMultiplier;
constexpr uint32_t kLcgIncrement2 = kLcgMultiplier + 1u;

// Direction orders of the smoothing pass: nibble k holds the direction tried k-th.
constexpr uint32_t kIdentityOrder = 0x76543210u;
// Rows of one diagonal front of the smoothing pass.
constexpr int32_t kThermalRows = 4;

// The ten draws of one cell: five times Random(8) twice, swapping the two picked entries. A
// Random(8) is the top three bits of the advanced seed, so 4 * Random(8) is a nibble's shift.
// Every seed is jumped to from the cell's first one, so the multiplications run side by side.
[[gnu::always_inline]] inline uint32_t ShuffleOrder(uint32_t order, uint32_t& seed) {
  static constexpr auto kJumps = [] {
    std::array<std::array<uint32_t, 2>, 11> jumps{};
    jumps[0] = {1u, 0u};
    for (size_t k = 1; k < jumps.size(); ++k) {
      jumps[k] = {jumps[k - 1][0] * kLcgMultiplier, jumps[k - 1][1] * kLcgMultiplier + 1u};
    }
    return jumps;
  }();
  const uint32_t s = seed;
  for (int swap = 0; swap < 5; ++swap) {
    const uint32_t si = s * kJumps[2 * swap + 1][0] + kJumps[2 * swap + 1][1];
    const uint32_t sj = s * kJumps[2 * swap + 2][0] + kJumps[2 * swap + 2][1];
    const uint32_t shift_i = (si >> 27) & 0x1Cu;
    const uint32_t shift_j = (sj >> 27) & 0x1Cu;
    const uint32_t x = ((order >> shift_i) ^ (order >> shift_j)) & 0xFu;
    order ^= (x << shift_i) | (x << shift_j);
  }
  seed = s * kJumps[10][0] + kJumps[10][1];
  return order;
}

// `when` ? a : b, by masking the bits: the compiler keeps a ?: on floats as a branch, and
// these conditions follow the terrain, which no predictor can guess.
[[gnu::always_inline]] inline float Select(bool when, float a, float b) {
  const uint32_t mask = 0u - static_cast<uint32_t>(when);
  return std::bit_cast<float>((std::bit_cast<uint32_t>(a) & mask) |
                              (std::bit_cast<uint32_t>(b) & ~mask));
}

// One neighbour of the smoothing pass: a strictly lower neighbour takes an eighth of the
// difference from the centre.
[[gnu::always_inline]] inline void ErodePair(float& centre, float& neighbour) {
  const float c = centre;
  const float n = neighbour;
  const double d = (static_cast<double>(c) - n) / 8.0;
  const float raised = static_cast<float>(n + d);
  const float lowered = static_cast<float>(c - d);
  const bool lower = n < c;
  neighbour = Select(lower, raised, n);
  centre = Select(lower, lowered, c);
}

// kThermalRows interior cells on one diagonal front: the cell at `first` in the band's top
// row, and three columns further left in each row below. Their blocks are disjoint, so their
// neighbour steps are interleaved.
[[gnu::always_inline]] inline void ErodeFront(float* first, int32_t width, const uint32_t* orders,
                                              int32_t order_stride, const int32_t* offsets) {
  float* centres[kThermalRows];
  float c[kThermalRows];
  uint32_t order[kThermalRows];
  for (int r = 0; r < kThermalRows; ++r) {
    centres[r] = first + static_cast<ptrdiff_t>(r) * width - 3 * r;
    c[r] = *centres[r];
    order[r] = orders[static_cast<ptrdiff_t>(r) * order_stride - 3 * r];
  }
  for (int k = 0; k < 8; ++k) {
    for (int r = 0; r < kThermalRows; ++r) {
      ErodePair(c[r], centres[r][offsets[(order[r] >> (4 * k)) & 7u]]);
    }
  }
  for (int r = 0; r < kThermalRows; ++r) {
    *centres[r] = c[r];
  }
}

// Appends the wall-clock and processor time since the previous mark to the generator's
// timings; processor time is the steadier measure on a busy machine.
class StageClock {
public:
  explicit StageClock(std::vector<TTerrainGenerator::StageTiming>& timings) : timings_(timings) {
    timings_.clear();
  }
  void Mark(const char* name) {
    const auto now = std::chrono::steady_clock::now();
    const std::clock_t cpu_now = std::clock();
    timings_.push_back({name, std::chrono::duration<double>(now - last_).count(),
                        static_cast<double>(cpu_now - cpu_last_) / CLOCKS_PER_SEC});
    last_ = now;
    cpu_last_ = cpu_now;
  }

private:
  std::vector<TTerrainGenerator::StageTiming>& timings_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  std::clock_t cpu_last_ = std::clock();
};

} // namespace

TTerrainGenerator::Amplitudes TTerrainGenerator::DiamondSquareAmplitudes(float roughness,
                                                                         int32_t block_size) {
  // A roughness that is not a number displaces nothing; the limit keeps 2 * A + 1 an int32.
  const double scaled =
      std::isnan(roughness) ? 0.0 : static_cast<double>(roughness) * 64.0 * block_size;
  const double limit = 1 << 29;
  Amplitudes a;
  a.A = static_cast<int32_t>(std::nearbyint(std::clamp(scaled, -limit, limit)));
  a.A2 = static_cast<int32_t>(
      std::nearbyint(std::clamp((1.0 / std::sqrt(2.0)) * scaled, -limit, limit)));
  return a;
}

int32_t TTerrainGenerator::LevelsForSize(int32_t size) {
  for (int32_t levels = 0; levels <= kMaxLevels; ++levels) {
    if (size == (1 << levels)) {
      return levels;
    }
  }
  return -1;
}

void TTerrainGenerator::DiamondSquare(int32_t levels) {
  assert(levels >= 0 && levels <= kMaxLevels && "DiamondSquare: levels out of range");
  if (levels < 0 || levels > kMaxLevels) {
    return;
  }
  const int32_t n = 1 << levels;
  const int32_t mask = n - 1;
  GridSize = n;
  std::vector<int32_t>& grid = Cells[GridPlane];
  grid.resize(static_cast<size_t>(n) * n);
  int32_t* const v = grid.data();
  auto row = [&](int32_t y) { return v + static_cast<ptrdiff_t>(y & mask) * n; };

  uint32_t seed = RandSeed();
  // sum / 4 + Random(2 * amplitude + 1) - amplitude, with the draw made here: the high word
  // of the advanced seed times the range, 0 for an empty range like Random's.
  auto displace = [&seed](int64_t sum, int32_t amplitude) {
    seed = seed * kLcgMultiplier + 1u;
    const uint64_t range = static_cast<uint64_t>(std::max<int64_t>(2 * int64_t{amplitude} + 1, 0));
    const int64_t draw = static_cast<int64_t>((uint64_t{seed} * range) >> 32);
    return static_cast<int32_t>(sum / 4 + draw - amplitude);
  };

  v[0] = 0;
  int32_t s = n;
  int32_t k = levels;
  while (s >= 2) {
    --k;
    const int32_t h = s / 2;
    const Amplitudes amp = DiamondSquareAmplitudes(Roughness[k], s);
    // Each pass reads only cells that the pass does not write, so the order of the reads does
    // not matter; the draws stay in row order.
    for (int32_t y = h; y < n; y += s) { // square centres from the corners
      const int32_t* up = row(y - h);
      const int32_t* down = row(y + h);
      int32_t* centre = row(y);
      for (int32_t x = h; x < n; x += s) {
        const int32_t left = x - h;
        const int32_t right = (x + h) & mask;
        const int64_t sum = int64_t{up[left]} + up[right] + down[left] + down[right];
        centre[x] = displace(sum, amp.A);
      }
    }
    for (int32_t y = 0; y < n; y += s) { // corners from the new centres
      const int32_t* up = row(y - h);
      const int32_t* down = row(y + h);
      int32_t* centre = row(y);
      for (int32_t x = 0; x < n; x += s) {
        const int32_t left = (x - h) & mask;
        const int32_t right = (x + h) & mask;
        const int64_t sum = int64_t{up[left]} + up[right] + down[left] + down[right];
        centre[x] = displace(sum, amp.A2);
      }
    }
    // Edge midpoints from corners and centres, then corners and centres again from the edges.
    for (int32_t pass = 0; pass < 2; ++pass) {
      for (int32_t y = 0; y < n; y += h) {
        const int32_t* up = row(y - h);
        const int32_t* down = row(y + h);
        int32_t* centre = row(y);
        const int32_t first = pass == 0 ? (y + h) & h : y & h;
        for (int32_t x = first; x < n; x += s) {
          const int64_t sum =
              int64_t{up[x]} + centre[(x - h) & mask] + centre[(x + h) & mask] + down[x];
          centre[x] = displace(sum, amp.A2);
        }
      }
    }
    s = h;
  }
  SetRandSeed(seed);
}

void TTerrainGenerator::ErodeThermal() {
  const int32_t width = Width;
  const int32_t height = Height;
  if (width <= 0 || height <= 0) {
    return;
  }
  const bool sized = Heights.size() == static_cast<size_t>(width) * height;
  assert(sized && "ErodeThermal: Heights must hold Width * Height samples");
  if (!sized) {
    return;
  }
  float* heights = Heights.data();
  int32_t offsets[8];
  for (int d = 0; d < 8; ++d) {
    offsets[d] = kNeighbourDy[d] * width + kNeighbourDx[d];
  }
  auto erode_checked = [&](int32_t x, int32_t y, uint32_t order) {
    float* centre = heights + static_cast<ptrdiff_t>(y) * width + x;
    float c = *centre;
    for (int k = 0; k < 8; ++k) {
      const uint32_t d = (order >> (4 * k)) & 7u;
      const int32_t nx = x + kNeighbourDx[d];
      const int32_t ny = y + kNeighbourDy[d];
      if (static_cast<uint32_t>(nx) < static_cast<uint32_t>(width) &&
          static_cast<uint32_t>(ny) < static_cast<uint32_t>(height)) {
        ErodePair(c, centre[offsets[d]]);
      }
    }
    *centre = c;
  };

  uint32_t seed = RandSeed();
  uint32_t order = kIdentityOrder;
  std::vector<uint32_t> orders(static_cast<size_t>(kThermalRows) * width);
  for (int32_t y0 = 0; y0 < height; y0 += kThermalRows) {
    const int32_t rows = std::min(kThermalRows, height - y0);
    // The shuffles carry over from cell to cell in row order; they depend on nothing but the
    // draws, so a band's orders are made first.
    for (size_t i = 0; i < static_cast<size_t>(rows) * width; ++i) {
      order = ShuffleOrder(order, seed);
      orders[i] = order;
    }
    // A cell touches only its 3 x 3 block, so a cell three columns left of one in the row above
    // is independent of it: the band's rows run together on a diagonal front, which keeps the
    // row-major result while several cells' dependency chains proceed side by side.
    const bool inner_band = rows == kThermalRows && y0 >= 1 && y0 + rows <= height - 1;
    const int32_t first_full = 3 * (kThermalRows - 1) + 1;
    for (int32_t t = 0; t < width + 3 * (rows - 1); ++t) {
      if (inner_band && t >= first_full && t <= width - 2) {
        ErodeFront(heights + static_cast<ptrdiff_t>(y0) * width + t, width, orders.data() + t,
                   width, offsets);
        continue;
      }
      for (int32_t r = 0; r < rows; ++r) {
        const int32_t x = t - 3 * r;
        if (x >= 0 && x < width) {
          erode_checked(x, y0 + r, orders[static_cast<size_t>(r) * width + x]);
        }
      }
    }
  }
  SetRandSeed(seed);
}

void TTerrainGenerator::ErodeFlow(float keep) {
  keep = std::clamp(keep, 0.0f, 1.0f);
  const double keep_factor = keep;
  const double take_factor = 1.0 - keep_factor;
  if (Width <= 0 || Height <= 0) {
    return;
  }
  const bool wraps = LevelsForSize(Width) >= 0 && LevelsForSize(Height) >= 0;
  assert(wraps && "ErodeFlow: the map wraps by masks, so both sides must be powers of two");
  const uint32_t width = static_cast<uint32_t>(Width);
  const uint32_t height = static_cast<uint32_t>(Height);
  const uint32_t cells = width * height;
  const bool sized = Heights.size() == cells;
  assert(sized && "ErodeFlow: Heights must hold Width * Height samples");
  if (!wraps || !sized) {
    return;
  }
  const uint32_t x_mask = width - 1;
  const uint32_t width_shift = static_cast<uint32_t>(std::countr_zero(width));
  const uint32_t y_mask = (height - 1) * width;
  // Offsets of the eight neighbours inside the map, twice over, so that five consecutive
  // directions from any start are contiguous; and the wrapping parts for cells on an edge.
  int32_t offsets[16];
  uint32_t wrap_dx[8];
  uint32_t wrap_dy[8];
  for (int d = 0; d < 8; ++d) {
    offsets[d] = offsets[d + 8] = kNeighbourDy[d] * Width + kNeighbourDx[d];
    wrap_dx[d] = static_cast<uint32_t>(kNeighbourDx[d]);
    wrap_dy[d] = static_cast<uint32_t>(kNeighbourDy[d] * Width);
  }
  // Cells with all eight neighbours inside the map: 1 <= x <= width - 2, same for y.
  const uint32_t inner_x = width > 2 ? width - 2 : 0;
  const uint32_t inner_y = height > 2 ? height - 2 : 0;

  // A particle is the index y * width + x of the cell it sits on.
  std::vector<uint32_t> particles(cells);
  for (uint32_t i = 0; i < cells; ++i) {
    particles[i] = i;
  }
  uint32_t* list = particles.data();
  float* heights = Heights.data();
  uint32_t seed = RandSeed();
  int64_t count = cells;
  // How many particles ahead the height rows are fetched: enough to cover a trip to memory.
  constexpr int64_t kAhead = 24;
  // The list is read downwards, which the hardware does not fetch ahead on its own.
  constexpr int64_t kListAhead = 256;
  const uint32_t all_mask = cells - 1;

  while (count > 0) {
    for (int64_t i = count - 1; i >= 0; --i) {
      if (i >= kListAhead) {
        __builtin_prefetch(list + i - kListAhead);
      }
      if (i >= kAhead) {
        const uint32_t ahead = list[i - kAhead];
        __builtin_prefetch(heights + ((ahead - width) & all_mask));
        __builtin_prefetch(heights + ahead);
        __builtin_prefetch(heights + ((ahead + width) & all_mask));
      }
      const uint32_t cell = list[i];
      // Two draws of Random(64): the top six bits of each advanced seed. The second seed is
      // jumped to directly so that the two multiplications do not wait on each other.
      const uint32_t seed1 = seed * kLcgMultiplier + 1u;
      const uint32_t seed2 = seed * kLcgMultiplier2 + kLcgIncrement2;
      seed = seed2;
      const uint32_t start = ((seed1 >> 26) + (seed2 >> 26) + 1u) & 7u;

      const float own = heights[cell];
      float best = own;
      uint32_t target = cell;
      const uint32_t x = cell & x_mask;
      const uint32_t y = cell >> width_shift;
      if (x - 1u < inner_x && y - 1u < inner_y) [[likely]] {
        const int32_t* offset = offsets + start;
        for (int look = 0; look < 5; ++look) {
          const uint32_t n = cell + static_cast<uint32_t>(offset[look]);
          const float h = heights[n];
          const bool lower = h < best;
          best = lower ? h : best;
          target = lower ? n : target;
        }
      } else {
        for (uint32_t look = 0; look < 5; ++look) {
          const uint32_t d = (start + look) & 7u;
          const uint32_t n = ((cell + wrap_dy[d]) & y_mask) | ((cell + wrap_dx[d]) & x_mask);
          const float h = heights[n];
          const bool lower = h < best;
          best = lower ? h : best;
          target = lower ? n : target;
        }
      }
      // Only a strictly lower neighbour can be chosen, so the particle moved iff the target
      // is another cell.
      if (target != cell) {
        const float blended = static_cast<float>(own * keep_factor + best * take_factor);
        heights[cell] = blended;
        heights[target] = blended;
        list[i] = target;
      } else {
        --count;
        list[i] = list[count];
      }
    }
  }
  SetRandSeed(seed);
}

bool TTerrainGenerator::Generate() {
  const int32_t levels = LevelsForSize(Width);
  if (levels < 0 || Width != Height) {
    return false;
  }
  StageClock clock(Timings);
  const size_t count = static_cast<size_t>(Width) * Height;

  Roughness.fill(0.0f);
  const float first[7] = {0.9f, 0.1f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f};
  std::copy(std::begin(first), std::end(first), Roughness.begin());
  GridPlane = 0;
  DiamondSquare(levels);
  clock.Mark("DiamondSquare 1");

  // The second fractal is never used; drawing it only moves the random sequence on to where
  // the erosion passes expect it.
  const float second[8] = {0.0f, 0.03f, 0.04f, 0.05f, 0.05f, 0.05f, 0.02f, 0.03f};
  std::copy(std::begin(second), std::end(second), Roughness.begin());
  GridPlane = 1;
  DiamondSquare(levels);
  clock.Mark("DiamondSquare 2");
  std::vector<int32_t>().swap(Cells[1]);

  // A soft S-curve around the mean level.
  Heights.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const float v = static_cast<float>(Cells[0][i]);
    const double h = v / 65536.0 + 0.5;
    Heights[i] = static_cast<float>(h * 0.5 * (h / std::sqrt(h * h + 14745600.0) + 1.0));
  }
  std::vector<int32_t>().swap(Cells[0]);
  Uneroded = Heights;
  clock.Mark("Reshape");

  ErodeThermal();
  clock.Mark("ErodeThermal 1");
  ErodeFlow(0.4f);
  clock.Mark("ErodeFlow 1");
  ErodeThermal();
  clock.Mark("ErodeThermal 2");
  ErodeFlow(0.4f);
  clock.Mark("ErodeFlow 2");
  ErodeThermal();
  clock.Mark("ErodeThermal 3");

  // The working arrays become the maps' samples: both are row-major already.
  for (size_t i = 0; i < count; ++i) {
    Uneroded[i] = static_cast<float>(static_cast<double>(Uneroded[i]) - Heights[i]);
  }
  ErosionMap.Width = BaseMap.Width = Width;
  ErosionMap.Height = BaseMap.Height = Height;
  ErosionMap.Data = std::move(Heights);
  BaseMap.Data = std::move(Uneroded);
  Heights.clear();
  Uneroded.clear();
  ErosionMap.Normalize();
  BaseMap.NormalizeWith(ErosionMap.Range);
  clock.Mark("Maps and Normalize");
  return true;
}

} // namespace meridia
