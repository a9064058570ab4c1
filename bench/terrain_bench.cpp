// Noise evaluation, which the height function runs for every vertex and texel, the one-off
// terrain-map generation of a world with the time of each of its steps, and a visited world's
// maps loaded again.
#include "engine/Random.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/NoiseClass.h"
#include "terrain/NoiseExtra.h"
#include "terrain/TerrainGenerator.h"
#include "terrain/TerrainMaps.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace meridia {
namespace {

struct Point {
  double x, y, z;
};

const TNoiseExtra& Noise() {
  static const std::unique_ptr<TNoiseExtra> noise = [] {
    auto n = std::make_unique<TNoiseExtra>();
    n->Init(500);
    return n;
  }();
  return *noise;
}

// Random unit directions, as the height function receives them.
std::vector<Point> Directions() {
  SetRandSeed(1234);
  std::vector<Point> points(4096);
  for (Point& p : points) {
    double x, y, z, length;
    do {
      x = RandomReal() * 2.0 - 1.0;
      y = RandomReal() * 2.0 - 1.0;
      z = RandomReal() * 2.0 - 1.0;
      length = std::sqrt(x * x + y * y + z * z);
    } while (length > 1.0 || length < 1e-3);
    p = {x / length, y / length, z / length};
  }
  return points;
}

// The points single octaves are evaluated at: directions scaled by 2, 4, ... 128, the seven
// octaves of the height function's continent mask.
std::vector<Point> OctavePoints() {
  std::vector<Point> points = Directions();
  for (size_t i = 0; i < points.size(); ++i) {
    const double scale = 2.0 * (1 << (i % 7));
    points[i] = {points[i].x * scale, points[i].y * scale, points[i].z * scale};
  }
  return points;
}

// Points all over a cube of 600 lattice cells: every lookup likely misses the first-level cache.
std::vector<Point> ScatteredPoints() {
  SetRandSeed(4321);
  std::vector<Point> points(4096);
  for (Point& p : points) {
    p = {RandomReal() * 600.0 - 300.0, RandomReal() * 600.0 - 300.0, RandomReal() * 600.0 - 300.0};
  }
  return points;
}

// The plain evaluation from the public tables, one gradient at a time, as a baseline for the
// speed-up: on a shared machine only ratios from one run mean much.
double ReferenceNoise3(const TNoiseExtra& noise, double x, double y, double z) {
  struct Axis {
    int32_t b0, b1;
    double r0, r1, s;
  };
  auto locate = [](double w) {
    const int64_t periods = static_cast<int64_t>(w / 4096);
    const double t = w - static_cast<double>(periods * 4096) + 4096;
    const int32_t i = static_cast<int32_t>(t);
    Axis a;
    a.b0 = i & 4095;
    a.b1 = (a.b0 + 1) & 4095;
    a.r0 = t - i;
    a.r1 = a.r0 - 1.0;
    a.s = a.r0 * a.r0 * (3.0 - 2.0 * a.r0);
    return a;
  };
  auto dot = [&](int32_t k, double p, double q, double r) {
    const TNoiseExtra::Gradient& g = noise.Grad3[k];
    return g.X * p + g.Y * q + g.Z * r;
  };
  auto lerp = [](double s, double p, double q) { return p + s * (q - p); };
  const Axis ax = locate(x), ay = locate(y), az = locate(z);
  const int32_t i = noise.Perm[ax.b0], j = noise.Perm[ax.b1];
  const int32_t b00 = noise.Perm[i + ay.b0], b10 = noise.Perm[j + ay.b0];
  const int32_t b01 = noise.Perm[i + ay.b1], b11 = noise.Perm[j + ay.b1];
  auto plane = [&](int32_t bz, double rz) {
    const double e = lerp(ax.s, dot(b00 + bz, ax.r0, ay.r0, rz), dot(b10 + bz, ax.r1, ay.r0, rz));
    const double f = lerp(ax.s, dot(b01 + bz, ax.r0, ay.r1, rz), dot(b11 + bz, ax.r1, ay.r1, rz));
    return lerp(ay.s, e, f);
  };
  return lerp(az.s, plane(az.b0, az.r0), plane(az.b1, az.r1));
}

double ReferenceSumOctaves(const TNoiseExtra& noise, int octaves, double x, double y, double z) {
  double sum = 0.0, amplitude = 1.0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += amplitude * ReferenceNoise3(noise, x, y, z);
    x *= 2.0;
    y *= 2.0;
    z *= 2.0;
    amplitude *= 0.5;
  }
  return std::fabs(sum);
}

