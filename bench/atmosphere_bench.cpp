// The sky's colour update runs on the main thread on every refinement frame, which during a
// descent is most frames; the table is built once at start-up.
#include "ShellContext.h"

#include "engine/WorkerPool.h"
#include "view/Scatter.h"

#include <GL/gl.h>
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

// The same update in two halves with nothing between them: the caller's share and the worker
// pool's together, as the frame waits for them when it has nothing else left to do.
void UpdateInHalvesFrom(benchmark::State& state, const Vector3f& camera) {
  StartWorkerPool();
  {
    TScatter_CPU sky;
    for (auto _ : state) {
      sky.BeginUpdateColors(camera);
      sky.FinishUpdateColors();
      benchmark::DoNotOptimize(sky.OuterSphere.Vertices.data());
      benchmark::ClobberMemory();
    }
  }
  StopWorkerPool();
}

void BM_UpdateColorsInHalvesOrbit(benchmark::State& state) {
  UpdateInHalvesFrom(state, kOrbit);
}
BENCHMARK(BM_UpdateColorsInHalvesOrbit)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_UpdateColorsInHalvesNearGround(benchmark::State& state) {
  UpdateInHalvesFrom(state, kNearGround);
}
BENCHMARK(BM_UpdateColorsInHalvesNearGround)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Drawing the sphere: the way it was drawn before, a colour and a vertex call per vertex, beside
// the client arrays it is drawn from now. Run under GALLIUM_NOOP=1 to see the calls' own cost
// without the rasterizer's.
struct SkyContext : bench::ShellContext {
  SkyContext() { sky.UpdateColors(kNearGround); }
  TScatter_CPU sky;
};

SkyContext& Sky() {
  static SkyContext* context = new SkyContext; // outlives every benchmark; never torn down
  return *context;
}

void BM_SkyRenderOneByOne(benchmark::State& state) {
  SkyContext& context = Sky();
  if (!context.ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  const TScatterSphere& sphere = context.sky.OuterSphere;
  for (auto _ : state) {
    for (const TScatterPrimitive& primitive : sphere.Primitives) {
      glBegin(primitive.Fan ? GL_TRIANGLE_FAN : GL_TRIANGLE_STRIP);
      for (int32_t i = primitive.First; i < primitive.First + primitive.Count; ++i) {
        const TScatterVertex& v =
            sphere.Vertices[static_cast<size_t>(sphere.DrawIndices[static_cast<size_t>(i)])];
        glColor4ubv(&v.red);
        glVertex3fv(&v.x);
      }
      glEnd();
    }
    glFinish();
  }
}
BENCHMARK(BM_SkyRenderOneByOne)->Unit(benchmark::kMicrosecond);

void BM_SkyRenderArrays(benchmark::State& state) {
  SkyContext& context = Sky();
  if (!context.ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  for (auto _ : state) {
    context.sky.OuterSphere.Render();
    glFinish();
  }
}
BENCHMARK(BM_SkyRenderArrays)->Unit(benchmark::kMicrosecond);

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
