// Leaf fans, atlas coordinates, culling and queueing, and patch builds, without OpenGL.
#include "PlanetTestSupport.h"

#include "engine/FrameCounters.h"
#include "engine/VectorGeometry.h"
#include "planet/PlanetCounters.h"
#include "view/RenderOrigin.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace meridia::testing {
namespace {

using PatchDrawing = PlanetTest;

std::vector<int> FanOf(const TNode& node) {
  const TPatchFan fan = BuildPatchFan(node);
  return {fan.Index.begin(), fan.Index.begin() + fan.Count};
}

TEST_F(PatchDrawing, FansHaveSixToTenVerticesInTheFacesWindingOrder) {
  TNode& a = *planet_->Roots[0];
  EXPECT_EQ(FanOf(a), (std::vector<int>{4, 0, 2, 8, 6, 0}));
  a.EdgeMidpoint = {true, true, true, true};
  EXPECT_EQ(FanOf(a), (std::vector<int>{4, 0, 1, 2, 5, 8, 7, 6, 3, 0}));
  a.EdgeMidpoint = {false, true, false, true};
  EXPECT_EQ(FanOf(a), (std::vector<int>{4, 0, 2, 5, 8, 6, 3, 0}));

  TNode& b = *planet_->Roots[5];
  EXPECT_EQ(FanOf(b), (std::vector<int>{4, 0, 6, 8, 2, 0}));
  b.EdgeMidpoint = {true, false, true, false};
  EXPECT_EQ(FanOf(b), (std::vector<int>{4, 0, 6, 7, 8, 2, 1, 0}));
}

TEST_F(PatchDrawing, EveryTriangleFacesOutOfThePlanetOnEveryFace) {
  RefineFrom({0, 0, 1000});
  for (TNode* node : Nodes()) {
    node->EdgeMidpoint = {true, node->Level % 2 == 0, false, true};
    const TPatchFan fan = BuildPatchFan(*node);
    const Vector3f hub = *node->Vertex[4]->Position;
    for (int32_t k = 1; k + 1 < fan.Count; ++k) {
      const Vector3f a = *node->Vertex[fan.Index[k]]->Position;
      const Vector3f b = *node->Vertex[fan.Index[k + 1]]->Position;
      const Vector3f normal = Cross3(Sub3(a, hub), Sub3(b, hub));
      ASSERT_GT(Dot3(normal, hub), 0) << "face " << node->Face << " level " << node->Level;
    }
  }
}

TEST_F(PatchDrawing, TexCoordsInsetHalfATexelIntoTheTileAndBorrowAnAncestorsQuarter) {
  RefineFrom({0, 0, 1000});
  TNode& parent = *planet_->Roots[0]->Child[1];
  ASSERT_TRUE(parent.HasChildren);
  TNode& node = *parent.Child[3];
  ASSERT_EQ(node.Level, 3);
  parent.Tile = 130; // column 2, row 1
  TPatchTexCoords coords;
  PatchTexCoords(node, coords);
  EXPECT_EQ(coords[0].x, 0.01953125f);
  EXPECT_EQ(coords[0].y, 0.01171875f);
  EXPECT_FLOAT_EQ(coords[8].x, (32 + 0.5f + 7.5f + 7.5f) / 2048);
  EXPECT_FLOAT_EQ(coords[8].y, (16 + 0.5f + 7.5f + 7.5f) / 2048);

  // Its own tile wins; corners land on the centres of the tile's border texels.
  node.Tile = 130;
  PatchTexCoords(node, coords);
  EXPECT_EQ(coords[0].x, 32.5f / 2048);
  EXPECT_EQ(coords[8].y, 31.5f / 2048);
  node.Tile = -1;

  // Two levels down from the tile: a sixteenth of it, at the quarter of a quarter.
  if (node.HasChildren) {
    node.Merge();
  }
  node.Split();
  PatchTexCoords(*node.Child[2], coords);
  EXPECT_FLOAT_EQ(coords[0].x, (32 + 0.5f + 15 * 0.5f) / 2048);
  EXPECT_FLOAT_EQ(coords[0].y, (16 + 0.5f + 15 * 0.75f) / 2048);

  // Nothing textured yet: the root's -1 reads column -1 of row 0, outside the atlas.
  parent.Tile = -1;
  PatchTexCoords(node, coords);
  EXPECT_EQ(coords[0].x, static_cast<float>((-16 + 0.5 + 15 * 0.75) / 2048));
  EXPECT_EQ(coords[0].y, static_cast<float>((0.5 + 15 * 0.25) / 2048));
}

TEST_F(PatchDrawing, DrawingCullsQueuesAndCountsLeavesAndTheirVertices) {
  RefineFrom({0, 0, 1000});
  RecordingSink sink;
  TzoFrustum everything;
  TrisCount = 0;
  GenerationQueue.Clear();
  planet_->DrawFaces(everything, sink);

  // Leaves of all faces but the farthest, less those beyond the horizon.
  int32_t leaves = 0, vertices = 0, beyond = 0;
  for (TNode* n : Nodes()) {
    bool hidden = false;
    for (const TNode* a = n; a != nullptr; a = a->Parent) {
      hidden = hidden || a->BeyondHorizon;
    }
    beyond += hidden;
    if (n->Face != planet_->FaceOrder[5] && !n->HasChildren && !hidden) {
      ++leaves;
      vertices += BuildPatchFan(*n).Count;
    }
  }
  EXPECT_GT(beyond, 0) << "the far side lies beyond the horizon";
  EXPECT_EQ(planet_->FaceOrder[5], 1) << "the camera is above +Z";
  EXPECT_EQ(NodesDrawn, leaves);
  EXPECT_EQ(static_cast<int32_t>(sink.fans.size()), leaves);
  EXPECT_EQ(TrisCount, vertices);
  for (const auto& drawn : sink.fans) {
    EXPECT_NE(drawn.node->Face, planet_->FaceOrder[5]);
  }
  // Every drawn node without a texture is queued, inner nodes too: five roots.
  EXPECT_EQ(GenerationQueue.Count[1], 5);
  EXPECT_GT(GenerationQueue.Count[3], 10);

  // A frustum looking away from the planet sees none of it.
  TzoFrustum away;
  Matrix4f view;
  SetTranslation(view, 0, 0, -5000); // the planet far behind the unit clip cube
  const Matrix4f projection;
  away.ExtractFrom(projection, view);
  sink.fans.clear();
  NodesDrawn = 0;
  planet_->DrawFaces(away, sink);
  EXPECT_TRUE(sink.fans.empty());
  EXPECT_EQ(NodesDrawn, 0);
}

TEST_F(PatchDrawing, LeavesComeInFaceOrderAndEachNodesChildOrder) {
  RefineFrom(Above({0.3f, -0.2f, 1}, 0.5f));
  RecordingSink sink;
  planet_->DrawFaces(TzoFrustum(), sink);
  ASSERT_GT(sink.fans.size(), 1000u);

  auto path = [](const TNode* n) {
    std::vector<const TNode*> nodes;
    for (; n != nullptr; n = n->Parent) {
      nodes.insert(nodes.begin(), n);
    }
    return nodes;
  };
  auto rank = [](const auto& order, int32_t value) {
    return std::find(order.begin(), order.end(), value) - order.begin();
  };
  // Where the paths of two leaves drawn one after the other part, the earlier leaf's branch
  // comes first in the order of the node they part at.
  int reordered = 0;
  for (size_t i = 1; i < sink.fans.size(); ++i) {
    const auto a = path(sink.fans[i - 1].node);
    const auto b = path(sink.fans[i].node);
    if (a[0] != b[0]) {
      EXPECT_LT(rank(planet_->FaceOrder, a[0]->Face), rank(planet_->FaceOrder, b[0]->Face));
      continue;
    }
    size_t d = 0;
    while (a[d + 1] == b[d + 1]) {
      ++d;
    }
    const TNode& parting = *a[d];
    EXPECT_LT(rank(parting.ChildOrder, a[d + 1]->Quadrant),
              rank(parting.ChildOrder, b[d + 1]->Quadrant))
        << "level " << parting.Level;
    reordered += parting.ChildOrder != std::array<int32_t, 4>{0, 1, 2, 3};
  }
  EXPECT_GT(reordered, 100) << "most orders differ from the index order";
}

TEST_F(PatchDrawing, SamplesCoverThePatchWithABorderAndCornersOnTheVertices) {
  RefineFrom({0, 0, 1000});
  const std::vector<TNode*> nodes = Nodes();
  const auto found = std::find_if(nodes.begin(), nodes.end(),
                                  [](TNode* n) { return n->Face == 2 && n->Level == 3; });
  ASSERT_NE(found, nodes.end());
  const TNode& node = **found;
  TPatchSamples samples;
  SamplePatch(node, samples);
  EXPECT_DOUBLE_EQ(samples.du, 0.25 / 15);
  EXPECT_DOUBLE_EQ(samples.dv, 0.25 / 15);
  const int corner_samples[4][2] = {{1, 1}, {1, 16}, {16, 1}, {16, 16}};
  const int corner_vertices[4] = {0, 2, 6, 8};
  for (int k = 0; k < 4; ++k) {
    const TNodeVertex& v = *node.Vertex[corner_vertices[k]];
    const Vector3f d = samples.Directions[corner_samples[k][0]][corner_samples[k][1]];
    EXPECT_LT(Distance3(d, Normalized3(*v.Position)), 2e-6) << k;
    // The directions agree to a float rounding, which the finest erosion octave magnifies.
    EXPECT_NEAR(samples.Heights[corner_samples[k][0]][corner_samples[k][1]], v.Height, 5e-3);
  }
  // The border ring lies one step outside the patch.
  const TNodeVertex& first = *node.Vertex[0];
  Vector3f outside;
  CubeFacePoint(2, (first.U - samples.du) * 2 - 1, (first.V - samples.dv) * 2 - 1, outside);
  EXPECT_LT(Distance3(samples.Directions[0][0], Normalized3(outside)), 2e-6);
}

TEST_F(PatchDrawing, GeneratingTakesATileUntilTheAtlasIsFullThenBorrows) {
  RefineFrom({0, 0, 1000});
  TNode& root = *planet_->Roots[0];
  root.GeneratePatch();
  EXPECT_EQ(root.Tile, 0);
  while (planet_->Atlas->TilesInUse < planet_->Atlas->TileCount) {
    planet_->Atlas->AcquireTile();
  }
  TNode& child = *root.Child[3];
  child.GeneratePatch();
  EXPECT_FALSE(child.Generated) << "queued again until a tile comes back";
  EXPECT_EQ(child.Tile, -1);
  TPatchTexCoords coords;
  PatchTexCoords(child, coords);
  EXPECT_EQ(coords[0].x, static_cast<float>((0.5 + 7.5) / 2048)) << "the root's tile 0";
}

} // namespace
} // namespace meridia::testing

