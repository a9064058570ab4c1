// Terrain maps: integer midpoint displacement after A. Fournier, D. Fussell and L. Carpenter,
// "Computer Rendering of Stochastic Models" (CACM 1982), in its diamond-square form; thermal
// weathering and downhill flow after F. K. Musgrave, C. E. Kolb and R. S. Mace, "The Synthesis
// and Rendering of Eroded Fractal Terrains" (SIGGRAPH 1989).
#include "terrain/TerrainGenerator.h"

#include "engine/Random.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <utility>

namespace meridia {
namespace {

constexpr int32_t kNeighbourDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr int32_t kNeighbourDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

int32_t Displace(int64_t sum, int32_t amplitude) {
  const int64_t value = sum / 4 + Random(2 * amplitude + 1) - amplitude;
  return static_cast<int32_t>(value);
}

// Appends the time since the previous mark to the generator's timings.
class StageClock {
public:
  explicit StageClock(std::vector<TTerrainGenerator::StageTiming>& timings) : timings_(timings) {
    timings_.clear();
  }
  void Mark(const char* name) {
    const auto now = std::chrono::steady_clock::now();
    timings_.push_back({name, std::chrono::duration<double>(now - last_).count()});
    last_ = now;
  }

private:
  std::vector<TTerrainGenerator::StageTiming>& timings_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

} // namespace

TTerrainGenerator::Amplitudes TTerrainGenerator::DiamondSquareAmplitudes(float roughness,
                                                                         int32_t block_size) {
  const double scaled = static_cast<double>(roughness) * 64.0 * block_size;
  const double limit = 1 << 29; // keeps 2 * A + 1 and the sums of four values in range
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
  const int32_t n = 1 << levels;
  const int32_t mask = n - 1;
  GridSize = n;
  std::vector<int32_t>& grid = Cells[GridPlane];
  grid.resize(static_cast<size_t>(n) * n);
  auto v = [&](int32_t x, int32_t y) -> int32_t& {
    return grid[static_cast<size_t>(y & mask) * n + (x & mask)];
  };
  v(0, 0) = 0;
  int32_t s = n;
  int32_t k = levels;
  while (s >= 2) {
    --k;
    const int32_t h = s / 2;
    const Amplitudes amp = DiamondSquareAmplitudes(Roughness[k], s);
    auto diagonal = [&](int32_t x, int32_t y) -> int64_t {
      return int64_t{v(x - h, y - h)} + v(x + h, y - h) + v(x - h, y + h) + v(x + h, y + h);
    };
    auto orthogonal = [&](int32_t x, int32_t y) -> int64_t {
      return int64_t{v(x, y - h)} + v(x - h, y) + v(x + h, y) + v(x, y + h);
    };
    for (int32_t y = h; y < n; y += s) {
      for (int32_t x = h; x < n; x += s) {
        v(x, y) = Displace(diagonal(x, y), amp.A);
      }
    }
    for (int32_t y = 0; y < n; y += s) {
      for (int32_t x = 0; x < n; x += s) {
        v(x, y) = Displace(diagonal(x, y), amp.A2);
      }
    }
    for (int32_t y = 0; y < n; y += h) {
      for (int32_t x = (y + h) & h; x < n; x += s) {
        v(x, y) = Displace(orthogonal(x, y), amp.A2);
      }
    }
    for (int32_t y = 0; y < n; y += h) {
      for (int32_t x = y & h; x < n; x += s) {
        v(x, y) = Displace(orthogonal(x, y), amp.A2);
      }
    }
    s = h;
  }
}

void TTerrainGenerator::ErodeThermal() {
  int32_t order[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) {
      for (int shuffle = 0; shuffle < 5; ++shuffle) {
        const int32_t i = Random(8);
        const int32_t j = Random(8);
        if (i != j) {
          std::swap(order[i], order[j]);
        }
      }
      float& centre = Heights[static_cast<size_t>(y) * Width + x];
      for (int32_t direction : order) {
        const int32_t nx = x + kNeighbourDx[direction];
        const int32_t ny = y + kNeighbourDy[direction];
        if (nx < 0 || nx >= Width || ny < 0 || ny >= Height) {
          continue;
        }
        float& neighbour = Heights[static_cast<size_t>(ny) * Width + nx];
        if (neighbour < centre) {
          const double d = (static_cast<double>(centre) - neighbour) / 8.0;
          neighbour = static_cast<float>(neighbour + d);
          centre = static_cast<float>(centre - d);
        }
      }
    }
  }
}

void TTerrainGenerator::ErodeFlow(float keep) {
  keep = std::clamp(keep, 0.0f, 1.0f);
  const double keep_factor = keep;
  const double take_factor = 1.0 - keep_factor;
  struct Particle {
    int32_t x;
    int32_t y;
  };
  std::vector<Particle> particles(static_cast<size_t>(Width) * Height);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) {
      particles[static_cast<size_t>(y) * Width + x] = Particle{x, y};
    }
  }
  auto at = [&](int32_t x, int32_t y) -> float& {
    return Heights[static_cast<size_t>(y) * Width + x];
  };
  int64_t count = static_cast<int64_t>(particles.size());
  while (count > 0) {
    for (int64_t i = count - 1; i >= 0; --i) {
      Particle& p = particles[i];
      float best = at(p.x, p.y);
      int32_t r = Random(64) + Random(64);
      bool moves = false;
      Particle target{};
      for (int look = 0; look < 5; ++look) {
        r = (r + 1) & 7;
        const int32_t nx = (p.x + kNeighbourDx[r]) & (Width - 1);
        const int32_t ny = (p.y + kNeighbourDy[r]) & (Height - 1);
        if (at(nx, ny) < best) {
          best = at(nx, ny);
          target = Particle{nx, ny};
          moves = true;
        }
      }
      if (!moves) {
        if (i != count - 1) {
          p = particles[count - 1];
        }
        --count;
        continue;
      }
      float& source = at(p.x, p.y);
      source = static_cast<float>(source * keep_factor + best * take_factor);
      at(target.x, target.y) = source;
      p = target;
    }
  }
}

