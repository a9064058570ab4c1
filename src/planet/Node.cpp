#include "planet/Node.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "models/Building.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetState.h"
#include "storage/Log.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/TextureBuffer.h"
#include "vegetation/PlanetaryTrees.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace meridia {
namespace {

constexpr double kBaseRadius = 678.0;

// Positions in one preallocated block; a stack of free slot numbers.
struct VertexPool {
  Vector3f Slots[kVertexPoolSize];
  int32_t Free[kVertexPoolSize];
  int32_t Top = 0;

  VertexPool() { std::iota(Free, Free + kVertexPoolSize, 0); }
};

VertexPool g_pool;

// Nodes in blocks of cache-line-aligned slots, a freed slot first to be taken again. The
// refinement and link walks visit every node each pass and are bound by fetching them: nodes
// made together (the four children of a split, the splits of one pass) lie together here,
// where the general heap scatters them among whatever else the frame allocates.
class NodeStore {
public:
  void* Take(std::size_t size) {
    if (size > sizeof(Slot)) {
      throw std::bad_alloc();
    }
    const std::lock_guard lock(mutex_);
    if (free_ != nullptr) {
      FreeSlot* slot = free_;
      free_ = slot->Next;
      ASAN_UNPOISON_MEMORY_REGION(slot + 1, sizeof(Slot) - sizeof(FreeSlot));
      return slot;
    }
    if (used_ == kSlotsPerBlock) {
      blocks_.push_back(std::make_unique<Slot[]>(kSlotsPerBlock));
      used_ = 0;
    }
    return &blocks_.back()[used_++];
  }

  void Give(void* p) {
    const std::lock_guard lock(mutex_);
    free_ = new (p) FreeSlot{free_};
    // The address sanitizer still reports a freed node read, as it would one of the heap's.
    ASAN_POISON_MEMORY_REGION(free_ + 1, sizeof(Slot) - sizeof(FreeSlot));
  }

private:
  struct alignas(64) Slot {
    std::byte Bytes[sizeof(TNode)];
  };
  struct FreeSlot {
    FreeSlot* Next;
  };
  static constexpr std::size_t kSlotsPerBlock = 1024;

  std::mutex mutex_;
  // Kept for the life of the program: the vertex pool bounds the nodes alive at once, and so
  // the blocks (about 33 of 384 KB at most).
  std::vector<std::unique_ptr<Slot[]>> blocks_;
  std::size_t used_ = kSlotsPerBlock;
  FreeSlot* free_ = nullptr;
};

// Never destroyed: a node freed by another object's destructor at exit still has its store.
NodeStore& Nodes() {
  static NodeStore* store = new NodeStore;
  return *store;
}

} // namespace

void* TNode::operator new(std::size_t size) {
  return Nodes().Take(size);
}

void TNode::operator delete(void* p) noexcept {
  if (p != nullptr) {
    Nodes().Give(p);
  }
}

bool ResetVertexPool() {
  if (g_pool.Top != 0) {
    LogWrite("Vertex pool not reset : " + std::to_string(g_pool.Top) + " vertices alive");
    return false;
  }
  std::iota(g_pool.Free, g_pool.Free + kVertexPoolSize, 0);
  return true;
}

int32_t FreeVertexSlots() {
  return kVertexPoolSize - g_pool.Top;
}

TNodeVertex::TNodeVertex() {
  // Splits check the free slots first; running out here means that check was bypassed.
  if (g_pool.Top >= kVertexPoolSize) {
    std::fprintf(stderr, "TNodeVertex: the vertex pool is exhausted\n");
    std::abort();
  }
  ++VertexCount;
  PoolIndex = g_pool.Free[g_pool.Top++];
  Position = &g_pool.Slots[PoolIndex];
}

TNodeVertex::~TNodeVertex() {
  g_pool.Free[--g_pool.Top] = PoolIndex;
  --VertexCount;
}

void TNodeVertex::SetMidpoint(const TNodeVertex& a, const TNodeVertex& b) {
  U = (a.U + b.U) / 2;
  V = (a.V + b.V) / 2;
  for (int k = 0; k < 3; ++k) {
    CubePoint[k] = (a.CubePoint[k] + b.CubePoint[k]) / 2;
  }
}

