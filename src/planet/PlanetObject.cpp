#include "planet/PlanetObject.h"

#include "engine/VectorGeometry.h"
#include "engine/WorkerPool.h"
#include "gl/GLImplementation.h"
#include "planet/PatchDrawing.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetState.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/TextureBuffer.h"
#include "vegetation/PlanetaryTrees.h"
#include "view/PlanetaryCamera.h"
#include "view/RenderOrigin.h"
#include "view/Scatter.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace meridia {
namespace {

TPlanetObject* g_planet = nullptr;

// Visits the generation queue's unbuilt patches in the order a frame serves them, until visit
// returns false: the levels from five short of the deepest on, then every level from
// the root. A patch the first pass left unbuilt comes again in the second.
template <typename Visit> void VisitInServingOrder(Visit visit) {
  auto pass = [&visit](int32_t first_level) {
    for (int32_t level = first_level; level <= MaxNodeLevel; ++level) {
      const auto l = static_cast<size_t>(level);
      for (int32_t k = 0; k < GenerationQueue.Count[l]; ++k) {
        TNode* node = GenerationQueue.Nodes[l][static_cast<size_t>(k)];
        if (!node->Generated && !visit(node)) {
          return false;
        }
      }
    }
    return true;
  };
  if (CurrentLevel <= 5 || pass(CurrentLevel - 5)) {
    pass(0);
  }
}

} // namespace

TPlanetObject* CurrentPlanet() {
  return g_planet;
}

TPlanetObject::TPlanetObject(const TPlanetary_Camera& camera) : camera_(camera) {
  ResetPlanetState();
  ResetVertexPool();
  Atlas = std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize);
  Atlas->UseAlternateTextures();
  SetTextureAtlas(Atlas.get());
  Seed = CurrentPlanetSeed();
  HeightMaps = std::make_unique<THeightMapFactory>(Seed);
  SetHeightMapFactory(HeightMaps.get());
  Atmosphere = std::make_unique<TScatter_CPU>();
  glBindTexture(GL_TEXTURE_2D, 0);
  CreateRoots();
}

TPlanetObject::TPlanetObject(const TPlanetary_Camera& camera,
                             std::unique_ptr<THeightMapFactory> height_maps,
                             std::unique_ptr<TTextureBuffer> atlas)
    : camera_(camera) {
  ResetPlanetState();
  ResetVertexPool();
  Atlas = std::move(atlas);
  SetTextureAtlas(Atlas.get());
  HeightMaps = std::move(height_maps);
  SetHeightMapFactory(HeightMaps.get());
  CreateRoots();
}

void TPlanetObject::CreateRoots() {
  for (int32_t k = 0; k < 6; ++k) {
    Roots[static_cast<size_t>(k)] = std::make_unique<TNode>(nullptr, k);
  }
  g_planet = this;
}

TPlanetObject::~TPlanetObject() {
  // A pool stopped since has finished every batch it had.
  if (build_pool_ != nullptr && build_pool_ == SharedWorkerPool()) {
    // The builds ahead read the height maps freed below, and the others the nodes too.
    TakeBuildsAhead();
    for (const TWorkerPool::BatchRef& batch : dropped_batches_) {
      build_pool_->Wait(batch);
    }
    build_pool_->Wait(builds_batch_);
  }
  if (g_planet == this) {
    g_planet = nullptr;
  }
  if (HeightMapFactory() == HeightMaps.get()) {
    SetHeightMapFactory(nullptr);
  }
  HeightMaps.reset();
  Atmosphere.reset();
  for (auto& root : Roots) {
    root.reset();
  }
  if (TextureAtlas() == Atlas.get()) {
    SetTextureAtlas(nullptr);
  }
  Atlas.reset();
}

void UpdateReference(const Vector3f& p) {
  // A float like the distance it is compared with, so that moving exactly the step triggers.
  float step = 0.002f;
  const auto level = static_cast<uint32_t>(CurrentLevel);
  if (level <= 10) {
    step = 0.2f;
  } else if (level <= 16) {
    step = 0.02f;
  } else if (level <= 18) {
    step = 0.01f;
  }
  if (Distance3(p, ReferencePosition) >= step) {
    RefinePending = true;
    ReferencePosition = p;
    ReferenceDistance = std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                                  static_cast<double>(p.z) * p.z);
  }
}

float GroundRadius(const Vector3f& direction) {
  return static_cast<float>(static_cast<double>(TerrainHeightAt(direction)) + kPlanetBaseRadius);
}