bool TTerrainGenerator::Generate() {
  const int32_t levels = LevelsForSize(Width);
  assert(levels >= 0 && Width == Height && "Generate: the map must be square, 2^n samples wide");
  if (levels < 0 || Width != Height) {
    return false;
  }
  StageClock clock(Timings);
  const size_t count = static_cast<size_t>(Width) * Height;
  Cells[0].assign(count, 0);
  Cells[1].assign(count, 0);
  Heights.assign(count, 0.0f);
  Uneroded.assign(count, 0.0f);
  ErosionMap.SetSize(Width, Height);
  BaseMap.SetSize(Width, Height);

  Roughness.fill(0.0f);
  const float first[7] = {0.9f, 0.1f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f};
  std::copy(std::begin(first), std::end(first), Roughness.begin());
  GridPlane = 0;
  DiamondSquare(levels);
  clock.Mark("DiamondSquare 1");

  const float second[8] = {0.0f, 0.03f, 0.04f, 0.05f, 0.05f, 0.05f, 0.02f, 0.03f};
  std::copy(std::begin(second), std::end(second), Roughness.begin());
  GridPlane = 1;
  DiamondSquare(levels);
  clock.Mark("DiamondSquare 2");
  std::vector<int32_t>().swap(Cells[1]);
  for (size_t i = 0; i < count; ++i) {
    Heights[i] = static_cast<float>(Cells[0][i]);
  }
  std::vector<int32_t>().swap(Cells[0]);
  for (float& v : Heights) {
    const double h = v / 65536.0 + 0.5;
    v = static_cast<float>(h * 0.5 * (h / std::sqrt(h * h + 14745600.0) + 1.0));
  }
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

  for (size_t i = 0; i < count; ++i) {
    ErosionMap.Data[i] = Heights[i];
    BaseMap.Data[i] = static_cast<float>(static_cast<double>(Uneroded[i]) - Heights[i]);
  }
  std::vector<float>().swap(Heights);
  std::vector<float>().swap(Uneroded);
  ErosionMap.Normalize();
  BaseMap.NormalizeWith(ErosionMap.Range);
  clock.Mark("Maps and Normalize");
  return true;
}

} // namespace meridia
