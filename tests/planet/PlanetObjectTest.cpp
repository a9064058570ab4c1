// The planet pass without OpenGL: refinement triggers, the horizon, face order, the generation
// budget and its two passes, and the ground-height questions.
#include "PlanetTestSupport.h"

#include "engine/VectorGeometry.h"
#include "planet/PlanetCounters.h"
#include "view/Scatter.h"

#include <cmath>
#include <cstring>
#include <set>

namespace meridia::testing {
namespace {

using PlanetObject = PlanetTest;

TEST_F(PlanetObject, TheFirstReferenceTriggersAndThenOnlyTheLevelsStepDoes) {
  EXPECT_FALSE(RefinePending);
  UpdateReference({0, 0, 1000});
  EXPECT_TRUE(RefinePending) << "the initial reference is far from everything";
  EXPECT_EQ(ReferenceDistance, 1000.0);
  planet_->RefineIfPending();
  EXPECT_FALSE(RefinePending);
  UpdateReference({0, 0, 1000});
  EXPECT_FALSE(RefinePending) << "standing still";

  struct {
    int32_t level;
    float step;
  } const steps[] = {{0, 0.2f},   {10, 0.2f},   {11, 0.02f},  {16, 0.02f}, {17, 0.01f},
                     {18, 0.01f}, {19, 0.002f}, {20, 0.002f}, {-1, 0.002f}}; // compared unsigned
  for (const auto& s : steps) {
    CurrentLevel = s.level;
    RefinePending = false;
    ReferencePosition = {0, 0, 0};
    UpdateReference({s.step * 0.99f, 0, 0});
    EXPECT_FALSE(RefinePending) << s.level;
    EXPECT_EQ(ReferencePosition.x, 0.0f);
    UpdateReference({s.step, 0, 0});
    EXPECT_TRUE(RefinePending) << "exactly the step, level " << s.level;
    EXPECT_EQ(ReferencePosition.x, s.step);
  }
}

TEST_F(PlanetObject, HorizonFollowsAltitudeWithAFloorOfOne) {
  RefineFrom({0, 0, 1000});
  EXPECT_NEAR(HorizonDistance, 735.06, 0.01);
  RefineFrom({0, 0, 600}); // below the base radius
  EXPECT_NEAR(HorizonDistance, std::sqrt(1.0 + 2 * 678.0), 1e-4);
}

TEST_F(PlanetObject, BeyondAThousandUnitsEveryVisibleNodeOfLevelsOneToFourSplits) {
  for (const Vector3f& p : {Vector3f{0, 0, 1100}, Vector3f{0, 0, 1500}, Vector3f{0, -1300, 0}}) {
    RefineFrom(p);
    int visible_faces = 0;
    for (auto& root : planet_->Roots) {
      bool whole_face_visible = true;
      int leaves = 0;
      ForEachNode(*root, [&](TNode& n) {
        if (n.Level <= 4 && !n.BeyondHorizon) {
          EXPECT_TRUE(n.HasChildren) << "face " << n.Face << " level " << n.Level;
        }
        whole_face_visible = whole_face_visible && !(n.Level <= 4 && n.BeyondHorizon);
        leaves += !n.HasChildren;
      });
      if (whole_face_visible) {
        ++visible_faces;
        EXPECT_GE(leaves, 256) << "face " << root->Face;
      }
    }
    // The face below; the corners of the others drop behind the horizon.
    EXPECT_EQ(visible_faces, 1);
    EXPECT_GE(CurrentLevel, 5);
  }
}

TEST_F(PlanetObject, OnlyARefinementPassRecoloursTheSky) {
  planet_->Atmosphere = std::make_unique<TScatter_CPU>();
  TScatter_CPU expected;
  auto same_colours = [&] {
    planet_->Atmosphere->FinishUpdateColors();
    const auto& a = planet_->Atmosphere->OuterSphere.Vertices;
    const auto& b = expected.OuterSphere.Vertices;
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(TScatterVertex)) == 0;
  };
  RefineFrom({0, 0, 1000});
  expected.UpdateColors({0, 0, 1000});
  EXPECT_TRUE(same_colours());

