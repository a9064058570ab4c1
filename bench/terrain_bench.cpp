// Noise evaluation, which the height function runs for every vertex and texel, and the one-off
// terrain-map generation with the time of each of its steps.
#include "engine/Random.h"
#include "terrain/NoiseClass.h"
#include "terrain/NoiseExtra.h"
#include "terrain/TerrainGenerator.h"

#include <benchmark/benchmark.h>

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

// Points spread over a few hundred lattice cells in every direction, both signs, like the
// scaled sphere directions the height function asks for.
std::vector<Point> Points() {
  SetRandSeed(1234);
  std::vector<Point> points(4096);
  for (Point& p : points) {
    p = {RandomReal() * 600.0 - 300.0, RandomReal() * 600.0 - 300.0, RandomReal() * 600.0 - 300.0};
  }
  return points;
}

void BM_Noise3(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = Points();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(noise.Noise3(p.x, p.y, p.z));
  }
}
BENCHMARK(BM_Noise3);

void BM_SumOctaves7(benchmark::State& state) {
  const TNoiseExtra& noise = Noise();
  const std::vector<Point> points = Points();
  size_t i = 0;
  for (auto _ : state) {
    const Point& p = points[i++ & 4095];
    benchmark::DoNotOptimize(noise.SumOctaves(7, p.x, p.y, p.z));
  }
}
BENCHMARK(BM_SumOctaves7);

// The program's generation: planet seed 500, both noise tables initialised first, 2048 x 2048.
// Each step's time is reported as a counter in milliseconds.
void BM_Generate(benchmark::State& state) {
  const int32_t size = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto extra = std::make_unique<TNoiseExtra>();
    extra->Init(500);
    auto noise = std::make_unique<TzoNoiseClass>();
    noise->Init(500);
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
      state.counters[stage.Name] = stage.Seconds * 1e3;
    }
    generator.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Generate)->Arg(2048)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Generate)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