namespace meridia::testing {
namespace {

TEST_F(PatchDrawing, ABatchHoldsEachFanAsTheImmediateModeSinkWouldSendIt) {
  RefineFrom(Above({0.3f, -0.2f, 1}, 0.5f));
  // Leaf n stitches on the edges of the bits of n mod 16: all sixteen cases on every face.
  int leaf = 0;
  for (auto& root : planet_->Roots) {
    ForEachNode(*root, [&](TNode& n) {
      if (!n.HasChildren) {
        for (int e = 0; e < 4; ++e) {
          n.EdgeMidpoint[static_cast<size_t>(e)] = ((leaf >> e) & 1) != 0;
        }
        ++leaf;
      }
    });
  }
  RecordingSink fans;
  TPatchBatch batch;
  // Away from the centre, as near the ground: every position goes out less the origin.
  const Vector3f origin{200.5f, -100.25f, 600.125f};
  SetRenderOrigin(origin);
  planet_->DrawFaces(TzoFrustum(), fans);
  planet_->DrawFaces(TzoFrustum(), batch);
  SetRenderOrigin({0, 0, 0});

  ASSERT_EQ(batch.First.size(), fans.fans.size());
  ASSERT_EQ(batch.Count.size(), fans.fans.size());
  int32_t next = 0;
  std::array<int, 11> by_count{};
  for (size_t f = 0; f < fans.fans.size(); ++f) {
    const auto& [node, fan, coords] = fans.fans[f];
    ASSERT_EQ(batch.First[f], next);
    ASSERT_EQ(batch.Count[f], fan.Count);
    ++by_count[static_cast<size_t>(fan.Count)];
    for (int32_t k = 0; k < fan.Count; ++k) {
      const size_t i = fan.Index[static_cast<size_t>(k)];
      const TPatchVertex& v = batch.Vertices[static_cast<size_t>(next + k)];
      const Vector3f& p = *node->Vertex[i]->Position;
      EXPECT_EQ(v.TexCoord.x, coords[i].x);
      EXPECT_EQ(v.TexCoord.y, coords[i].y);
      EXPECT_EQ(v.Position.x, p.x - origin.x);
      EXPECT_EQ(v.Position.y, p.y - origin.y);
      EXPECT_EQ(v.Position.z, p.z - origin.z);
    }
    next += fan.Count;
  }
  EXPECT_EQ(batch.Vertices.size(), static_cast<size_t>(next));
  for (int count = 6; count <= 10; ++count) {
    EXPECT_GT(by_count[static_cast<size_t>(count)], 0) << count;
  }
  batch.Clear();
  EXPECT_TRUE(batch.Vertices.empty() && batch.First.empty() && batch.Count.empty());
}

} // namespace
} // namespace meridia::testing