void TPlanetObject::RefineIfPending() {
  if (!RefinePending) {
    return;
  }
  // The sky's colours depend on the camera alone: they are worked out beside the refinement and
  // the patch drawing, and finished where the sky is drawn.
  if (Atmosphere != nullptr) {
    Atmosphere->BeginUpdateColors(camera_.Positions[TPlanetary_Camera::kViewPosition]);
  }
  CurrentLevel = 0;
  const double altitude =
      std::max(static_cast<double>(static_cast<float>(ReferenceDistance)) - BaseRadius,
               static_cast<double>(MinAltitude));
  HorizonDistance = static_cast<float>(std::sqrt(altitude * altitude + 2 * altitude * BaseRadius));

  // Each face's links and flags depend on that face's tree alone, so all six are refined first;
  // then one walk a face links, flags and, on the five drawn faces, sorts.
  for (auto& root : Roots) {
    root->Refine();
  }

  FaceOrder = {0, 1, 2, 3, 4, 5};
  for (int pass = 0; pass < 5; ++pass) {
    for (int j = 0; j <= 4 - pass; ++j) {
      if (Roots[static_cast<size_t>(FaceOrder[static_cast<size_t>(j)])]->Distance >
          Roots[static_cast<size_t>(FaceOrder[static_cast<size_t>(j + 1)])]->Distance) {
        std::swap(FaceOrder[static_cast<size_t>(j)], FaceOrder[static_cast<size_t>(j + 1)]);
      }
    }
  }
  for (size_t k = 0; k < 6; ++k) {
    Roots[k]->LinkFlagAndSort(static_cast<int32_t>(k) != FaceOrder[5]);
  }
  RefinePending = false;
}

void TPlanetObject::DrawFaces(const TzoFrustum& frustum, PatchSink& sink) {
  for (int k = 0; k < 5; ++k) {
    Roots[static_cast<size_t>(FaceOrder[static_cast<size_t>(k)])]->DrawPatch(frustum, sink);
  }
}

void TPlanetObject::GeneratePatches() {
  StartPatchBuilds();
  FinishPatchBuilds();
}