  // The camera went elsewhere, but no trigger: the sky keeps its colours.
  const Vector3f moved{0, 1000, 0};
  camera_.SetPosition(TPlanetary_Camera::kViewPosition, moved);
  planet_->RefineIfPending();
  EXPECT_TRUE(same_colours());
  RefineFrom(moved);
  expected.UpdateColors(moved);
  EXPECT_TRUE(same_colours());
}

TEST_F(PlanetObject, FacesAreOrderedByTheDistanceOfTheirRoots) {
  RefineFrom({900, 100, -200}); // nearest +X, then -Z, then +Y
  EXPECT_EQ(planet_->FaceOrder[0], 4);
  EXPECT_EQ(planet_->FaceOrder[1], 1);
  EXPECT_EQ(planet_->FaceOrder[2], 2);
  EXPECT_EQ(planet_->FaceOrder[5], 5) << "the opposite face, never drawn";
}

class Generation : public PlanetTest {
protected:
  // Real nodes of the given levels, queued by hand in this order.
  std::vector<TNode*> Queue(std::initializer_list<int32_t> levels) {
    std::vector<TNode*> queued;
    std::vector<TNode*> nodes = Nodes();
    for (int32_t level : levels) {
      for (TNode* n : nodes) {
        if (n->Level == level && !n->Generated &&
            std::find(queued.begin(), queued.end(), n) == queued.end()) {
          GenerationQueue.Add(n, level);
          queued.push_back(n);
          break;
        }
      }
    }
    EXPECT_EQ(queued.size(), levels.size());
    return queued;
  }
};

TEST_F(Generation, TheSixFinestLevelsPresentComeFirstThenTheRestFromTheCoarsest) {
  RefineFrom(Above({0.2f, 0.1f, 1}, 0.0001f));
  ASSERT_EQ(CurrentLevel, 20);
  GenerationQueue.Clear();
  const auto q = Queue({3, 14, 15, 21, 2, 15});
  GenerationBudget = 4;
  GenerationsThisFrame = 0;
  planet_->GeneratePatches();
  EXPECT_EQ(GenerationsThisFrame, 4);
  // Pass 1 serves levels 15 to 21: both level-15 nodes and the level-21 one; pass 2 skips them
  // without counting and starts again at the coarsest: level 2. Levels 3 and 14 wait.
  const int32_t tiles[6] = {-1, -1, 0, 2, 3, 1};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(q[k]->Tile, tiles[k]) << k;
    EXPECT_EQ(q[k]->Generated, tiles[k] >= 0) << k;
  }
}

TEST_F(Generation, ShallowTreesAreServedCoarsestFirst) {
  RefineFrom({0, 0, 1500});
  ASSERT_LE(CurrentLevel, 5);
  GenerationQueue.Clear();
  const auto q = Queue({5, 4, 1, 2});
  GenerationBudget = 2;
  GenerationsThisFrame = 0;
  planet_->GeneratePatches();
  EXPECT_TRUE(q[2]->Generated && q[3]->Generated);
  EXPECT_FALSE(q[0]->Generated || q[1]->Generated);
}

TEST_F(Generation, AFullLevelListDropsFurtherNodesForTheFrame) {
  RefineFrom({0, 0, 1000});
  GenerationQueue.Clear();
  int added = 0;
  for (TNode* n : Nodes()) {
    if (n->Level == 4) {
      GenerationQueue.Add(n, n->Level);
      ++added;
    }
  }
  ASSERT_GT(added, 50);
  EXPECT_EQ(GenerationQueue.Count[4], 50);
  GenerationsThisFrame = 0;
  GenerationBudget = 50;
  planet_->GeneratePatches();
  EXPECT_EQ(GenerationsThisFrame, 50);
  EXPECT_EQ(planet_->Atlas->TilesInUse, 50);
}

// One frame's drawing and building, over everything in front of the planet.
void DrawAndBuild(TPlanetObject& planet) {
  TzoFrustum everything;
  RecordingSink sink;
  GenerationQueue.Clear();
  GenerationsThisFrame = 0;
  planet.DrawFaces(everything, sink);
  planet.GeneratePatches();
}

TEST_F(Generation, APatchThatMetAFullAtlasIsBuiltOnceATileComesBack) {
  RefineFrom({0, 0, 1000});
  TTextureBuffer& atlas = *planet_->Atlas;
  std::vector<int32_t> held;
  for (int32_t tile; (tile = atlas.AcquireTile()) != TTextureBuffer::kNoTile;) {
    held.push_back(tile);
  }
  GenerationBudget = 1; // the same patch is tried first every frame
  DrawAndBuild(*planet_);
  DrawAndBuild(*planet_);
  atlas.ReleaseTile(held.back());
  DrawAndBuild(*planet_);
  // The patch turned away twice takes the tile given back; no patch counts as built without one.
  int32_t built = 0;
  for (const TNode* n : Nodes()) {
    EXPECT_EQ(n->Generated, n->Tile >= 0) << "level " << n->Level;
    built += n->Generated;
  }
  EXPECT_EQ(built, 1);
}

