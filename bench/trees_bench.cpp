// What the tree kinds cost at start-up: growth and meshing of each kind on the CPU, and the whole
// of CreateTreeKinds (programs, growth, buffers, both 16-view atlases) in an 800 by 600 offscreen
// context. The counters give each kind's triangles (the full strip, as a draw counts it) and
// leaves.
#include "app/Shell.h"
#include "decoders/ImageDecoders.h"
#include "engine/Random.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "platform/SdlPlatform.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/Tree.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
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

class BareScene final : public SceneHooks {
public:
  bool InitScene() override { return true; }
  void RenderFrame() override {}
  void UpdateFrame(KeyStateTable&, float) override {}
  void SetViewport(int, int, int, int) override {}
  void MouseMessage(uint32_t, int, int) override {}
};

// The program's window and context, run from the runnable folder for the shipped programs and
// pictures; made on first use and kept for the whole run.
struct Context {
  Context() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::filesystem::current_path(MERIDIA_RUN_DIR);
    ready = shell.CreateMainWindow(800, 600, false, 32);
    if (ready) {
      LoadGLEntryPoints();
      ReadGLImplementation();
      DeriveFeatureFlags();
      DropOptionalEntryPointsNotOffered();
      RegisterImageDecoders();
    }
  }
  platform::SteppedClock clock{16};
  platform::SdlPlatform platform{clock};
  BareScene scene;
  Shell shell{platform, scene};
  bool ready = false;
};

Context& GL() {
  static Context* context = new Context; // outlives every benchmark; never torn down
  return *context;
}

void BM_CreateTreeKinds(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  for (auto _ : state) {
    SetRandSeed(500);
    CreateTreeKinds([](const std::string&) {});
    glFinish();
    state.PauseTiming();
    FreeTreeKinds();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateTreeKinds)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace meridia
