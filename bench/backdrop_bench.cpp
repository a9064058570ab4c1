// What the galaxy backdrop costs: its billboards and card built on the CPU, the card painted by
// the first frame that shows it, and a frame's draw of the card at the orbit's first view in an 800
// by 600 offscreen context, finished (on llvmpipe: rasterized), beside the same frame cleared and
// finished alone. process_cpu_ms counts the rasterizer's threads too.
#include "ShellContext.h"

#include "backdrop/GalaxySky.h"
#include "backdrop/GalaxyTextures.h"
#include "decoders/ImageDecoders.h"
#include "engine/VectorGeometry.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "models/Material.h"

#include <GL/glu.h>

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>

namespace meridia {
namespace {

// The program's window and context, run from the runnable folder for the backdrop's pictures;
// made on first use and kept for the whole run.
struct Context : bench::ShellContext {
  Context() {
    std::filesystem::current_path(MERIDIA_RUN_DIR);
    if (!ready) {
      return;
    }
    LoadGLEntryPoints();
    ReadGLImplementation();
    DeriveFeatureFlags();
    DropOptionalEntryPointsNotOffered();
    RegisterImageDecoders();
    LoadGalaxyTextures(LoadTexture);
    galaxy.BuildGalaxy(0);
    sky.Build(galaxy, DefaultGalaxyPlacement());
    glViewport(0, 0, 800, 600);
    ready = sky.Paint();
  }
  TGalaxyRender galaxy;
  TGalaxySky sky;
};

Context& GL() {
  static Context* context = new Context; // outlives every benchmark; never torn down
  return *context;
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

void BM_BuildBillboardsAndCard(benchmark::State& state) {
  TGalaxyRender galaxy;
  galaxy.BuildGalaxy(0);
  for (auto _ : state) {
    TGalaxySky sky;
    sky.Build(galaxy, DefaultGalaxyPlacement());
    benchmark::DoNotOptimize(sky.CardVertices.data());
  }
}
BENCHMARK(BM_BuildBillboardsAndCard)->Unit(benchmark::kMillisecond);

void BM_PaintCard(benchmark::State& state) {
  Context& gl = GL();
  if (!gl.ready) {
    state.SkipWithError("no OpenGL context or no card");
    return;
  }
  const double cpu = ProcessCpuMs();
  for (auto _ : state) {
    gl.sky.Paint();
    glFinish();
  }
  state.counters["process_cpu_ms"] =
      (ProcessCpuMs() - cpu) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PaintCard)->Unit(benchmark::kMillisecond);

// Arg 0: the cleared frame alone; 1: with the card drawn over it, as the orbit starts; 2: the
// same with the cells behind the planet left out, as the viewer draws it.
void BM_Frame(benchmark::State& state) {
  Context& gl = GL();
  if (!gl.ready) {
    state.SkipWithError("no OpenGL context or no card");
    return;
  }
  const bool backdrop = state.range(0) != 0;
  const TSkyOccluder planet{{0, 0, -2500}, state.range(0) == 2 ? 670.0f : 0.0f};
  glViewport(0, 0, 800, 600);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(40.0, 800.0 / 600.0, 1.0, 16384.0);
  glMatrixMode(GL_MODELVIEW);
  Matrix4f view; // looking down -z from (0, 0, 2500)
  view.m[3][2] = -2500.0f;
  glLoadMatrixf(view.Data());
  glFinish();
  const double cpu = ProcessCpuMs();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (backdrop) {
      gl.sky.Render(view, 1.0f, planet);
    }
    glFinish();
  }
  state.counters["process_cpu_ms"] =
      (ProcessCpuMs() - cpu) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Frame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace meridia