void CubeFacePoint(int32_t face, double a, double b, Vector3f& p) {
  const auto fa = static_cast<float>(a);
  const auto fb = static_cast<float>(b);
  switch (face) {
  case 0:
    p = {fa, fb, 1};
    break;
  case 1:
    p = {fa, fb, -1};
    break;
  case 2:
    p = {fa, 1, fb};
    break;
  case 3:
    p = {fa, -1, fb};
    break;
  case 4:
    p = {1, fa, fb};
    break;
  case 5:
    p = {-1, fa, fb};
    break;
  default:
    break;
  }
}

float TerrainHeightAt(const Vector3f& direction) {
  const THeightMapFactory* factory = HeightMapFactory();
  return factory != nullptr ? factory->HeightAt(direction) : 0.0f;
}

TNode::TNode(TNode* parent, int32_t face) : Parent(parent) {
  ++NodeCount;
  Level = parent == nullptr ? 1 : parent->Level + 1;
  if (parent == nullptr) {
    for (int i = 0; i < 9; ++i) {
      Attach(i, new TNodeVertex());
    }
    InitFaceRoot(face);
  }
  Face = face;
}

TNode::~TNode() {
  Merge();
  GenerationQueue.Remove(this, Level);
  for (TNodeVertex*& vertex : Vertex) {
    if (vertex != nullptr && --vertex->Refs < 1) {
      delete vertex;
    }
    vertex = nullptr;
  }
  Trees.reset();
  Buildings.reset();
  if (Tile != -1) {
    if (TTextureBuffer* atlas = TextureAtlas()) {
      atlas->ReleaseTile(Tile);
    }
  }
  --NodeCount;
}

void TNode::Attach(int slot, TNodeVertex* vertex) {
  ++vertex->Refs;
  Vertex[static_cast<size_t>(slot)] = vertex;
}

void TNode::InitFaceRoot(int32_t face) {
  Face = face;
  for (int i = 0; i < 9; ++i) {
    CubeFacePoint(face, i % 3 - 1, i / 3 - 1, *Vertex[static_cast<size_t>(i)]->Position);
  }
  for (int i = 0; i < 9; ++i) {
    TNodeVertex& v = *Vertex[static_cast<size_t>(i)];
    v.CubePoint[0] = v.Position->x;
    v.CubePoint[1] = v.Position->y;
    v.CubePoint[2] = v.Position->z;
    v.U = GridUV[i][0];
    v.V = GridUV[i][1];
  }
}

void TNode::Merge() {
  if (HasChildren) {
    for (auto& child : Child) {
      child.reset();
    }
  }
  HasChildren = false;
}

void TNode::Split() {
  if (HasChildren || FreeVertexSlots() < kVerticesPerSplit) {
    return;
  }
  HasChildren = true;
  for (int q = 0; q < 4; ++q) {
    Child[static_cast<size_t>(q)] = std::make_unique<TNode>(this, Face);
    Child[static_cast<size_t>(q)]->Quadrant = q;
  }
  TNode& c0 = *Child[0];
  TNode& c1 = *Child[1];
  TNode& c2 = *Child[2];
  TNode& c3 = *Child[3];

  c0.Neighbour[1] = &c1;
  c0.Neighbour[2] = &c2;
  c1.Neighbour[3] = &c0;
  c1.Neighbour[2] = &c3;
  c2.Neighbour[0] = &c0;
  c2.Neighbour[1] = &c3;
  c3.Neighbour[0] = &c1;
  c3.Neighbour[3] = &c2;

  auto p = [this](int i) { return Vertex[static_cast<size_t>(i)]; };
  const int corners[4][4] = {{0, 1, 3, 4}, {1, 2, 4, 5}, {3, 4, 6, 7}, {4, 5, 7, 8}};
  for (int q = 0; q < 4; ++q) {
    TNode& c = *Child[static_cast<size_t>(q)];
    c.Attach(0, p(corners[q][0]));
    c.Attach(2, p(corners[q][1]));
    c.Attach(6, p(corners[q][2]));
    c.Attach(8, p(corners[q][3]));
  }

  auto midpoint = [](const TNodeVertex* a, const TNodeVertex* b) {
    auto* vertex = new TNodeVertex();
    vertex->SetMidpoint(*a, *b);
    return vertex;
  };
  for (auto& child : Child) {
    child->Attach(4, midpoint(child->Vertex[0], child->Vertex[8]));
  }

  // Inner edges: one vertex for both children along the edge.
  TNodeVertex* inner = midpoint(p(1), p(4));
  c0.Attach(5, inner);
  c1.Attach(3, inner);
  inner = midpoint(p(3), p(4));
  c0.Attach(7, inner);
  c2.Attach(1, inner);
  inner = midpoint(p(4), p(5));
  c1.Attach(7, inner);
  c3.Attach(1, inner);
  inner = midpoint(p(4), p(7));
  c2.Attach(5, inner);
  c3.Attach(3, inner);

  // Outer edges: each child its own, never shared with the node across the edge, whose
  // children make their own vertex at the same lattice point.
  auto outer = [&midpoint](TNode& c, int slot, int a, int b) {
    c.Attach(slot, midpoint(c.Vertex[static_cast<size_t>(a)], c.Vertex[static_cast<size_t>(b)]));
  };
  outer(c0, 1, 0, 2);
  outer(c0, 3, 0, 6);
  outer(c1, 1, 0, 2);
  outer(c1, 5, 2, 8);
  outer(c2, 3, 0, 6);
  outer(c2, 7, 6, 8);
  outer(c3, 5, 2, 8);
  outer(c3, 7, 6, 8);

  PlantDecorations();
}

