// The sky's colour update runs on the main thread on every refinement frame, which during a
// descent is most frames; the table is built once at start-up.
#include "view/Scatter.h"

#include <benchmark/benchmark.h>

namespace meridia {
namespace {

// Camera in world units: the start-up position in orbit, and 1 unit (10 km) above the sea
// sphere under the sun.
constexpr Vector3f kOrbit{0.0f, 0.0f, 1000.0f};
constexpr Vector3f kNearGround{392.0f, 392.0f, 392.0f};

void UpdateFrom(benchmark::State& state, const Vector3f& camera) {
  TScatter_CPU sky;
  for (auto _ : state) {
    sky.UpdateColors(camera);
    benchmark::DoNotOptimize(sky.OuterSphere.Vertices.data());
    benchmark::ClobberMemory();
  }
}

void BM_UpdateColorsOrbit(benchmark::State& state) {
  UpdateFrom(state, kOrbit);
}
BENCHMARK(BM_UpdateColorsOrbit)->Unit(benchmark::kMicrosecond);

void BM_UpdateColorsNearGround(benchmark::State& state) {
  UpdateFrom(state, kNearGround);
}
BENCHMARK(BM_UpdateColorsNearGround)->Unit(benchmark::kMicrosecond);

void BM_BuildOpticalDepthTable(benchmark::State& state) {
  const TScatter_CPU sky;
  CPixelBuffer table;
  for (auto _ : state) {
    BuildOpticalDepthTable(table, sky.MieScaleDepth, sky.RayleighScaleDepth, sky.OuterRadius,
                           sky.InnerRadius);
    benchmark::DoNotOptimize(table.DataRef);
  }
}
BENCHMARK(BM_BuildOpticalDepthTable)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
