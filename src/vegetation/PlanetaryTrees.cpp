#include "vegetation/PlanetaryTrees.h"

#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "vegetation/Wind.h"
#include "view/Frustum.h"
#include "view/RenderOrigin.h"

#include <GL/gl.h>

#include <cmath>

namespace meridia {

std::vector<std::unique_ptr<TTree>> TreeKinds;
std::unique_ptr<TTreeShaders> TreeKindShaders;

namespace {
// The visible instances met since the last DrawPlantedTrees, in the order met.
std::vector<TTreeDraw> PlantedTreeQueue;
} // namespace

void CreateTreeKinds(TTreeShaders::ShowErrorFunction show_error) {
  TreeKindShaders = std::make_unique<TTreeShaders>(std::move(show_error));
  TreeKindShaders->InitTreeShaders();
  TreeKinds.clear();
  TreeKinds.resize(kTreeKindCount);
  for (int32_t i = 0; i < kTreeKindCount; ++i) {
    TreeKinds[static_cast<size_t>(i)] = std::make_unique<TTree>();
    TreeKinds[static_cast<size_t>(i)]->Generate(*TreeKindShaders, i % 2, kTreeAtlasSize);
  }
}

void FreeTreeKinds() {
  PlantedTreeQueue.clear();
  TreeKinds.clear();
  TreeKindShaders.reset();
}

Vector3f ScatteredGroundPoint(const Vector3f& centre, GroundRadiusFunction ground_radius) {
  const Vector3f v = Add3(Scale3(RandomVector3(), 0.01f), centre);
  const Vector3f direction = Length3(v) != 0.0f ? Normalized3(v) : v;
  return Scale3(direction, ground_radius != nullptr ? ground_radius(direction) : 678.0f);
}

void TTreeInstance::Setup(TTree* tree, const Vector3f& position, const Vector3f& up, float turn) {
  Tree = tree;
  TurnAngle = turn;
  Turn = TreeTurn(turn);
  Position = position;
  Orientation = IsNearZero3(up) ? IdentityMatrix : MatrixFromYTo(up);
  SphereRadius = tree != nullptr ? tree->SphereRadius : 0.0f;
}

Vector3f TTreeInstance::CameraInTreeFrame(const Vector3f& camera) const {
  // The orientation is a rotation: its inverse is its transpose, a dot product with each row.
  const Vector3f d = Sub3(camera, Position);
  const auto row = [this](int i) {
    return Vector3f{Orientation.m[i][0], Orientation.m[i][1], Orientation.m[i][2]};
  };
  return Add3(Position, Vector3f{Dot3(d, row(0)), Dot3(d, row(1)), Dot3(d, row(2))});
}

void TTreeInstance::Render(const Vector3f& camera, float lod) {
  if (Tree == nullptr) {
    return;
  }
  glPushMatrix();
  const Vector3f at = FromRenderOrigin(Position);
  glTranslatef(at.x, at.y, at.z);
  glMultMatrixf(Orientation.Data());
  glScalef(kTreeScale, kTreeScale, kTreeScale);
  Tree->Render(Position, CameraInTreeFrame(camera), lod, TurnAngle);
  TrisCount += Tree->TrianglesDrawn;
  TreesDrawn += 1;
  glPopMatrix();
}

void TTreeInstance::Queue(const Vector3f& camera, float lod) {
  if (Tree == nullptr) {
    return;
  }
  TTreeDraw draw;
  draw.Plan = Tree->PlanDraw(lod);
  draw.At = FromRenderOrigin(Position);
  draw.Orientation = Orientation;
  draw.Turn = Turn;
  if (draw.Plan.Impostor) {
    const TImpostorView view = ImpostorView(Position, CameraInTreeFrame(camera), TurnAngle);
    draw.Facing = TreeTurn(view.Heading);
    draw.Tile = view.Tile;
  }
  if (draw.Plan.Geometry) {
    draw.Wind = WindVector(Position.x, Position.z);
  }
  draw.Tree = Tree;
  PlantedTreeQueue.push_back(draw);
  Tree->TrianglesDrawn = draw.Plan.Triangles;
  TrisCount += draw.Plan.Triangles;
  TreesDrawn += 1;
  TreeImpostorsDrawn += draw.Plan.Impostor ? 1 : 0;
}

void DrawPlantedTrees() {
  if (!PlantedTreeQueue.empty()) {
    TTree::DrawInOrder(PlantedTreeQueue);
    PlantedTreeQueue.clear();
  }
}

TPlanetaryTrees::TPlanetaryTrees(const Vector3f& centre) : Centre{centre} {}

void TPlanetaryTrees::SetCount(int32_t n) {
  Count = n;
  Instances.resize(static_cast<size_t>(std::max(n, 0)));
}

void TPlanetaryTrees::AddTree(int32_t index, int32_t kind, const Vector3f& position) {
  if (index < 0 || static_cast<size_t>(index) >= Instances.size()) {
    return;
  }
  auto instance = std::make_unique<TTreeInstance>();
  const float turn = static_cast<float>(360.0 * RandomReal());
  const Vector3f up = Length3(position) != 0.0f ? Normalized3(position) : position;
  TTree* tree = nullptr;
  if (!TreeKinds.empty()) {
    tree = TreeKinds[static_cast<size_t>(kind) % TreeKinds.size()].get();
  }
  instance->Setup(tree, position, up, turn);
  Instances[static_cast<size_t>(index)] = std::move(instance);
}

void TPlanetaryTrees::Plant(GroundRadiusFunction ground_radius) {
  Planted = true;
  SetCount(Random(40) + 1);
  for (int32_t i = 0; i < Count; ++i) {
    const Vector3f position = ScatteredGroundPoint(Centre[0], ground_radius);
    const int32_t kind = Random(2147483647);
    AddTree(i, kind, position);
  }
}

float TPlanetaryTrees::Lod(const Vector3f& position, const Vector3f& camera) {
  return static_cast<float>(8.0 * std::sqrt(static_cast<double>(Distance3(position, camera))));
}

void TPlanetaryTrees::Render(const TzoFrustum& frustum, const Vector3f& camera) {
  for (const auto& instance : Instances) {
    if (instance == nullptr ||
        !frustum.SphereVisible(instance->Position, instance->SphereRadius / 10000.0f)) {
      continue;
    }
    instance->Queue(camera, Lod(instance->Position, camera));
  }
}

} // namespace meridia
