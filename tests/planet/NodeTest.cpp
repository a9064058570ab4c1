// The quadtree's invariants on real refinement passes: structure, counters, shared vertices,
// neighbour links and stitching, from orbit down to the ground and back.
#include "PlanetTestSupport.h"

#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "models/Building.h"
#include "planet/PlanetCounters.h"
#include "vegetation/PlanetaryTrees.h"
#include "view/Frustum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>

namespace meridia::testing {
namespace {

constexpr int kOpposite[4] = {2, 3, 0, 1};
// The midpoint of each edge, and the grid index of the same point seen from across that edge.
constexpr int kEdgeMidpoint[4] = {1, 5, 7, 3};
// The two corners of each edge, and the corners they meet across it.
constexpr int kEdgeCorners[4][2] = {{0, 2}, {2, 8}, {6, 8}, {0, 6}};
constexpr int kFacingCorners[4][2] = {{6, 8}, {0, 6}, {0, 2}, {2, 8}};

bool SamePosition(const TNodeVertex* a, const TNodeVertex* b) {
  return a->Position->x == b->Position->x && a->Position->y == b->Position->y &&
         a->Position->z == b->Position->z;
}

class QuadtreeTest : public PlanetTest {
protected:
  // Everything the tree promises after a refinement pass.
  void CheckInvariants() {
    const std::vector<TNode*> nodes = Nodes();
    const std::set<const TNode*> live(nodes.begin(), nodes.end());
    std::map<const TNodeVertex*, int> holders;
    int32_t deepest = 0;
    for (TNode* n : nodes) {
      SCOPED_TRACE(::testing::Message() << "face " << n->Face << " level " << n->Level);
      if (n->Parent == nullptr) {
        EXPECT_EQ(n->Level, 1);
        EXPECT_EQ(n->Quadrant, -1);
      } else {
        EXPECT_EQ(n->Level, n->Parent->Level + 1);
        EXPECT_EQ(n->Face, n->Parent->Face);
        EXPECT_EQ(n->Parent->Child[n->Quadrant].get(), n);
      }
      for (const auto& child : n->Child) {
        EXPECT_EQ(child != nullptr, n->HasChildren);
      }
      EXPECT_LE(n->Level, MaxNodeLevel);
      EXPECT_FALSE(n->Level == MaxNodeLevel && n->HasChildren);
      // Level-21 nodes stop before they count.
      if (!n->BeyondHorizon && n->Level < MaxNodeLevel) {
        deepest = std::max(deepest, n->Level);
      }
      for (const TNodeVertex* v : n->Vertex) {
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(v->Ready);
        ++holders[v];
      }
      for (int e = 0; e < 4; ++e) {
        const TNode* m = n->Neighbour[e];
        EXPECT_EQ(n->EdgeMidpoint[e], m != nullptr && m->HasChildren);
        if (m == nullptr) {
          continue;
        }
        ASSERT_TRUE(live.count(m)) << "a link to a node that no longer exists";
        EXPECT_EQ(m->Level, n->Level);
        EXPECT_EQ(m->Face, n->Face);
        EXPECT_EQ(m->Neighbour[kOpposite[e]], n) << "edge " << e;
        // Neighbours share their edge's corners.
        for (int k = 0; k < 2; ++k) {
          EXPECT_TRUE(SamePosition(n->Vertex[kEdgeCorners[e][k]], m->Vertex[kFacingCorners[e][k]]));
        }
      }
      if (!n->HasChildren) {
        CheckStitching(*n);
      }
    }
    EXPECT_EQ(NodeCount, static_cast<int32_t>(nodes.size()));
    EXPECT_EQ(VertexCount, static_cast<int32_t>(holders.size()));
    EXPECT_EQ(FreeVertexSlots(), kVertexPoolSize - VertexCount);
    std::set<int32_t> slots;
    for (const auto& [vertex, count] : holders) {
      EXPECT_EQ(vertex->Refs, count);
      EXPECT_TRUE(slots.insert(vertex->PoolIndex).second) << "two vertices in one slot";
    }
    EXPECT_EQ(CurrentLevel, deepest);
  }

