// The planet: six cube-face quadtrees on a sphere of radius 678 displaced by the terrain, and the
// process-wide services their patches use (the texture atlas and the height-map factory). Once a
// frame it refines the trees when the camera has moved far enough, draws the five nearest faces
// near to far, builds a bounded number of patch textures and draws the sky. One unit is 10 km.
#pragma once

#include "engine/Object.h"
#include "engine/PlanetSeed.h"
#include "engine/VectorTypes.h"
#include "engine/WorkerPool.h"
#include "planet/Node.h"
#include "planet/PatchDrawing.h"
#include "terrain/PatchTexels.h"
#include "view/Frustum.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace meridia {

class PatchSink;
class THeightMapFactory;
class TTextureBuffer;
class TPlanetary_Camera;
class TScatter_CPU;

inline constexpr float kPlanetBaseRadius = 678.0f;

class TPlanetObject : public TObject {
public:
  // Starts the planet's module state afresh, resets the vertex pool, creates the atlas (needs a
  // current OpenGL context), the height-map factory with the run's planet seed (generating the
  // world's terrain maps on its first visit), the sky and the six roots. Heights above ground are
  // measured from the camera's view position.
  explicit TPlanetObject(const TPlanetary_Camera& camera);
  // The same over a given factory and atlas, without a sky; an atlas without a texture keeps
  // OpenGL out.
  TPlanetObject(const TPlanetary_Camera& camera, std::unique_ptr<THeightMapFactory> height_maps,
                std::unique_ptr<TTextureBuffer> atlas);
  // Frees the factory, the sky, the roots and last the atlas, to which the roots give their tiles
  // back.
  ~TPlanetObject() override;

  // The planet seed, given to the height-map factory.
  int32_t Seed = kPlanetSeed;
  // Index = face number; face k lies on the cube side +Z, -Z, +Y, -Y, +X, -X.
  std::array<std::unique_ptr<TNode>, 6> Roots;
  // Nearest face first, as of the last refinement.
  std::array<int32_t, 6> FaceOrder{0, 1, 2, 3, 4, 5};
  float BaseRadius = kPlanetBaseRadius;
  // The horizon is never computed for less altitude than this.
  float MinAltitude = 1.0f;
  TzoFrustum Frustum;
  std::unique_ptr<TTextureBuffer> Atlas;
  std::unique_ptr<THeightMapFactory> HeightMaps;
  // The atmosphere, recoloured on refinement passes and drawn every frame; absent, no sky.
  std::unique_ptr<TScatter_CPU> Atmosphere;

  // The per-frame pass, with the camera's view on the modelview matrix.
  void Render();

  // The steps of Render that need no OpenGL, in the order it runs them.
  // Refines, links, flags and sorts the six trees when a trigger is pending.
  void RefineIfPending();
  // DrawPatch on the five nearest faces; the farthest one is behind the planet.
  void DrawFaces(const TzoFrustum& frustum, PatchSink& sink);
  // Builds queued patches within the frame's budget, the six finest levels present first.
  void GeneratePatches();
  // GeneratePatches in two halves. The first serves the queue and lets each patch take its tile
  // in serving order, then hands the texels to the shared worker pool and returns; the second
  // takes part in what is left, waits, and uploads the texels in that same order. Between them
  // nothing may free or split a node.
  void StartPatchBuilds();
  void FinishPatchBuilds();
  // How many patches the frames so far took from the builds ahead instead of building them;
  // WaitForBuildsAhead lets those the last frame started finish (for tests).
  int32_t PatchesBuiltAhead = 0;
  void WaitForBuildsAhead();

  // Depth is the distance above ground plus margin, negative below it; Up the unit direction of
  // p. True when p is less than margin above the terrain.
  bool DepthBelowGround(const Vector3f& p, float& depth, Vector3f& up, float margin) const;
  // Kilometres between the camera and the terrain below it.
  float HeightAboveGround() const;
  // The radius at which the ray from the centre through p meets the patches as drawn (the leaves'
  // fans as the last refinement left them); 0 where it meets none. Between vertices a few metres
  // apart the fans are flat and may pass above the terrain. The ray is taken through p itself,
  // not a rounded direction, which on a slope would be off by the better part of a metre.
  double DrawnGroundRadius(const Vector3f& p) const;
  // Units between the camera and the higher of the terrain and the drawn ground below it: what
  // the near plane must stay within.
  double ClearanceAboveGround() const;
  // Kilometres between the camera and the sea sphere of radius 678.5.
  float HeightAboveWater() const;

private:
  void CreateRoots();

  // Lists the patches this frame's budget leaves waiting and hands them to the pool behind the
  // frame's own patches, to be built while the frame ends and the next one refines, when the
  // other processors have little else to do.
  void StartBuildsAhead(TWorkerPool* pool);
  // Takes the builds ahead that are finished; the rest are dropped without waiting for them.
  void TakeBuildsAhead();
  struct PatchBuild {
    TNode* node;
    TPatchTexels texels;
  };
  // This frame's patches between StartPatchBuilds and FinishPatchBuilds, in serving order.
  std::vector<PatchBuild> builds_;
  // The indices into builds_ of those that no build ahead has already made.
  std::vector<int32_t> to_build_;
  // The pool that builds them and those ahead; null when FinishPatchBuilds builds them.
  TWorkerPool* build_pool_ = nullptr;
  TWorkerPool::BatchRef builds_batch_;

  // A patch's texels depend on its place alone, so a build ahead serves the next frame exactly
  // when that frame serves a patch of the same place; the others are dropped. A set stays with
  // the pool's job until its last build ends, so the frame never waits for one.
  struct AheadBuild {
    TPatchPlace place;
    TPatchTexels texels;
    std::atomic<bool> built{false};
  };
  struct AheadSet {
    explicit AheadSet(size_t count) : builds(count) {}
    std::vector<AheadBuild> builds;
    std::atomic<bool> dropped{false};
  };
  std::shared_ptr<AheadSet> ahead_;
  TWorkerPool::BatchRef ahead_batch_;
  // Those of earlier frames that may still be running, for the destructor to wait for.
  std::vector<TWorkerPool::BatchRef> dropped_batches_;
  // The finished ones, taken at the start of the next frame's builds.
  std::vector<std::pair<TPatchPlace, TPatchTexels>> ahead_done_;

  const TPlanetary_Camera& camera_;
};

// 678 plus the terrain height in that unit direction.
float GroundRadius(const Vector3f& direction);

// Arms the next refinement when p is at least the current level's step away from the last
// trigger: 0.2 units down to level 10, 0.02 to 16, 0.01 to 18, 0.002 deeper.
void UpdateReference(const Vector3f& p);

// The planet that exists now, for the statistics; null before it is built and after.
TPlanetObject* CurrentPlanet();

} // namespace meridia
