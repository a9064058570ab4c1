// The planet's CPU work per frame, without OpenGL: a refinement pass as the camera moves one
// step near the ground, the same tree built from nothing, the culling and fan walk over the
// visible leaves, and one patch texture build (324 height samples, 256 colours, the texels).
#include "ShellContext.h"

#include "engine/VectorGeometry.h"
#include "engine/WorkerPool.h"
#include "gl/GLEntryPoints.h"
#include "planet/Node.h"
#include "planet/PatchDrawing.h"
#include "planet/PlanetObject.h"
#include "planet/PlanetState.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/TextureBuffer.h"
#include "view/PlanetaryCamera.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace meridia {
namespace {

// Maps of the real size, so that lookups miss the caches as they do in the program.
std::unique_ptr<THeightMapFactory> Factory() {
  auto erosion = std::make_unique<TPixelBuffer_d>();
  erosion->SetSize(2048, 2048);
  for (size_t i = 0; i < erosion->Data.size(); ++i) {
    erosion->Data[i] = static_cast<float>((i * 2654435761u % 1000u) / 1000.0);
  }
  TzoImage colors;
  colors.SetPixelFormat(24);
  colors.SetSize(256, 2048);
  for (size_t i = 0; i < colors.Data.size(); ++i) {
    colors.Data[i] = static_cast<uint8_t>(i * 7);
  }
  return std::make_unique<THeightMapFactory>(kPlanetSeed, std::move(erosion), std::move(colors));
}

struct Planet {
  TPlanetary_Camera camera;
  std::unique_ptr<TPlanetObject> object;
  Vector3f ground;

  Planet() {
    object = std::make_unique<TPlanetObject>(
        camera, Factory(),
        std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize,
                                         TTextureBuffer::WithoutTexture{}));
    const Vector3f up = Normalized3({0.3f, -0.2f, 1});
    ground = Scale3(up, GroundRadius(up) + 0.001f);
    RefineFrom(ground);
  }
  void RefineFrom(const Vector3f& p) {
    UpdateReference(p);
    object->RefineIfPending();
  }
};

class NullSink final : public PatchSink {
public:
  void DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) override {
    benchmark::DoNotOptimize(&node);
    benchmark::DoNotOptimize(fan.Count);
    benchmark::DoNotOptimize(coords[0].x);
  }
};

// The pass a frame runs after the camera moved one step at the finest level: most of the tree
// stays, a few nodes split or merge.
void BM_RefinementPassOneStep(benchmark::State& state) {
  Planet planet;
  const Vector3f east = Normalized3(Cross3(planet.ground, {0, 1, 0}));
  int k = 0;
  for (auto _ : state) {
    // Back and forth by a little more than the finest level's step of 0.002 units.
    const float offset = 0.0025f * static_cast<float>(k++ % 2);
    planet.RefineFrom(Add3(planet.ground, Scale3(east, offset)));
  }
  state.counters["nodes"] = NodeCount;
}
BENCHMARK(BM_RefinementPassOneStep)->Unit(benchmark::kMillisecond);

// The whole tree around a camera on the ground, from six bare roots: a jump across the planet.
void BM_RefinementPassFromRoots(benchmark::State& state) {
  Planet planet;
  for (auto _ : state) {
    state.PauseTiming();
    for (auto& root : planet.object->Roots) {
      root->Merge();
    }
    ReferencePosition = {-999999, -99999, -99999};
    state.ResumeTiming();
    planet.RefineFrom(planet.ground);
  }
  state.counters["nodes"] = NodeCount;
}
BENCHMARK(BM_RefinementPassFromRoots)->Unit(benchmark::kMillisecond);

// Horizon and frustum culling, queueing, fans and atlas coordinates of the five near faces.
void BM_DrawPatchWalk(benchmark::State& state) {
  Planet planet;
  TzoFrustum everything;
  NullSink sink;
  for (auto _ : state) {
    NodesDrawn = 0;
    GenerationQueue.Clear();
    planet.object->DrawFaces(everything, sink);
  }
  state.counters["leaves"] = NodesDrawn;
}
BENCHMARK(BM_DrawPatchWalk)->Unit(benchmark::kMicrosecond);