  // Wherever a same-level neighbour is split, the leaf's fan runs through that edge's midpoint,
  // and the neighbour's children meet the point with a vertex at the very same position.
  void CheckStitching(const TNode& leaf) {
    const TPatchFan fan = BuildPatchFan(leaf);
    const std::set<int> in_fan(fan.Index.begin(), fan.Index.begin() + fan.Count);
    for (int e = 0; e < 4; ++e) {
      const TNode* m = leaf.Neighbour[e];
      const bool split = m != nullptr && m->HasChildren;
      EXPECT_EQ(in_fan.count(kEdgeMidpoint[e]) == 1, split) << "edge " << e;
      if (!split) {
        continue;
      }
      const TNodeVertex* across = m->Vertex[kEdgeMidpoint[kOpposite[e]]];
      EXPECT_TRUE(SamePosition(leaf.Vertex[kEdgeMidpoint[e]], across));
      // The point is a corner of two of the neighbour's children.
      int corners = 0;
      for (const auto& child : m->Child) {
        for (const TNodeVertex* v : child->Vertex) {
          corners += v == across;
        }
      }
      EXPECT_EQ(corners, 2) << "the neighbour's two children along the edge";
    }
  }
};

TEST_F(QuadtreeTest, ASplitSharesCornersAndInnerMidpointsButNotOuterOnes) {
  TNode& root = *planet_->Roots[0];
  EXPECT_EQ(root.Vertex[8]->U, GridUV[8][0]);
  root.Split();
  EXPECT_EQ(NodeCount, 10);
  EXPECT_EQ(VertexCount, 54 + 16);
  // Parent corner, edge midpoint and centre are held by 1 + 1, 1 + 2 and 1 + 4 nodes.
  EXPECT_EQ(root.Vertex[0]->Refs, 2);
  EXPECT_EQ(root.Vertex[1]->Refs, 3);
  EXPECT_EQ(root.Vertex[4]->Refs, 5);
  EXPECT_EQ(root.Child[0]->Vertex[5], root.Child[1]->Vertex[3]);
  EXPECT_EQ(root.Child[0]->Vertex[1]->Refs, 1);
  EXPECT_EQ(root.Child[0]->Vertex[4]->U, 0.25);
  EXPECT_EQ(root.Child[3]->Vertex[4]->V, 0.75);
  root.Split(); // already split: nothing
  EXPECT_EQ(NodeCount, 10);
  root.Merge();
  EXPECT_EQ(NodeCount, 6);
  EXPECT_EQ(VertexCount, 54);
  EXPECT_EQ(root.Vertex[4]->Refs, 1);

  Vector3f untouched{7, 8, 9};
  CubeFacePoint(6, 0.5, 0.5, untouched);
  EXPECT_EQ(untouched.z, 9.0f) << "an unknown face leaves the point alone";
}

TEST_F(QuadtreeTest, AnotherSplitTakesTheSlotsAMergeGaveBackAndSiblingsLieTogether) {
  TNode& root = *planet_->Roots[2];
  root.Split();
  std::set<const TNode*> first;
  uintptr_t low = UINTPTR_MAX;
  uintptr_t high = 0;
  for (const auto& child : root.Child) {
    const auto at = reinterpret_cast<uintptr_t>(child.get());
    EXPECT_EQ(at % 64, 0u) << "each node starts a cache line";
    low = std::min(low, at);
    high = std::max(high, at);
    first.insert(child.get());
  }
  // Four slots of one block, whether new or given back together.
  EXPECT_LT(high - low, 4 * sizeof(TNode) + 4 * 64);
  root.Merge();
  root.Split();
  for (const auto& child : root.Child) {
    EXPECT_TRUE(first.contains(child.get()));
  }
}

TEST_F(QuadtreeTest, AFreedNodeReadIsStillReportedByTheAddressSanitizer) {
#if defined(__SANITIZE_ADDRESS__)
  TNode& root = *planet_->Roots[4];
  root.Split();
  // A byte past the pointer that the store keeps at the start of a freed node.
  const auto* bytes = reinterpret_cast<const volatile unsigned char*>(root.Child[1].get());
  root.Merge();
  EXPECT_DEATH((void)bytes[3 * sizeof(void*)], "use-after-poison");
#else
  GTEST_SKIP() << "needs the address sanitizer";
#endif
}

TEST_F(QuadtreeTest, InvariantsHoldFromOrbitToTheGroundAndBack) {
  const Vector3f flight[] = {{0, 0, 1000},
                             {0, 0, 3000},
                             Above({0.3f, -0.2f, 1}, 50),
                             Above({0.3f, -0.2f, 1}, 0.05f),
                             Above({0.3f, -0.2f, 1}, 0.0001f),
                             Above({0.31f, -0.2f, 1}, 0.0001f),
                             Above({1, 0.4f, 1}, 1),
                             Above({1, 0.4f, 1}, 0.0001f),
                             Above({1, 1, 1}, 0.01f),
                             {0, 0, 1000}};
  for (const Vector3f& p : flight) {
    SCOPED_TRACE(::testing::Message() << "reference " << p.x << ", " << p.y << ", " << p.z);
    RefineFrom(p);
    CheckInvariants();
    if (&p == &flight[4]) {
      EXPECT_EQ(CurrentLevel, 20) << "level-21 nodes never split";
    }
  }
  for (auto& root : planet_->Roots) {
    root->Merge();
  }
  EXPECT_EQ(NodeCount, 6);
  EXPECT_EQ(VertexCount, 54);
  EXPECT_EQ(FreeVertexSlots(), kVertexPoolSize - 54);
  planet_.reset();
  EXPECT_EQ(NodeCount, 0);
  EXPECT_EQ(VertexCount, 0);
}

TEST_F(QuadtreeTest, OnABareSphereNodesSplitWithinSixDiagonalsAndDropBehindTheHorizon) {
  // Without terrain, distances and sizes follow from the geometry alone.
  planet_.reset();
  planet_ = std::make_unique<TPlanetObject>(
      camera_, nullptr,
      std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize,
                                       TTextureBuffer::WithoutTexture{}));

