// A TNode is one square patch of a cube face: a 3 by 3 grid of vertices on the displaced sphere
// that splits into four children or merges them again as the reference position moves. All four
// children exist exactly while HasChildren; a vertex's Refs is the number of nodes holding it;
// neighbour links join same-level nodes of one face only.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace meridia {

struct TzoFrustum;
class PatchSink;
class TBuilding;
class TPlanetaryTrees;

// Position slots of the vertex pool; a vertex takes one for its whole life.
inline constexpr int32_t kVertexPoolSize = 131073;
// New vertices made by one split: 4 centres, 4 inner and 8 outer edge midpoints.
inline constexpr int32_t kVerticesPerSplit = 16;

// (U, V) of the nine grid vertices of a face root; vertex i = 3 * row + column.
inline constexpr double GridUV[9][2] = {{0, 0},   {0.5, 0}, {1, 0},   {0, 0.5}, {0.5, 0.5},
                                        {1, 0.5}, {0, 1},   {0.5, 1}, {1, 1}};

// A grid vertex shared by reference count between a node, its children and their siblings. The
// position lives in the pool; CubePoint, U and V are exact on the dyadic lattice of the face, so
// two vertices made apart at the same point get the same position.
class TNodeVertex : public TObject {
public:
  // Takes the free slot on top of the pool's stack.
  TNodeVertex();
  // Gives the slot back.
  ~TNodeVertex() override;

  int32_t Refs = 0;
  // Position and Height are computed (by the refinement pass, once).
  bool Ready = false;
  int32_t PoolIndex = 0;
  Vector3f* Position = nullptr;
  double CubePoint[3] = {0, 0, 0};
  float Height = 0;
  double U = 0;
  double V = 0;

  // The lattice point halfway between a and b; Position and Height wait for the next pass.
  void SetMidpoint(const TNodeVertex& a, const TNodeVertex& b);
};

// Every slot free, in index order. Refused with a log line, and false, while vertices are alive:
// their slots would be handed out again.
bool ResetVertexPool();
int32_t FreeVertexSlots();

// The point (a, b) of a cube face on the cube [-1, 1]³; a face outside 0 .. 5 leaves p as it is.
void CubeFacePoint(int32_t face, double a, double b, Vector3f& p);

class TNode : public TObject {
public:
  // A root (no parent) makes its nine vertices on its face; a child's come from its parent's
  // Split.
  TNode(TNode* parent, int32_t face);
  ~TNode() override;
  // From a store of their own, where the walks find them close together.
  static void* operator new(std::size_t size);
  static void operator delete(void* p) noexcept;

  TNode* Parent = nullptr;
  int32_t Face = 0;
  int32_t Level = 1;
  // The fields the refinement and link walks read of every node come first, within three
  // cache lines of a node's start: the walks are bound by fetching nodes.
  bool HasChildren = false;
  bool BeyondHorizon = false;
  bool PositionsCopied = false;
  // The diagonal, Vertex[0] to Vertex[8].
  float Size = 0;
  // From Vertex[4] to the reference position.
  float Distance = 0;
  // The nine vertices' positions, copied by the first refinement pass that finds them all
  // computed (they never change after): later passes read them here instead of chasing each
  // shared vertex and its pool slot.
  std::array<Vector3f, 9> VertexPositions{};
  std::array<std::unique_ptr<TNode>, 4> Child;
  // By edge: 0 row 0, 1 column 2, 2 row 2, 3 column 0.
  std::array<TNode*, 4> Neighbour{};
  // The drawn fan includes that edge's midpoint, because the neighbour there is split.
  std::array<bool, 4> EdgeMidpoint{};
  // Children near to far from the reference position.
  std::array<int32_t, 4> ChildOrder{0, 1, 2, 3};
  // Among the parent's children: column half q mod 2, row half q div 2; -1 for a root.
  int32_t Quadrant = -1;
  // Grid index 3 * row + column; the column follows U, the row V.
  std::array<TNodeVertex*, 9> Vertex{};
  // What is planted on a patch of the finest planting level: trees or buildings, never both.
  // Kept when the children merge; freed with the node.
  std::unique_ptr<TPlanetaryTrees> Trees;
  std::unique_ptr<TBuilding> Buildings;
  // The patch texture has been built (with a tile, unless the atlas was full).
  bool Generated = false;
  int32_t Tile = -1;

  void InitFaceRoot(int32_t face);
  // One refinement pass over the subtree against the reference position; splits and refines
  // new children in the same pass.
  void Refine();
  // Does nothing when already split, or when the pool has fewer than 16 free slots. A split
  // of a land patch of level 18 may plant trees or buildings on it (two draws each).
  void Split();
  void Merge();
  void LinkNeighbours();
  void UpdateEdgeFlags();
  void SortChildren();
  // LinkNeighbours, UpdateEdgeFlags and, when sort is set, SortChildren in one walk over the
  // subtree, with the same outcome as the three walks one after the other: a node's links are
  // final once its parent has been visited, and its flags and order need nothing else.
  void LinkFlagAndSort(bool sort);
  // Links each child's outer edges to the facing children of this node's neighbours.
  void LinkChildren();

  // Culls by horizon and frustum, queues untextured patches, hands every visible leaf's fan to
  // the sink near to far.
  void DrawPatch(const TzoFrustum& frustum, PatchSink& sink);
  // Samples the patch, builds its texels and uploads them into a tile of the atlas.
  void GeneratePatch();
  // GeneratePatch's bookkeeping alone: marks the patch built and takes its tile. False when no
  // texels are to be built (no atlas, or a full one, which leaves the patch unbuilt).
  bool ClaimPatchTile();
  // The visible subtree in index order: what is planted on patches is planted on first sight
  // and drawn, seen from the camera.
  void DrawDecorations(const TzoFrustum& frustum, const Vector3f& camera);

private:
  void Attach(int slot, TNodeVertex* vertex);
  void PlantDecorations();
};

// Whether any of the positions is less than reach from p, each distance rounded to a float as
// the refinement pass measures it.
bool AnyWithinReach(const std::array<Vector3f, 9>& positions, const Vector3f& p, double reach);

// Nodes of this level plant trees and buildings, on land (centre height at least this).
inline constexpr int32_t kPlantingLevel = 18;
inline constexpr float kPlantingMinHeight = 0.5f;

// The terrain height in the unit direction, by the process-wide height-map factory; 0 without
// one (the bare sphere).
float TerrainHeightAt(const Vector3f& direction);

} // namespace meridia