void RunNoise3(benchmark::State& state, const std::vector<Point>& points) {
  const TNoiseExtra& noise = Noise();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(noise.Noise3(p.x, p.y, p.z));
  }
}

void BM_Noise3(benchmark::State& state) {
  RunNoise3(state, OctavePoints());
}
BENCHMARK(BM_Noise3);

void BM_Noise3Scattered(benchmark::State& state) {
  RunNoise3(state, ScatteredPoints());
}
BENCHMARK(BM_Noise3Scattered);

void BM_Noise3Reference(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = OctavePoints();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(ReferenceNoise3(noise, p.x, p.y, p.z));
  }
}
BENCHMARK(BM_Noise3Reference);

// The continent mask's call: seven octaves from twice a unit direction.
void BM_SumOctaves7(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = Directions();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(noise.SumOctaves(7, 2 * p.x, 2 * p.y, 2 * p.z));
  }
}
BENCHMARK(BM_SumOctaves7);

void BM_SumOctaves7Scattered(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = ScatteredPoints();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(noise.SumOctaves(7, p.x, p.y, p.z));
  }
}
BENCHMARK(BM_SumOctaves7Scattered);

void BM_SumOctaves7Reference(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = Directions();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(ReferenceSumOctaves(noise, 7, 2 * p.x, 2 * p.y, 2 * p.z));
  }
}
BENCHMARK(BM_SumOctaves7Reference);

// The generation of a world's maps: both noise tables initialised with its seed first, as the
// height-map factory does. Each step's processor time is reported as a counter in milliseconds.
void BM_Generate(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  const int32_t seed = static_cast<int32_t>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    auto extra = std::make_unique<TNoiseExtra>();
    extra->Init(seed);
    auto noise = std::make_unique<TzoNoiseClass>();
    noise->Init(seed);
    auto generator = std::make_unique<TTerrainGenerator>();
    generator->Width = size;
    generator->Height = size;
    state.ResumeTiming();
    if (!generator->Generate()) {
      state.SkipWithError("Generate refused the size");
      return;
    }
    state.PauseTiming();
    for (const auto& stage : generator->Timings) {
      state.counters[stage.Name] = stage.CpuSeconds * 1e3;
    }
    generator.reset();
    state.ResumeTiming();
  }
}
// The default world and two others, side by side.
BENCHMARK(BM_Generate)
    ->ArgNames({"size", "seed"})
    ->Args({2048, 500})
    ->Args({2048, 7})
    ->Args({2048, -2024})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Generate)->ArgNames({"size", "seed"})->Args({256, 500})->Unit(benchmark::kMillisecond);

// A visited world's start: the height-map factory over maps already on the disk (the default
// world's bare files, another world's tagged ones in its own folder), as the viewer builds it.
void BM_FactoryOverKeptMaps(benchmark::State& state) {
  const int32_t seed = static_cast<int32_t>(state.range(0));
  char pattern[] = "/tmp/meridia-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(pattern);
  std::filesystem::create_directories(WorldMapFolder(seed));
  // What the samples are does not change the cost of reading them.
  THeightMapBuffer map;
  map.SetSize(kMapSide, kMapSide);
  SetRandSeed(99);
  for (float& sample : map.Data) {
    sample = static_cast<float>(RandomReal());
  }
  const bool written = SaveHeightMapToFile(map, WorldMapFolder(seed) + "errosion.dat", seed) &&
                       SaveHeightMapToFile(map, WorldMapFolder(seed) + "basemap.dat", seed);
  for (auto _ : state) {
    const THeightMapFactory factory(seed);
    if (factory.ErosionSampler == nullptr || !written) {
      state.SkipWithError("the kept maps were not loaded");
      break;
    }
  }
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(pattern);
}
BENCHMARK(BM_FactoryOverKeptMaps)
    ->ArgNames({"seed"})
    ->Arg(500)
    ->Arg(7)
    ->Arg(-2024)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