TEST_F(Generation, NodesFreedAfterDrawingLeaveTheQueueAndLiveVerticesKeepThePool) {
  RefineFrom(Above({0.2f, 0.1f, 1}, 0.001f));
  TzoFrustum everything;
  RecordingSink sink;
  GenerationQueue.Clear();
  planet_->DrawFaces(everything, sink);
  auto queued = [] {
    std::set<const TNode*> nodes;
    for (int32_t level = 0; level < TGenerationQueue::kLevels; ++level) {
      const auto l = static_cast<size_t>(level);
      nodes.insert(GenerationQueue.Nodes[l].begin(),
                   GenerationQueue.Nodes[l].begin() + GenerationQueue.Count[l]);
    }
    return nodes;
  };
  const size_t before = queued().size();
  // Off to the other side before building: the nodes drawn are merged away and must not be
  // served.
  RefineFrom(Above({-0.2f, -0.1f, -1}, 0.001f));
  const std::vector<TNode*> alive = Nodes();
  const std::set<const TNode*> live(alive.begin(), alive.end());
  const std::set<const TNode*> left = queued();
  EXPECT_LT(left.size(), before / 2) << "most of them were merged away";
  for (const TNode* n : left) {
    EXPECT_EQ(live.count(n), 1u);
  }
  GenerationsThisFrame = 0;
  planet_->GeneratePatches();

  const int32_t vertices = VertexCount, free_slots = FreeVertexSlots();
  EXPECT_FALSE(ResetVertexPool());
  EXPECT_EQ(VertexCount, vertices);
  EXPECT_EQ(FreeVertexSlots(), free_slots);
}

TEST_F(PlanetObject, GroundHeightsAreMeasuredAlongTheVertical) {
  const Vector3f up = Normalized3({0.3f, 0.5f, -0.8f});
  const float ground = GroundRadius(up);

  float depth = 0;
  Vector3f reported_up;
  const Vector3f on_ground = Scale3(up, ground);
  EXPECT_TRUE(planet_->DepthBelowGround(on_ground, depth, reported_up, 0.0001f));
  EXPECT_NEAR(depth, -0.0001f, 7e-5f) << "the margin, within a float step at radius 678";
  EXPECT_LT(Distance3(reported_up, up), 1e-6f);
  EXPECT_FALSE(planet_->DepthBelowGround(Scale3(up, ground + 0.01f), depth, reported_up, 0.0001f));
  EXPECT_NEAR(depth, 0.0099f, 1e-4f);

  camera_.SetPosition(TPlanetary_Camera::kViewPosition, Scale3(up, ground + 2.5f));
  EXPECT_NEAR(planet_->HeightAboveGround(), 25.0f, 1e-3f) << "kilometres";
  camera_.SetPosition(TPlanetary_Camera::kViewPosition, {0, 678.5f, 0});
  EXPECT_EQ(planet_->HeightAboveWater(), 0.0f);
  camera_.SetPosition(TPlanetary_Camera::kViewPosition, {0, 0, 1000});
  EXPECT_NEAR(planet_->HeightAboveWater(), 3215.0f, 1e-3f);
  // Another camera position is not the one heights are measured from.
  camera_.SetPosition(2, {0, 0, 5000});
  EXPECT_NEAR(planet_->HeightAboveWater(), 3215.0f, 1e-3f);
}

// The drawn ground is the leaves' fans: at a vertex it is that vertex's radius, inside a triangle
// it is the triangle's own point, and at the coarse levels seen from far away it stands well off
// the terrain it was sampled from.
TEST_F(PlanetObject, TheDrawnGroundIsWhereTheRayMeetsTheLeavesFans) {
  RefineFrom({0, 0, 1000});
  double largest_gap = 0;
  int leaves = 0;
  for (TNode* node : Nodes()) {
    if (node->HasChildren || node->BeyondHorizon || node->Face != 0) {
      continue;
    }
    ++leaves;
    const Vector3f& c = *node->Vertex[4]->Position;
    EXPECT_NEAR(planet_->DrawnGroundRadius(c), Length3(c), 4e-5) << "a float step at 678";
    // The ray through the middle of the fan's first triangle meets it there, below the
    // vertices where the flat triangle cuts under the sphere.
    const TPatchFan fan = BuildPatchFan(*node);
    const Vector3f middle = Scale3(
        Add3(c, Add3(*node->Vertex[fan.Index[1]]->Position, *node->Vertex[fan.Index[2]]->Position)),
        1.0f / 3);
    const double drawn = planet_->DrawnGroundRadius(middle);
    EXPECT_NEAR(drawn, Length3(middle), 1.5e-4) << "within the rounding of the middle";
    largest_gap = std::max(largest_gap, std::abs(drawn - GroundRadius(Normalized3(middle))));
  }
  EXPECT_GT(leaves, 4);
  EXPECT_GT(largest_gap, 0.001) << "coarse fans cut through the terrain by more than 10 m";
}

} // namespace
} // namespace meridia::testing
