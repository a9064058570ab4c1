// What the tree kinds cost at start-up: growth and meshing of each kind on the CPU, and the whole
// of CreateTreeKinds (programs, growth, buffers, both 16-view atlases) in an 800 by 600 offscreen
// context. The counters give each kind's triangles (the full strip, as a draw counts it) and
// leaves.
#include "ShellContext.h"

#include "decoders/ImageDecoders.h"
#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/Tree.h"
#include "view/Frustum.h"

#include <GL/glu.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace meridia {
namespace {

void Counters(benchmark::State& state, const TTree& tree) {
  state.counters["stem_triangles"] = static_cast<double>(tree.StemIndices.size() - 2);
  state.counters["leaves"] = static_cast<double>(tree.LeafList.size());
  state.counters["full_triangles"] = tree.PlanDraw(0).Triangles;
}

void BM_GrowTreeKind(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  for (auto _ : state) {
    SetRandSeed(500);
    TTree tree;
    tree.Grow(kind, kTreeAtlasSize, nullptr);
    benchmark::DoNotOptimize(tree.StemVertices.data());
    state.PauseTiming();
    Counters(state, tree);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_GrowTreeKind)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The program's window and context, run from the runnable folder for the shipped programs and
// pictures; made on first use and kept for the whole run.
struct Context : bench::ShellContext {
  Context() {
    std::filesystem::current_path(MERIDIA_RUN_DIR);
    if (ready) {
      LoadGLEntryPoints();
      ReadGLImplementation();
      DeriveFeatureFlags();
      DropOptionalEntryPointsNotOffered();
      RegisterImageDecoders();
    }
  }
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

void BM_CreateTreeKinds(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  double cpu = 0;
  for (auto _ : state) {
    const double cpu_start = ProcessCpuMs();
    SetRandSeed(500);
    CreateTreeKinds([](const std::string&) {});
    glFinish();
    cpu += ProcessCpuMs() - cpu_start;
    state.PauseTiming();
    FreeTreeKinds();
    state.ResumeTiming();
  }
  state.counters["process_cpu_ms"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CreateTreeKinds)->Unit(benchmark::kMillisecond)->Iterations(5);

// Trees planted in a row across the view of an 800 by 600 frame, seen from 8 m above the ground
// at the given distance (planet units), drawn the way the decoration pass draws them: what one
// tree costs as an impostor, in the band where both are drawn, and as reduced or full geometry.
void BM_DrawPlantedTrees(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  if (TreeKinds.empty()) {
    SetRandSeed(500);
    CreateTreeKinds([](const std::string&) {});
  }
  const float distance = static_cast<float>(state.range(0)) / 10000.0f;
  const int count = static_cast<int>(state.range(1));
  const Vector3f up{0, 0, 1};
  const Vector3f eye{0, -distance, 678.5f + 0.0008f};
  TPlanetaryTrees trees({0, 0, 678.5f});
  trees.SetCount(count);
  for (int i = 0; i < count; ++i) {
    // Spread across the middle of the view, kinds alternating.
    const float across = (static_cast<float>(i) / static_cast<float>(count) - 0.5f) * distance;
    trees.AddTree(i, i, {across, 0, 678.5f});
  }
  glViewport(0, 0, 800, 600);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(40, 800.0 / 600.0, 0.00005, 2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, 0, 0, 678.5f + 0.0008f, up.x, up.y, up.z);
  TzoFrustum frustum;
  frustum.Extract();
  // The rasterizer's own threads do much of the work: the process's CPU time counts them too,
  // and stays meaningful on a busy machine where the wall time does not.
  const double cpu_start = ProcessCpuMs();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TrisCount = 0;
    trees.Render(frustum, eye);
    DrawPlantedTrees();
    glFinish();
  }
  state.counters["process_cpu_ms"] =
      (ProcessCpuMs() - cpu_start) / static_cast<double>(state.iterations());
  state.counters["lod"] = TPlanetaryTrees::Lod({0, 0, 678.5f}, eye);
  state.counters["tris"] = TrisCount;
  state.SetItemsProcessed(state.iterations() * count);
}
// 500 far trees (impostors only), then 30 in the band with both, 10 reduced, 5 full.
BENCHMARK(BM_DrawPlantedTrees)
    ->Args({300, 500})
    ->Args({150, 30})
    ->Args({60, 10})
    ->Args({30, 5})
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