  // Above the centre of face 0 every node around the centre has the point right below the
  // camera as its nearest vertex, and those nodes are the largest of their level: the deepest
  // leaves are there. At level L their diagonal runs from (0, 0, 1) to (s, s, 1), s = 2^(2 - L),
  // projected onto the sphere.
  auto diagonal = [](int level) {
    const double s = std::ldexp(1.0, 2 - level);
    const double n = std::sqrt(2 * s * s + 1);
    return 678.0 * std::sqrt(2 * (s / n) * (s / n) + (1 - 1 / n) * (1 - 1 / n));
  };
  for (const int level : {7, 12, 16, 19}) {
    for (const double diagonals : {5.5, 6.5}) {
      RefineFrom({0, 0, static_cast<float>(678.0 + diagonals * diagonal(level))});
      // Half as large, the children are out of reach in both cases.
      EXPECT_EQ(CurrentLevel, diagonals < 6 ? level + 1 : level)
          << diagonals << " diagonals of level " << level;
    }
  }

  // The face opposite the camera: its centre lies 678 + R away and its diagonal is
  // 678 * 2 * sqrt(2/3); it is beyond the horizon sqrt(R² - 678²) while R + 678 - diagonal
  // exceeds it, that is below R = (c² + 678²) / -2c with c = 678 - diagonal (about 750).
  const double c = 678.0 - 678.0 * 2 * std::sqrt(2.0 / 3);
  const double threshold = (c * c + 678.0 * 678.0) / (-2 * c);
  for (const double r : {0.98 * threshold, 1.02 * threshold}) {
    RefineFrom({0, 0, static_cast<float>(r)});
    const TNode& opposite = *planet_->Roots[1];
    EXPECT_EQ(opposite.BeyondHorizon, r < threshold) << r;
    EXPECT_EQ(opposite.HasChildren, r > threshold) << r;
    EXPECT_FALSE(planet_->Roots[4]->BeyondHorizon) << "a side face stays in view";
  }
}

TEST_F(QuadtreeTest, ChildrenAreOrderedNearToFar) {
  RefineFrom(Above({0.5f, 0.5f, 1}, 0.3f));
  RefineFrom(Above({-0.5f, 0.1f, 1}, 0.3f)); // the order is kept from pass to pass
  int sorted = 0;
  for (TNode* n : Nodes()) {
    if (!n->HasChildren || n->Level == 1) {
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(n->Child[n->ChildOrder[static_cast<size_t>(k)]]->Distance,
                n->Child[n->ChildOrder[static_cast<size_t>(k + 1)]]->Distance);
    }
    ++sorted;
  }
  EXPECT_GT(sorted, 100);
}

TEST_F(QuadtreeTest, ASplitNeedingMoreVertexSlotsThanAreFreeIsSkipped) {
  // Leave room for exactly three splits and a little.
  std::vector<std::unique_ptr<TNodeVertex>> hog;
  while (FreeVertexSlots() > 3 * kVerticesPerSplit + 5) {
    hog.push_back(std::make_unique<TNodeVertex>());
  }
  RefineFrom(Above({0.3f, -0.2f, 1}, 0.001f));
  EXPECT_EQ(NodeCount, 6 + 3 * 4);
  EXPECT_EQ(FreeVertexSlots(), 5);
  hog.clear();
  RefineFrom(Above({0.3f, -0.2f, 1}, 0.5f));
  EXPECT_GT(NodeCount, 1000) << "with the slots back the tree grows again";
  CheckInvariants();
}

TEST_F(QuadtreeTest, AMergedNodeKeepsItsTileAndItsChildrenGiveTheirsBack) {
  TNode& root = *planet_->Roots[0];
  RefineFrom({0, 0, 1000});
  root.GeneratePatch();
  TNode& child = *root.Child[2];
  child.GeneratePatch();
  child.Child[1]->GeneratePatch();
  EXPECT_EQ(child.Child[1]->Tile, 2);
  child.Merge();
  EXPECT_TRUE(child.Generated);
  EXPECT_EQ(child.Tile, 1);
  EXPECT_EQ(planet_->Atlas->TilesInUse, 2);
  child.Split();
  child.Child[3]->GeneratePatch();
  EXPECT_EQ(child.Child[3]->Tile, 2) << "the last tile given back is the next handed out";
  EXPECT_FALSE(child.Child[1]->Generated) << "new children start over";
}

TEST_F(QuadtreeTest, LandSplitsOfThePlantingLevelDrawTwoPairsAndPlantTreesOnceSeen) {
  TNode& node = *planet_->Roots[0];
  // The node as a land patch of level 18; only its level and centre height matter here.
  node.Level = kPlantingLevel;
  node.Vertex[4]->Height = 0.75f;
  int with_trees = 0, with_buildings = 0;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    node.Merge();
    node.Trees.reset();
    node.Buildings.reset();
    SetRandSeed(seed);
    node.Split();
    const uint32_t after = RandSeed();
    SetRandSeed(seed);
    // The buildings' pair comes first; where it builds, the trees' pair is not drawn.
    const int32_t first = Random(10);
    const bool builds = first == Random(10);
    ASSERT_EQ(node.Buildings != nullptr, builds) << seed;
    if (builds) {
      EXPECT_EQ(node.Trees, nullptr);
    } else {
      const int32_t a = Random(10);
      const int32_t b = Random(10);
      ASSERT_EQ(node.Trees != nullptr, a <= b) << seed;
    }
    ASSERT_EQ(RandSeed(), after);
    with_trees += node.Trees != nullptr;
    with_buildings += node.Buildings != nullptr;
  }
  // 1 in 10 and 9/10 of 55 in 100 on average.
  EXPECT_GT(with_buildings, 1);
  EXPECT_LT(with_buildings, 15);
  EXPECT_GT(with_trees, 18);
  EXPECT_LT(with_trees, 45);
  for (uint32_t seed = 61; node.Trees == nullptr; ++seed) {
    node.Merge();
    node.Buildings.reset();
    SetRandSeed(seed);
    node.Split();
  }