void TPlanetObject::StartPatchBuilds() {
  FinishPatchBuilds();
  const auto start = std::chrono::steady_clock::now();
  TakeBuildsAhead();
  VisitInServingOrder([this](TNode* node) {
    if (GenerationsThisFrame >= GenerationBudget) {
      return false;
    }
    ++GenerationsThisFrame;
    // The tiles are taken here, one after another, so that each patch gets the tile it would
    // get were the patches built one by one.
    if (node->ClaimPatchTile()) {
      builds_.push_back({node, {}});
    }
    return true;
  });
  to_build_.clear();
  for (size_t k = 0; k < builds_.size(); ++k) {
    PatchBuild& build = builds_[k];
    const TPatchPlace place = PatchPlace(*build.node);
    const auto ahead = std::find_if(ahead_done_.begin(), ahead_done_.end(),
                                    [&](const auto& done) { return done.first == place; });
    if (ahead != ahead_done_.end()) {
      build.texels = ahead->second;
      ++PatchesBuiltAhead;
    } else {
      to_build_.push_back(static_cast<int32_t>(k));
    }
  }
  ahead_done_.clear();
  TWorkerPool* pool = SharedWorkerPool();
  build_pool_ = pool;
  if (pool != nullptr && !to_build_.empty()) {
    builds_batch_ = pool->Start(static_cast<int32_t>(to_build_.size()), [this](int32_t item) {
      PatchBuild& build = builds_[static_cast<size_t>(to_build_[static_cast<size_t>(item)])];
      BuildPatch(*build.node, build.texels);
    });
  }
  StartBuildsAhead(pool);
  if (builds_.empty()) {
    return; // a frame that builds nothing spends no generation time
  }
  GenerationMsThisFrame +=
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void TPlanetObject::FinishPatchBuilds() {
  if (builds_.empty()) {
    return;
  }
  // The main thread's part: what it builds itself and what it waits for.
  const auto start = std::chrono::steady_clock::now();
  if (build_pool_ != nullptr) {
    build_pool_->Wait(builds_batch_);
    builds_batch_ = nullptr;
  } else {
    for (const int32_t k : to_build_) {
      PatchBuild& build = builds_[static_cast<size_t>(k)];
      BuildPatch(*build.node, build.texels);
    }
  }
  const auto built = std::chrono::steady_clock::now();
  TTextureBuffer* atlas = TextureAtlas();
  for (const PatchBuild& build : builds_) {
    atlas->UploadTile(build.node->Tile, build.texels.data());
  }
  builds_.clear();
  to_build_.clear();
  const auto uploaded = std::chrono::steady_clock::now();
  GenerationMsThisFrame += std::chrono::duration<double, std::milli>(built - start).count();
  UploadMsThisFrame += std::chrono::duration<double, std::milli>(uploaded - built).count();
}

void TPlanetObject::StartBuildsAhead(TWorkerPool* pool) {
  // With no thread beside the main one a build ahead would only move work, or waste it. A full
  // atlas serves nothing until a tile comes back.
  if (pool == nullptr || pool->Threads() < 2 || Atlas == nullptr ||
      Atlas->TilesInUse >= Atlas->TileCount) {
    return;
  }
  // The patches the budget left waiting, in the order the next frame would serve them were
  // nothing to change, as many as it serves.
  std::vector<TPatchPlace> places;
  VisitInServingOrder([this, &places](const TNode* node) {
    if (static_cast<int32_t>(places.size()) >= GenerationBudget) {
      return false;
    }
    const TPatchPlace place = PatchPlace(*node);
    if (std::find(places.begin(), places.end(), place) == places.end()) {
      places.push_back(place);
    }
    return true;
  });
  if (places.empty()) {
    return;
  }
  ahead_ = std::make_shared<AheadSet>(places.size());
  for (size_t k = 0; k < places.size(); ++k) {
    ahead_->builds[k].place = places[k];
  }
  ahead_batch_ = pool->Start(
      static_cast<int32_t>(places.size()),
      [set = ahead_](int32_t item) {
        if (set->dropped.load(std::memory_order_relaxed)) {
          return;
        }
        AheadBuild& ahead = set->builds[static_cast<size_t>(item)];
        BuildPatch(ahead.place, ahead.texels);
        ahead.built.store(true, std::memory_order_release);
      },
      TWorkerPool::Priority::kAhead);
}

void TPlanetObject::WaitForBuildsAhead() {
  if (build_pool_ != nullptr) {
    build_pool_->Wait(ahead_batch_);
  }
}

void TPlanetObject::TakeBuildsAhead() {
  ahead_done_.clear();
  if (ahead_ == nullptr) {
    return;
  }
  ahead_->dropped.store(true, std::memory_order_relaxed);
  for (const AheadBuild& ahead : ahead_->builds) {
    if (ahead.built.load(std::memory_order_acquire)) {
      ahead_done_.emplace_back(ahead.place, ahead.texels);
    }
  }
  ahead_ = nullptr;
  // Dropped, but a worker may still be on one of its builds.
  std::erase_if(dropped_batches_, [this](const TWorkerPool::BatchRef& batch) {
    return build_pool_->Finished(batch);
  });
  dropped_batches_.push_back(std::exchange(ahead_batch_, nullptr));
}

void TPlanetObject::Render() {
  NodesDrawn = 0;
  GenerationsThisFrame = 0;
  GenerationMsThisFrame = 0;
  UploadMsThisFrame = 0;
  Frustum.Extract();
  RefineIfPending();
  GenerationQueue.Clear();

  glEnable(GL_CULL_FACE);
  if (Atlas != nullptr) {
    // Last frame's patches reach the texture this frame draws with before anything draws.
    const auto start = std::chrono::steady_clock::now();
    Atlas->BeginFrame();
    UploadMsThisFrame +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  const int32_t atlas_texture = Atlas != nullptr ? Atlas->TextureIds[0] : -1;
  glBindTexture(GL_TEXTURE_2D, atlas_texture >= 0 ? static_cast<GLuint>(atlas_texture) : 0);
  // The walk gathers the frame's fans with their texture coordinates, so tiles taken after it
  // move none of them.
  static TPatchBatch batch;
  DrawFaces(Frustum, batch);
  // Uploads kept until the next frame's start leave the texels to be built while the fans, the
  // sky and the decorations draw; uploads into the texture must wait until the fans are drawn.
  const bool build_behind = Atlas != nullptr && Atlas->DefersUploads();
  if (build_behind) {
    StartPatchBuilds();
  }
  DrawPatchBatch(batch);
  if (!build_behind) {
    GeneratePatches();
  }
  glBindTexture(GL_TEXTURE_2D, 0);

  if (Atmosphere != nullptr) {
    // The sky is modelled with the planet's surface at radius 10.
    glPushMatrix();
    const Vector3f& origin = RenderOrigin();
    if (origin.x != 0 || origin.y != 0 || origin.z != 0) {
      glTranslatef(-origin.x, -origin.y, -origin.z);
    }
    const float scale = BaseRadius / 10.0f;
    glScalef(scale, scale, scale);
    // A camera that has landed draws with its far plane brought in, and the sky lies beyond
    // it: clamped to the far plane instead of clipped, the sky still fills what the ground
    // leaves (the depth test passes it only where nothing nearer was drawn).
    const bool clamp = DepthClampAvailable;
    if (clamp) {
      glEnable(GL_DEPTH_CLAMP);
    }
    Atmosphere->Render();
    if (clamp) {
      glDisable(GL_DEPTH_CLAMP);
    }
    glPopMatrix();
  }

  glColor4f(1, 1, 1, 1);
  glPushAttrib(0xFFFFF);
  for (auto& root : Roots) {
    root->DrawDecorations(Frustum, camera_.Positions[TPlanetary_Camera::kViewPosition]);
  }
  DrawPlantedTrees();
  glPopAttrib();
  if (build_behind) {
    FinishPatchBuilds();
  }

  if (GenerationBudget == 50) {
    GenerationBudget = 15;
  }
}

bool TPlanetObject::DepthBelowGround(const Vector3f& p, float& depth, Vector3f& up,
                                     float margin) const {
  up = Normalized3(p);
  depth = static_cast<float>(static_cast<double>(Length3(p)) -
                             (static_cast<double>(GroundRadius(up)) + margin));
  return depth < 0;
}

namespace {

struct Point3 {
  double x, y, z;
};

Point3 Wide3(const Vector3f& v) {
  return {v.x, v.y, v.z};
}

Point3 Minus(const Point3& a, const Point3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Point3 Cross(const Point3& a, const Point3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot(const Point3& a, const Point3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Where the ray from the origin along d meets triangle (a, b, c), as the distance along d
// (Moller and Trumbore); negative when it misses. Edges count as inside, so a ray along a shared
// edge meets both triangles.
double RayMeetsTriangle(const Point3& d, const Point3& a, const Point3& b, const Point3& c) {
  constexpr double kEdge = 1e-9;
  const Point3 ab = Minus(b, a);
  const Point3 ac = Minus(c, a);
  const Point3 h = Cross(d, ac);
  const double det = Dot(ab, h);
  if (det == 0) {
    return -1;
  }
  const Point3 s{-a.x, -a.y, -a.z};
  const double u = Dot(s, h) / det;
  if (u < -kEdge || u > 1 + kEdge) {
    return -1;
  }
  const Point3 q = Cross(s, ab);
  const double v = Dot(d, q) / det;
  if (v < -kEdge || u + v > 1 + kEdge) {
    return -1;
  }
  return Dot(ac, q) / det;
}

void MeetDrawnLeaves(const TNode& node, const Point3& d, double& radius) {
  // The ray passes farther from the centre vertex than the diagonal: no vertex of the node or
  // its children lies near it.
  const Point3 centre = Wide3(*node.Vertex[4]->Position);
  const double r = std::sqrt(Dot(centre, centre));
  const Point3 off = Minus(centre, {d.x * r, d.y * r, d.z * r});
  if (Dot(off, off) > static_cast<double>(node.Size) * node.Size) {
    return;
  }
  if (node.HasChildren) {
    for (const auto& child : node.Child) {
      MeetDrawnLeaves(*child, d, radius);
    }
    return;
  }
  const TPatchFan fan = BuildPatchFan(node);
  for (int32_t k = 1; k + 1 < fan.Count; ++k) {
    const double t = RayMeetsTriangle(
        d, centre, Wide3(*node.Vertex[fan.Index[static_cast<size_t>(k)]]->Position),
        Wide3(*node.Vertex[fan.Index[static_cast<size_t>(k + 1)]]->Position));
    radius = std::max(radius, t);
  }
}

} // namespace

double TPlanetObject::DrawnGroundRadius(const Vector3f& p) const {
  const Point3 w = Wide3(p);
  const double length = std::sqrt(Dot(w, w));
  if (length == 0) {
    return 0;
  }
  const Point3 d{w.x / length, w.y / length, w.z / length};
  double radius = 0;
  for (const auto& root : Roots) {
    if (root != nullptr) {
      MeetDrawnLeaves(*root, d, radius);
    }
  }
  return radius;
}

double TPlanetObject::ClearanceAboveGround() const {
  const Vector3f& c = camera_.Positions[TPlanetary_Camera::kViewPosition];
  return static_cast<double>(Length3(c)) -
         std::max(static_cast<double>(GroundRadius(Normalized3(c))), DrawnGroundRadius(c));
}

float TPlanetObject::HeightAboveGround() const {
  const Vector3f& c = camera_.Positions[TPlanetary_Camera::kViewPosition];
  return static_cast<float>((static_cast<double>(Length3(c)) - GroundRadius(Normalized3(c))) *
                            10.0);
}

float TPlanetObject::HeightAboveWater() const {
  const Vector3f& c = camera_.Positions[TPlanetary_Camera::kViewPosition];
  return static_cast<float>(static_cast<double>(Length3(c)) * 10.0 - 6780.0 - 5.0);
}

} // namespace meridia