void TNode::PlantDecorations() {
  const TNodeVertex& centre = *Vertex[4];
  if (Level < kPlantingLevel || centre.Height < kPlantingMinHeight) {
    return;
  }
  // Both pairs of draws happen in this order whatever they decide: the placement of everything
  // planted later depends on it.
  if (Level == kPlantingLevel && Buildings == nullptr) {
    const int32_t a = Random(10);
    const int32_t b = Random(10);
    if (a == b) {
      Buildings = std::make_unique<TBuilding>();
    }
  }
  if (Buildings == nullptr && Level == kPlantingLevel && Trees == nullptr) {
    const int32_t a = Random(10);
    const int32_t b = Random(10);
    if (a <= b) {
      Trees = std::make_unique<TPlanetaryTrees>(*centre.Position);
    }
  }
}

namespace {

// Distance3 written out, the same operations in the same order: the refinement pass makes ten
// of these for every node of the tree, and calls into the engine's library do not inline.
float DistanceBetween(const Vector3f& a, const Vector3f& b) {
  const double x = static_cast<double>(b.x) - a.x;
  const double y = static_cast<double>(b.y) - a.y;
  const double z = static_cast<double>(b.z) - a.z;
  return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

} // namespace

bool AnyWithinReach(const std::array<Vector3f, 9>& positions, const Vector3f& p, double reach) {
  // Squared distances settle all but the nearest calls without a square root: the distance
  // rounded to a float differs from the exact one by far less than these margins.
  const double surely_within = reach * reach * (1 - 1e-5);
  const double surely_beyond = reach * reach * (1 + 1e-5);
  for (const Vector3f& position : positions) {
    const double x = static_cast<double>(p.x) - position.x;
    const double y = static_cast<double>(p.y) - position.y;
    const double z = static_cast<double>(p.z) - position.z;
    const double squared = x * x + y * y + z * z;
    if (squared < surely_within ||
        (!(squared > surely_beyond) && DistanceBetween(position, p) < reach)) {
      return true;
    }
  }
  return false;
}

void TNode::Refine() {
  if (!PositionsCopied) {
    for (TNodeVertex* vertex : Vertex) {
      if (vertex->Ready) {
        continue;
      }
      Vector3f position{static_cast<float>(vertex->CubePoint[0]),
                        static_cast<float>(vertex->CubePoint[1]),
                        static_cast<float>(vertex->CubePoint[2])};
      if (Length3(position) != 0.0f) {
        position = Normalized3(position);
      }
      vertex->Height = TerrainHeightAt(position);
      const double radius = static_cast<double>(vertex->Height) + kBaseRadius;
      *vertex->Position = {static_cast<float>(position.x * radius),
                           static_cast<float>(position.y * radius),
                           static_cast<float>(position.z * radius)};
      vertex->Ready = true;
    }
    for (size_t i = 0; i < 9; ++i) {
      VertexPositions[i] = *Vertex[i]->Position;
    }
    PositionsCopied = true;
    Size = DistanceBetween(VertexPositions[0], VertexPositions[8]);
  }

  Distance = DistanceBetween(VertexPositions[4], ReferencePosition);

  BeyondHorizon = HorizonDistance > 0 && static_cast<double>(Distance) - Size > HorizonDistance;
  if (BeyondHorizon || Level >= MaxNodeLevel) {
    Merge();
    return;
  }
  if (Level > CurrentLevel) {
    CurrentLevel = Level;
  }

  bool split = Level < 5 && ReferenceDistance > 1000;
  if (!split) {
    split = AnyWithinReach(VertexPositions, ReferencePosition, 6.0 * static_cast<double>(Size));
  }
  if (split) {
    Split();
  } else {
    Merge();
  }

  if (HasChildren) {
    for (auto& child : Child) {
      child->Refine();
    }
  }
}

void TNode::LinkChildren() {
  // The neighbour's child on the facing side, or none when the neighbour is a leaf or absent.
  auto facing = [this](int edge, int quadrant) -> TNode* {
    const TNode* n = Neighbour[static_cast<size_t>(edge)];
    return n != nullptr && n->HasChildren ? n->Child[static_cast<size_t>(quadrant)].get() : nullptr;
  };
  Child[0]->Neighbour[3] = facing(3, 1);
  Child[2]->Neighbour[3] = facing(3, 3);
  Child[1]->Neighbour[1] = facing(1, 0);
  Child[3]->Neighbour[1] = facing(1, 2);
  Child[0]->Neighbour[0] = facing(0, 2);
  Child[1]->Neighbour[0] = facing(0, 3);
  Child[2]->Neighbour[2] = facing(2, 0);
  Child[3]->Neighbour[2] = facing(2, 1);
}

void TNode::LinkNeighbours() {
  if (!HasChildren) {
    return;
  }
  if (Parent != nullptr) {
    LinkChildren();
  }
  for (auto& child : Child) {
    child->LinkNeighbours();
  }
}

void TNode::UpdateEdgeFlags() {
  for (size_t e = 0; e < 4; ++e) {
    EdgeMidpoint[e] = Neighbour[e] != nullptr && Neighbour[e]->HasChildren;
  }
  if (HasChildren) {
    for (auto& child : Child) {
      child->UpdateEdgeFlags();
    }
  }
}

void TNode::LinkFlagAndSort(bool sort) {
  for (size_t e = 0; e < 4; ++e) {
    EdgeMidpoint[e] = Neighbour[e] != nullptr && Neighbour[e]->HasChildren;
  }
  if (!HasChildren) {
    return;
  }
  if (Parent != nullptr) {
    LinkChildren();
  }
  if (sort) {
    for (int pass = 0; pass < 3; ++pass) {
      for (int j = 0; j <= 2 - pass; ++j) {
        const auto a = static_cast<size_t>(ChildOrder[static_cast<size_t>(j)]);
        const auto b = static_cast<size_t>(ChildOrder[static_cast<size_t>(j + 1)]);
        if (Child[a]->Distance > Child[b]->Distance) {
          std::swap(ChildOrder[static_cast<size_t>(j)], ChildOrder[static_cast<size_t>(j + 1)]);
        }
      }
    }
  }
  for (auto& child : Child) {
    child->LinkFlagAndSort(sort);
  }
}

void TNode::SortChildren() {
  if (!HasChildren) {
    return;
  }
  // Starts from the last order: between nearby passes it is already almost sorted.
  for (int pass = 0; pass < 3; ++pass) {
    for (int j = 0; j <= 2 - pass; ++j) {
      const auto a = static_cast<size_t>(ChildOrder[static_cast<size_t>(j)]);
      const auto b = static_cast<size_t>(ChildOrder[static_cast<size_t>(j + 1)]);
      if (Child[a]->Distance > Child[b]->Distance) {
        std::swap(ChildOrder[static_cast<size_t>(j)], ChildOrder[static_cast<size_t>(j + 1)]);
      }
    }
  }
  for (auto& child : Child) {
    child->SortChildren();
  }
}

} // namespace meridia