// The visible leaves' fans submitted to OpenGL: one immediate-mode fan per leaf as before, and
// all of them gathered into arrays and drawn with one multi-draw call. Run under GALLIUM_NOOP=1
// to see the calls' own cost without the rasterizer's.
struct FanContext : bench::ShellContext {
  FanContext() {
    if (ready) {
      LoadGLEntryPoints();
    }
  }
};

FanContext& FanGL() {
  static FanContext* context = new FanContext; // outlives every benchmark; never torn down
  return *context;
}

template <typename Submit> void DrawFans(benchmark::State& state, Submit submit) {
  if (!FanGL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  Planet planet;
  TzoFrustum everything;
  for (auto _ : state) {
    NodesDrawn = 0;
    GenerationQueue.Clear();
    submit(*planet.object, everything);
    glFinish();
  }
  state.counters["leaves"] = NodesDrawn;
}

void BM_DrawFansImmediate(benchmark::State& state) {
  DrawFans(state, [](TPlanetObject& planet, const TzoFrustum& frustum) {
    planet.DrawFaces(frustum, ImmediateModePatchSink());
  });
}
BENCHMARK(BM_DrawFansImmediate)->Unit(benchmark::kMicrosecond);

void BM_DrawFansBatched(benchmark::State& state) {
  TPatchBatch batch;
  DrawFans(state, [&batch](TPlanetObject& planet, const TzoFrustum& frustum) {
    planet.DrawFaces(frustum, batch);
    DrawPatchBatch(batch);
  });
}
BENCHMARK(BM_DrawFansBatched)->Unit(benchmark::kMicrosecond);

// The frustum test over every node's bounding sphere, as the culling walks ask it, through the
// engine's Sub3 and PlaneSide calls as it was written before, and as it is now. The frustum is
// wide enough that every sphere meets all six planes, as the visible ones do in a frame.
struct Spheres {
  std::vector<std::pair<Vector3f, float>> spheres;
  TzoFrustum frustum;
  Spheres() {
    Planet planet;
    std::function<void(const TNode&)> visit = [&](const TNode& n) {
      spheres.push_back({*n.Vertex[4]->Position, n.Size});
      if (n.HasChildren) {
        for (const auto& child : n.Child) {
          visit(*child);
        }
      }
    };
    for (const auto& root : planet.object->Roots) {
      visit(*root);
    }
    Matrix4f box;
    box.m[0][0] = box.m[1][1] = box.m[2][2] = 1.0f / 4096;
    frustum.ExtractFrom(box, IdentityMatrix);
  }
};

bool SphereVisibleThroughCalls(const TzoFrustum& frustum, const Vector3f& centre, float radius) {
  const Vector3f p = Sub3(centre, frustum.Origin);
  for (int32_t k = 0; k <= frustum.LastPlane; ++k) {
    if (PlaneSide(frustum.Planes[static_cast<size_t>(k)], p) <= -radius) {
      return false;
    }
  }
  return true;
}

template <typename Test> void CullSpheres(benchmark::State& state, Test test) {
  static const Spheres spheres;
  int visible = 0;
  for (auto _ : state) {
    visible = 0;
    for (const auto& [centre, radius] : spheres.spheres) {
      visible += test(spheres.frustum, centre, radius) ? 1 : 0;
    }
    benchmark::DoNotOptimize(visible);
  }
  state.counters["spheres"] = static_cast<double>(spheres.spheres.size());
  state.counters["visible"] = visible;
}

void BM_SphereVisibleThroughCalls(benchmark::State& state) {
  CullSpheres(state, SphereVisibleThroughCalls);
}
BENCHMARK(BM_SphereVisibleThroughCalls)->Unit(benchmark::kMicrosecond);

void BM_SphereVisible(benchmark::State& state) {
  CullSpheres(state, [](const TzoFrustum& frustum, const Vector3f& centre, float radius) {
    return frustum.SphereVisible(centre, radius);
  });
}
BENCHMARK(BM_SphereVisible)->Unit(benchmark::kMicrosecond);

// GeneratePatch without the upload: 18 by 18 heights, 16 by 16 colours and the lit texels.
void BM_GeneratePatchPure(benchmark::State& state) {
  Planet planet;
  // The level-18 patch under the camera.
  const TNode* node = planet.object->Roots[static_cast<size_t>(planet.object->FaceOrder[0])].get();
  while (node->HasChildren && node->Level < 18) {
    node = node->Child[static_cast<size_t>(node->ChildOrder[0])].get();
  }
  TPatchSamples samples;
  TPatchTexels texels;
  for (auto _ : state) {
    SamplePatch(*node, samples);
    BuildPatchTexels(samples, texels);
    benchmark::DoNotOptimize(texels.data());
  }
  state.counters["level"] = node->Level;
}
BENCHMARK(BM_GeneratePatchPure)->Unit(benchmark::kMicrosecond);

// One frame's 15 patch builds near the ground, the nodes a frame of the descent queues. Arg 0:
// each patch built and handed over in turn (GeneratePatch); otherwise through the planet's
// builds on a pool of that many threads (1: every build on the calling thread). The second arg
// is main-thread work in microseconds, the sky and the decorations, done between handing the
// builds out and waiting for them (after them in turn).
void BM_FramePatchBuilds(benchmark::State& state) {
  const auto threads = static_cast<int32_t>(state.range(0));
  const auto other_work = std::chrono::microseconds(state.range(1));
  if (threads > 0) {
    StartWorkerPool(threads);
  }
  Planet planet;
  TzoFrustum everything;
  NullSink sink;
  std::vector<TNode*> built;
  auto busy = [&] {
    const auto end = std::chrono::steady_clock::now() + other_work;
    while (std::chrono::steady_clock::now() < end) {
    }
  };
  for (auto _ : state) {
    state.PauseTiming();
    for (TNode* node : built) {
      planet.object->Atlas->ReleaseTile(node->Tile);
      node->Tile = -1;
      node->Generated = false;
    }
    built.clear();
    GenerationQueue.Clear();
    planet.object->DrawFaces(everything, sink);
    GenerationsThisFrame = 0;
    GenerationBudget = 15;
    const int32_t in_use = planet.object->Atlas->TilesInUse;
    state.ResumeTiming();
    if (threads == 0) {
      // The planet's two passes: the six finest levels present, then from the coarsest.
      for (const int32_t first : {CurrentLevel - 5, 0}) {
        for (int32_t level = std::max(first, 0); level <= MaxNodeLevel; ++level) {
          const auto l = static_cast<size_t>(level);
          for (int32_t k = 0; k < GenerationQueue.Count[l] && GenerationsThisFrame < 15; ++k) {
            TNode* node = GenerationQueue.Nodes[l][static_cast<size_t>(k)];
            if (!node->Generated) {
              ++GenerationsThisFrame;
              node->GeneratePatch();
            }
          }
        }
      }
      busy();
    } else {
      planet.object->StartPatchBuilds();
      busy();
      planet.object->FinishPatchBuilds();
    }
    state.PauseTiming();
    if (planet.object->Atlas->TilesInUse != in_use + 15) {
      state.SkipWithError("not 15 builds");
    }
    for (int32_t level = 0; level < TGenerationQueue::kLevels; ++level) {
      const auto l = static_cast<size_t>(level);
      for (int32_t k = 0; k < GenerationQueue.Count[l]; ++k) {
        TNode* node = GenerationQueue.Nodes[l][static_cast<size_t>(k)];
        if (node->Tile >= 0) {
          built.push_back(node);
        }
      }
    }
    state.ResumeTiming();
  }
  StopWorkerPool();
}
BENCHMARK(BM_FramePatchBuilds)
    ->ArgNames({"threads", "other_us"})
    ->ArgsProduct({{0, 1, 2, 4}, {0, 500}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace meridia