  // Trees stay through a merge; splitting again only draws the buildings' pair.
  ASSERT_NE(node.Trees, nullptr);
  const Vector3f centre = *node.Vertex[4]->Position;
  EXPECT_EQ(node.Trees->Centre[0].x, centre.x);
  node.Merge();
  EXPECT_NE(node.Trees, nullptr);
  SetRandSeed(5);
  node.Split();
  const uint32_t after = RandSeed();
  SetRandSeed(5);
  Random(10);
  Random(10);
  EXPECT_EQ(RandSeed(), after);
  node.Buildings.reset(); // should that pair have built: the trees alone are planted below

  // Planted on the first pass that sees the node, never again.
  TzoFrustum everything;
  SetRandSeed(9);
  node.DrawDecorations(everything, {0, 0, 1000});
  ASSERT_TRUE(node.Trees->Planted);
  const uint32_t planted = RandSeed();
  SetRandSeed(9);
  const int32_t count = Random(40) + 1;
  for (int32_t i = 0; i < 5 * count; ++i) {
    Random(1);
  }
  EXPECT_EQ(RandSeed(), planted);
  EXPECT_EQ(node.Trees->Count, count);
  node.DrawDecorations(everything, {0, 0, 1000});
  EXPECT_EQ(RandSeed(), planted);

  // Sea, coarser levels and finer ones draw nothing.
  for (const auto& [level, height] : {std::pair{18, 0.49f}, {17, 0.9f}, {19, 0.9f}}) {
    node.Merge();
    node.Trees.reset();
    node.Level = level;
    node.Vertex[4]->Height = height;
    SetRandSeed(3);
    node.Split();
    EXPECT_EQ(RandSeed(), 3u) << level << " " << height;
    EXPECT_EQ(node.Trees, nullptr);
  }
  node.Merge();
  node.Level = 1;
}

