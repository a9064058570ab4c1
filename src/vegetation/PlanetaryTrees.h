// The trees planted on the planet: the two shared tree kinds built at start-up, and per quadtree
// node of the finest planting level a TPlanetaryTrees of 1 to 40 instances scattered around the
// node's centre, standing on the ground. Instances hold no geometry; each draws its kind through
// TTree::Render at a distance value that picks geometry, reduced geometry or the impostor.
// Planting draws from the shared generator in a fixed order (count, then per tree three for the
// point, one for the kind, one for the turn), so it depends only on the order of splits and draws.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"
#include "vegetation/Tree.h"
#include "vegetation/TreeShaders.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace meridia {

struct TzoFrustum;

inline constexpr int32_t kTreeKindCount = 2;
inline constexpr int32_t kTreeAtlasSize = 1024;
// Trees are modelled in 1/10000 of a planet unit.
inline constexpr float kTreeScale = 0.0001f;

// Entry i is kind i mod 2; filled by CreateTreeKinds.
extern std::vector<std::unique_ptr<TTree>> TreeKinds;
// The programs the kinds draw with, made by CreateTreeKinds and kept for the run.
extern std::unique_ptr<TTreeShaders> TreeKindShaders;

// Loads the four tree programs (a rejected one is shown through show_error) and generates both
// kinds with their atlases. Needs a current context; continues the shared generator's sequence.
void CreateTreeKinds(TTreeShaders::ShowErrorFunction show_error);
// Module finalisation: empties the table (GL objects go only while a context is current).
void FreeTreeKinds();

// Draws the instances queued since the last call, in the order queued, and empties the queue.
// Called before anything else of the decoration pass draws, and at its end.
void DrawPlantedTrees();

// 678 plus the terrain height in a unit direction (the planet's GroundRadius).
using GroundRadiusFunction = float (*)(const Vector3f& direction);

// RandomVector3() * 0.01 + centre (three draws), normalised (unless zero), on the ground.
Vector3f ScatteredGroundPoint(const Vector3f& centre, GroundRadiusFunction ground_radius);

class TTreeInstance : public TObject {
public:
  // Takes tree +Y to the local up of the planet.
  Matrix4f Orientation;
  // The tree base, planet space.
  Vector3f Position;
  float TurnAngle = 0;    // degrees about its own up
  Matrix4f Turn;          // the turn as the programs apply it
  float SphereRadius = 0; // the kind's, tree units
  TTree* Tree = nullptr;  // shared; none when the kinds were never built

  void Setup(TTree* tree, const Vector3f& position, const Vector3f& up, float turn);
  // Places the kind under the modelview (translation, orientation, scale 0.0001), draws it and
  // adds what it drew to TrisCount. Needs a current context.
  void Render(const Vector3f& camera, float lod);
  // Counts the instance as Render does and queues it for DrawPlantedTrees, which draws the same.
  void Queue(const Vector3f& camera, float lod);
  // The eye as the tree's own frame sees it: the heading that picks the impostor tile is then
  // measured about the tree's up, wherever on the planet it stands.
  Vector3f CameraInTreeFrame(const Vector3f& camera) const;
};

class TPlanetaryTrees : public TObject {
public:
  explicit TPlanetaryTrees(const Vector3f& centre);

  int32_t Count = 0;
  std::vector<std::unique_ptr<TTreeInstance>> Instances;
  // One entry: the node centre given at creation.
  std::vector<Vector3f> Centre;
  bool Planted = false;

  void SetCount(int32_t n);
  // A new instance at index of kind TreeKinds[kind mod 2], turned by one draw.
  void AddTree(int32_t index, int32_t kind, const Vector3f& position);
  // Once, on the node's first visible decoration pass: 1 to 40 trees around the centre.
  void Plant(GroundRadiusFunction ground_radius);
  // Queues every instance whose bounding sphere the frustum sees, at lod = 8 sqrt(distance to
  // camera); DrawPlantedTrees draws them.
  void Render(const TzoFrustum& frustum, const Vector3f& camera);
  // The distance value of a tree base seen from the camera.
  static float Lod(const Vector3f& position, const Vector3f& camera);
};

} // namespace meridia