TEST_F(QuadtreeTest, BuildingsArePlantedFiveOnFirstSightEachAGroundPointAKindAndATurn) {
  // Three catalogue models without shapes: drawing them touches no OpenGL state.
  BuildingModels().clear();
  for (int32_t i = 0; i < 3; ++i) {
    BuildingModels().push_back(std::make_unique<TModel>());
    BuildingModels().back()->TriangleCount = 100 + i;
  }
  TNode& node = *planet_->Roots[0];
  node.Level = kPlantingLevel;
  node.Vertex[4]->Height = 0.75f;
  for (uint32_t seed = 1; node.Buildings == nullptr; ++seed) {
    node.Merge();
    node.Trees.reset();
    SetRandSeed(seed);
    node.Split();
  }
  EXPECT_EQ(node.Trees, nullptr);
  const Vector3f centre = *node.Vertex[4]->Position;

  TzoFrustum everything;
  SetRandSeed(77);
  TrisCount = 0;
  node.DrawDecorations(everything, {0, 0, 1000});
  const uint32_t planted = RandSeed();
  ASSERT_TRUE(node.Buildings->Planted);
  ASSERT_EQ(node.Buildings->Count, 5);
  SetRandSeed(77);
  int32_t triangles = 0;
  for (size_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const Vector3f position = ScatteredGroundPoint(centre, GroundRadius);
    const int32_t kind = Random(2147483647);
    const float turn = static_cast<float>(360.0 * RandomReal());
    const TModelInstance& b = *node.Buildings->Instances[k];
    EXPECT_EQ(b.Position.x, position.x);
    EXPECT_EQ(b.Position.y, position.y);
    EXPECT_EQ(b.Position.z, position.z);
    EXPECT_EQ(b.Model, BuildingModels()[size_t(kind % 3)].get());
    EXPECT_EQ(b.TurnAngle, turn);
    triangles += b.TriangleCount;
  }
  EXPECT_EQ(RandSeed(), planted);
  EXPECT_EQ(TrisCount, triangles) << "all five stand in an unbounded view";
  // Later passes only draw.
  node.DrawDecorations(everything, {0, 0, 1000});
  EXPECT_EQ(RandSeed(), planted);
  EXPECT_EQ(TrisCount, 2 * triangles);

  node.Buildings.reset();
  node.Merge();
  node.Level = 1;
  BuildingModels().clear();
}

TEST_F(QuadtreeTest, ANodeOutOfSightPlantsNothingAndDrawsNoRandomNumber) {
  BuildingModels().clear();
  for (int32_t i = 0; i < 3; ++i) {
    BuildingModels().push_back(std::make_unique<TModel>());
  }
  TNode& node = *planet_->Roots[0];
  node.Split();
  node.Buildings = std::make_unique<TBuilding>();
  TNode& child = *node.Child[0];
  child.Trees = std::make_unique<TPlanetaryTrees>(*child.Vertex[4]->Position);
  // One plane, far on the other side of the planet from this face (+z), facing away from it.
  TzoFrustum away;
  away.SetPlaneCount(1);
  away.Planes[0] = {0, 0, -1, -5000};
  TrisCount = 0;
  SetRandSeed(41);
  node.DrawDecorations(away, {0, 0, 1000});
  EXPECT_EQ(RandSeed(), 41u);
  EXPECT_FALSE(node.Buildings->Planted);
  EXPECT_FALSE(child.Trees->Planted);
  EXPECT_EQ(TrisCount, 0);

  // Once in sight, both are planted on that pass.
  const TzoFrustum everything;
  node.DrawDecorations(everything, {0, 0, 1000});
  EXPECT_NE(RandSeed(), 41u);
  EXPECT_TRUE(node.Buildings->Planted);
  EXPECT_TRUE(child.Trees->Planted);

  child.Trees.reset();
  node.Buildings.reset();
  node.Merge();
  BuildingModels().clear();
}

} // namespace
} // namespace meridia::testing

namespace meridia::testing {
namespace {

// Each pass's sizes, distances and splits follow from the vertices as they are, whichever pass
// computed them: the second pass reads what the first left, both near the ground.
TEST_F(QuadtreeTest, EveryPassDecidesFromTheNodesOwnVertices) {
  for (const Vector3f& p : {Above({0.3f, -0.2f, 1}, 0.5f), Above({0.31f, -0.2f, 1}, 0.02f)}) {
    RefineFrom(p);
    int split = 0;
    for (TNode* n : Nodes()) {
      const Vector3f& first = *n->Vertex[0]->Position;
      const Vector3f& last = *n->Vertex[8]->Position;
      ASSERT_EQ(n->Size, Distance3(first, last));
      ASSERT_EQ(n->Distance, Distance3(*n->Vertex[4]->Position, ReferencePosition));
      bool near = n->Level < 5 && ReferenceDistance > 1000;
      for (const TNodeVertex* v : n->Vertex) {
        near = near || Distance3(*v->Position, ReferencePosition) < 6.0 * n->Size;
      }
      ASSERT_EQ(n->HasChildren, near && !n->BeyondHorizon && n->Level < MaxNodeLevel)
          << "level " << n->Level;
      split += n->HasChildren ? 1 : 0;
    }
    EXPECT_GT(split, 1000);
  }
}

// The single walk of the pass against the three walks run again over its result: nothing
// changes, so it left every link, flag and order as they would.
TEST_F(QuadtreeTest, OneWalkLinksFlagsAndSortsAsTheThreeWalksDo) {
  RefineFrom(Above({0.5f, 0.5f, 1}, 0.3f));
  RefineFrom(Above({-0.5f, 0.1f, 1}, 0.3f));
  struct State {
    std::array<TNode*, 4> links;
    std::array<bool, 4> flags;
    std::array<int32_t, 4> order;
    bool operator==(const State&) const = default;
  };
  std::vector<State> after_pass;
  for (TNode* n : Nodes()) {
    after_pass.push_back({n->Neighbour, n->EdgeMidpoint, n->ChildOrder});
  }
  for (auto& root : planet_->Roots) {
    root->LinkNeighbours();
    root->UpdateEdgeFlags();
  }
  for (int k = 0; k < 5; ++k) {
    planet_->Roots[static_cast<size_t>(planet_->FaceOrder[static_cast<size_t>(k)])]->SortChildren();
  }
  size_t i = 0;
  int flagged = 0;
  for (TNode* n : Nodes()) {
    const State again{n->Neighbour, n->EdgeMidpoint, n->ChildOrder};
    EXPECT_TRUE(again == after_pass[i++]) << "level " << n->Level;
    flagged += again.flags[0] || again.flags[1] || again.flags[2] || again.flags[3];
  }
  EXPECT_GT(flagged, 100);
}

// The split test's shortcut must decide as the rounded distances do, most of all where a
// distance rounds to the reach itself or to either float beside it.
TEST(SplitReach, DecidesAsTheRoundedDistancesDo) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-700.0f, 700.0f);
  std::uniform_real_distribution<float> near(-0.01f, 0.01f);
  auto rounded = [](const Vector3f& a, const Vector3f& b) {
    const double x = static_cast<double>(b.x) - a.x;
    const double y = static_cast<double>(b.y) - a.y;
    const double z = static_cast<double>(b.z) - a.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
  };
  int within = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const Vector3f p{coordinate(random), coordinate(random), coordinate(random)};
    const float spread = trial % 2 == 0 ? 1.0f : 1e-4f;
    std::array<Vector3f, 9> positions;
    for (Vector3f& q : positions) {
      q = {p.x + near(random) * spread * 100, p.y + near(random) * spread * 100,
           p.z + near(random) * spread * 100};
    }
    // A reach at the rounded distance of one of the positions, or a float or two from it.
    const float at = rounded(positions[static_cast<size_t>(trial % 9)], p);
    const int steps = trial % 5 - 2;
    float reach = at;
    for (int k = 0; k < std::abs(steps); ++k) {
      reach = std::nextafter(reach, steps < 0 ? 0.0f : 1e9f);
    }
    bool expected = false;
    for (const Vector3f& q : positions) {
      expected = expected || rounded(q, p) < reach;
    }
    within += expected;
    ASSERT_EQ(AnyWithinReach(positions, p, reach), expected) << trial;
  }
  EXPECT_GT(within, 2000);
  EXPECT_GT(20000 - within, 1000);
  const std::array<Vector3f, 9> origin{};
  EXPECT_FALSE(AnyWithinReach(origin, {0, 0, 0}, 0.0));
  EXPECT_FALSE(AnyWithinReach(origin, {0, 0, 0}, std::nan("")));
  EXPECT_TRUE(AnyWithinReach(origin, {1, 0, 0}, std::nextafter(1.0, 2.0)));
}

} // namespace
} // namespace meridia::testing
