#include "vegetation/Tree.h"
#include "vegetation/Wind.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

namespace meridia {
namespace {

// Both kinds grown the way start-up grows them, from the planet seed, without textures.
TTree& GrownKind(int kind) {
  static TTree trees[2];
  static bool grown[2] = {false, false};
  if (!grown[kind]) {
    SetRandSeed(500);
    trees[kind].Grow(kind, 1024, nullptr);
    grown[kind] = true;
  }
  return trees[kind];
}

// Visits every stem in generation order with its level.
void ForEachStem(const TBranch& b, const std::function<void(const TBranch&)>& visit) {
  visit(b);
  for (const auto& child : b.Children) {
    ForEachStem(*child, visit);
  }
}

// A two-level tree of straight stems: the trunk's slots can be checked by their heights.
std::unique_ptr<TTree> StraightTree(int segments, int child_count, float base_size) {
  auto owned = std::make_unique<TTree>();
  TTree& tree = *owned;
  tree.SetSpecies(0, nullptr);
  tree.Levels = 2;
  tree.LevelParams.resize(2);
  tree.ChildCarry.assign(2, 0.0f);
  tree.RotateAccum.assign(2, 0.0f);
  tree.LeavesFactor = 0;
  for (TTreeLevel& level : tree.LevelParams) {
    level.Curve = level.CurveV = 0;
    level.Flare = 0;
  }
  tree.LevelParams[0].Segments = segments;
  tree.LevelParams[0].BaseSize = base_size;
  tree.Trunk->Length = 10;
  tree.Trunk->Radius = 1;
  tree.Trunk->ChildCount = child_count;
  return owned;
}

TEST(TreeTest, EitherKindGrowsTheSameFromTheSameSeed) {
  for (int kind = 0; kind < 2; ++kind) {
    const TTree& first = GrownKind(kind);
    TTree again;
    SetRandSeed(500);
    again.Grow(kind == 0 ? 0 : 7, 1024, nullptr); // any non-zero kind is kind 1
    ASSERT_EQ(again.StemVertices.size(), first.StemVertices.size());
    ASSERT_EQ(again.LeafVertices.size(), first.LeafVertices.size());
    EXPECT_EQ(0, std::memcmp(again.StemVertices.data(), first.StemVertices.data(),
                             first.StemVertices.size() * sizeof(TStemVertex)));
    EXPECT_EQ(0, std::memcmp(again.LeafVertices.data(), first.LeafVertices.data(),
                             first.LeafVertices.size() * sizeof(TLeafVertex)));
    EXPECT_EQ(again.StemIndices, first.StemIndices);
    for (const TStemVertex& v : first.StemVertices) {
      for (float x : v.Position) {
        ASSERT_TRUE(std::isfinite(x));
      }
    }
  }
  EXPECT_NE(GrownKind(0).StemVertices.size(), GrownKind(1).StemVertices.size());
  EXPECT_EQ(GrownKind(0).LevelParams[3].TipSway, GrownKind(0).LevelParams[2].TipSway);
  EXPECT_FLOAT_EQ(GrownKind(1).LevelParams[0].Radius, 0.345f);
}

// The distance from p to the polyline through the centres of the stem's rings and its tip.
double DistanceToAxis(const TBranch& b, const float* p, int sides) {
  std::vector<Vector3f> axis;
  const size_t ring = static_cast<size_t>(sides) + 1;
  for (size_t start = 0; start + ring <= b.Vertices.size(); start += ring) {
    Vector3f c;
    for (size_t i = start; i < start + ring - 1; ++i) {
      c = Add3(c, Vector3f{b.Vertices[i].Position[0], b.Vertices[i].Position[1],
                           b.Vertices[i].Position[2]});
    }
    axis.push_back(Scale3(c, 1.0f / static_cast<float>(sides)));
  }
  const TStemVertex& tip = b.Vertices.back();
  axis.push_back({tip.Position[0], tip.Position[1], tip.Position[2]});
  const Vector3f q{p[0], p[1], p[2]};
  double best = 1e30;
  for (size_t i = 0; i + 1 < axis.size(); ++i) {
    const Vector3f d = Sub3(axis[i + 1], axis[i]);
    const double t = std::clamp(
        static_cast<double>(Dot3(Sub3(q, axis[i]), d)) / std::max(1e-20f, Dot3(d, d)), 0.0, 1.0);
    const Vector3f on = Add3(axis[i], Scale3(d, static_cast<float>(t)));
    best = std::min(best, static_cast<double>(Distance3(q, on)));
  }
  return best;
}

TEST(TreeTest, EveryChildStartsOnItsParentsAxis) {
  for (int kind = 0; kind < 2; ++kind) {
    const TTree& tree = GrownKind(kind);
    size_t checked = 0;
    ForEachStem(*tree.Trunk, [&](const TBranch& b) {
      const int sides = tree.LevelParams[static_cast<size_t>(b.Level)].Sides;
      for (const auto& child : b.Children) {
        ASSERT_EQ(child->Level, b.Level + 1);
        ASSERT_LT(DistanceToAxis(b, &child->Frame.m[3][0], sides), 1e-3 * b.Length);
        // A child is no thicker than its parent where it starts.
        ASSERT_LE(child->Radius, b.Radius);
        ++checked;
      }
    });
    EXPECT_GT(checked, 1000u);
    // The crown spreads: branches reach out from the trunk and up along it.
    EXPECT_GT(tree.BoundRadius, 0.3f * tree.LevelParams[0].Length);
    EXPECT_GT(tree.BoundHeight, tree.LevelParams[0].Length);
  }
}

TEST(TreeTest, MeshHoldsEveryMeshedStemLevelByLevelWithDegenerateJoins) {
  for (int kind = 0; kind < 2; ++kind) {
    const TTree& tree = GrownKind(kind);
    // Levels 0 to 2 are meshed; level 3 twigs carry the leaves and are hidden.
    ASSERT_EQ(tree.TopLevel, 2);
    // Level order, generation order within a level: breadth first.
    std::vector<const TBranch*> layer{tree.Trunk.get()};
    size_t vertex = 0;
    size_t index = 0;
    for (int level = 0; level <= tree.TopLevel; ++level) {
      const TTreeLevel& p = tree.LevelParams[static_cast<size_t>(level)];
      const size_t ring = static_cast<size_t>(p.Sides) + 1;
      const size_t per_stem = static_cast<size_t>(p.Segments) * ring + 1;
      const size_t strip =
          2 * ring * static_cast<size_t>(p.Segments) + 2 * static_cast<size_t>(p.Segments - 1);
      EXPECT_EQ(static_cast<size_t>(tree.LevelIndexStart[static_cast<size_t>(level)]), index);
      std::vector<const TBranch*> next;
      for (const TBranch* stem : layer) {
        ASSERT_EQ(stem->Vertices.size(), per_stem);
        EXPECT_EQ(0, std::memcmp(stem->Vertices.data(), &tree.StemVertices[vertex],
                                 per_stem * sizeof(TStemVertex)));
        if (index > 0) {
          // The join repeats the previous strip's last index, then this stem's first.
          EXPECT_EQ(tree.StemIndices[index], tree.StemIndices[index - 1]);
          EXPECT_EQ(static_cast<size_t>(tree.StemIndices[index + 1]), vertex);
          index += 2;
        }
        EXPECT_EQ(static_cast<size_t>(tree.StemIndices[index]), vertex);
        index += strip;
        EXPECT_EQ(static_cast<size_t>(tree.StemIndices[index - 1]), vertex + per_stem - 1)
            << "the strip ends on the tip";
        vertex += per_stem;
        for (const auto& child : stem->Children) {
          next.push_back(child.get());
        }
      }
      EXPECT_EQ(static_cast<size_t>(tree.LevelLastVertex[static_cast<size_t>(level)]), vertex - 1);
      layer.swap(next);
    }
    EXPECT_EQ(vertex, tree.StemVertices.size());
    EXPECT_EQ(index, tree.StemIndices.size());
    EXPECT_EQ(tree.StemIndices.size() % 2, 0u);
    // Level 3 twigs exist (they placed the leaves) but none has children.
    for (const TBranch* twig : layer) {
      EXPECT_EQ(twig->Level, 3);
      EXPECT_TRUE(twig->Children.empty());
    }
    EXPECT_FALSE(layer.empty());
  }
}

TEST(TreeTest, LevelPrefixesReferenceNoVertexBeyondTheirLast) {
  for (int kind = 0; kind < 2; ++kind) {
    const TTree& tree = GrownKind(kind);
    for (int k = 0; k < tree.TopLevel; ++k) {
      const auto end = tree.StemIndices.begin() + tree.LevelIndexStart[static_cast<size_t>(k) + 1];
      EXPECT_EQ(*std::max_element(tree.StemIndices.begin(), end),
                tree.LevelLastVertex[static_cast<size_t>(k)]);
      // The next level starts past that vertex (its join aside).
      const auto next_first = std::min_element(end + 2, tree.StemIndices.end());
      EXPECT_EQ(*next_first, tree.LevelLastVertex[static_cast<size_t>(k)] + 1);
    }
  }
}

TEST(TreeTest, BoundsEncloseStemsAndLeafCorners) {
  for (int kind = 0; kind < 2; ++kind) {
    const TTree& tree = GrownKind(kind);
    ASSERT_GT(tree.LeafList.size(), 100u);
    ASSERT_EQ(tree.LeafVertices.size(), 4 * tree.LeafList.size());
    const double r2 = static_cast<double>(tree.BoundRadius) * tree.BoundRadius;
    const double s2 = static_cast<double>(tree.SphereRadius) * tree.SphereRadius;
    auto inside = [&](double x, double y, double z) {
      const double dx = x - tree.Centroid.x, dy = y - tree.Centroid.y, dz = z - tree.Centroid.z;
      return x * x + z * z <= r2 && y <= tree.BoundHeight && dx * dx + dy * dy + dz * dz <= s2;
    };
    for (const TStemVertex& v : tree.StemVertices) {
      ASSERT_TRUE(inside(v.Position[0], v.Position[1], v.Position[2]));
    }
    // A leaf corner lies within half a diagonal of its centre, whichever way it faces.
    const double half_diagonal = 0.5 * tree.LeafScale * std::sqrt(2.0);
    for (const TLeafVertex& v : tree.LeafVertices) {
      const double reach = std::hypot(v.Offset[0], v.Offset[1]);
      EXPECT_NEAR(reach, half_diagonal, 1e-4);
      EXPECT_TRUE(inside(v.Centre[0], v.Centre[1], v.Centre[2]));
    }
  }
}

TEST(TreeTest, LeavesAreShuffledTurnedAndShadedByPlace) {
  const TTree& tree = GrownKind(0);
  size_t in_creation_order = 0;
  for (size_t i = 0; i < tree.LeafList.size(); ++i) {
    const Vector3f centre{tree.LeafList[i].Frame.m[3][0], tree.LeafList[i].Frame.m[3][1],
                          tree.LeafList[i].Frame.m[3][2]};
    const TLeafVertex& first = tree.LeafVertices[4 * i];
    in_creation_order += first.Centre[0] == centre.x && first.Centre[1] == centre.y;
    for (size_t corner = 1; corner < 4; ++corner) {
      const TLeafVertex& v = tree.LeafVertices[4 * i + corner];
      EXPECT_EQ(0, std::memcmp(v.Centre, first.Centre, sizeof v.Centre));
      EXPECT_EQ(0, std::memcmp(v.Color, first.Color, sizeof v.Color));
    }
    EXPECT_EQ(first.Color[3], 255);
    // Corners stay a square: opposite corners are mirror images about the centre.
    const TLeafVertex& opposite = tree.LeafVertices[4 * i + 2];
    EXPECT_NEAR(first.Offset[0], -opposite.Offset[0], 1e-5);
    EXPECT_NEAR(first.Offset[1], -opposite.Offset[1], 1e-5);
  }
  EXPECT_LT(in_creation_order, tree.LeafList.size() / 4);
  // Outer, higher leaves are brighter: the colour scale k grows from 0.2 at the base.
  const TLeafVertex* low = &tree.LeafVertices[0];
  const TLeafVertex* high = &tree.LeafVertices[0];
  for (size_t i = 0; i < tree.LeafVertices.size(); i += 4) {
    const TLeafVertex& v = tree.LeafVertices[i];
    if (v.Centre[1] < low->Centre[1]) {
      low = &v;
    }
    if (v.Centre[1] > high->Centre[1]) {
      high = &v;
    }
  }
  EXPECT_GT(high->Color[1], low->Color[1]);
}

// Three levels, every rule that draws switched on: tilt, azimuth and length vary, stems bend,
// and the trunk's flare narrows its first child's radius rule.
std::unique_ptr<TTree> ThreeLevelTree() {
  auto owned = std::make_unique<TTree>();
  TTree& tree = *owned;
  tree.SetSpecies(0, nullptr); // RatioPower 1.3, Shape 2, AttractionUp 0.8
  tree.Levels = 3;
  tree.LeavesFactor = 0;
  tree.ChildCarry.assign(3, 0.0f);
  tree.RotateAccum.assign(3, 0.0f);
  // Length, LengthV, Radius, Flare, Segments, Sides, Branches, BaseSize, DownAngle, DownAngleV,
  // Rotate, RotateV, Curve, CurveV, CurveBack, TipSway.
  tree.LevelParams = {
      {10, 0, 1, 1, 2, 3, 2, 0.2f, 0, 0, 0, 0, 0, 20, 0, 0},
      {0.5f, 0.1f, 0, 0, 2, 3, 4, 0, 30, 10, 80, 20, 10, 30, 0, 0.2f},
      {0.6f, 0.1f, 0, 0, 2, 3, 6, 0, 45, 10, 140, 30, 0, 20, 0, 0.4f},
  };
  tree.Trunk->Length = 10;
  tree.Trunk->Radius = 1;
  tree.Trunk->ChildCount = 2;
  return owned;
}

void ExpectFrame(const Matrix4f& frame, const float (&expected)[4][4]) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_NEAR(frame.m[i][j], expected[i][j], 2e-6f * (1 + std::fabs(expected[i][j])))
          << "element " << 4 * i + j;
    }
  }
}

TEST(TreeTest, FirstChildrenOfAThreeLevelTreeFollowTheDrawSequence) {
  // Worked out from the growth rules with the generator from seed 1234: the trunk's first slot
  // draws its offset (ρ1), tilt (ρ2), azimuth (ρ3) and length (ρ4); the segment then bends
  // (ρ5). Its first child's first slot is drawn in the same order once the trunk is done.
  auto owned = ThreeLevelTree();
  TTree& tree = *owned;
  SetRandSeed(1234);
  tree.GrowStem(*tree.Trunk, 0);
  EXPECT_EQ(RandSeed(), 3731220056u) << "every draw of the whole tree, no more, no less";
  ASSERT_EQ(tree.Trunk->Children.size(), 2u);
  const TBranch& child = *tree.Trunk->Children[0];
  EXPECT_EQ(child.Level, 1);
  // Tilt 36.8468625 and azimuth 72.4860382 degrees at 3.89138031 up the trunk.
  ExpectFrame(child.Frame, {{0.24082315f, 0.599678338f, -0.76314491f, 0},
                            {-0.18046613f, 0.800241172f, 0.571879447f, 0},
                            {0.95364362f, 0, 0.300938219f, 0},
                            {0, 3.89138031f, 0, 1}});
  EXPECT_NEAR(child.Length, 3.78661084f, 4e-6f);
  EXPECT_NEAR(child.Radius, 0.282960564f, 4e-7f);
  EXPECT_EQ(child.ChildCount, 3);
  ASSERT_EQ(child.Children.size(), 3u);

  const TBranch& grandchild = *child.Children[0];
  EXPECT_EQ(grandchild.Level, 2);
  // Tilt 48.2294333 and azimuth 146.143311 degrees at 0.776166677 along the child.
  ExpectFrame(grandchild.Frame, {{-0.621736228f, 0.265096694f, 0.736999154f, 0},
                                 {0.425184041f, 0.904492497f, 0.0333438404f, 0},
                                 {-0.657770813f, 0.334091395f, -0.675070703f, 0},
                                 {-0.140071794f, 4.51250076f, 0.443873763f, 1}});
  EXPECT_NEAR(grandchild.Length, 2.27561283f, 3e-6f);
  EXPECT_NEAR(grandchild.Radius, 0.145958006f, 2e-7f);
  EXPECT_EQ(grandchild.ChildCount, 5);
  EXPECT_TRUE(grandchild.Children.empty()) << "the last level has no children";

  // Level-2 stems along the vertical, their vertical element rounded a hair past ±1 where acos
  // has no value: straight up there is nothing to attract; straight down the first segment turns
  // by 0.8 acos(-1) / 2 = 72 degrees, the second by 0.8 acos(-0.309017) / 2, and the tip ends at
  // 0.5 (0, -1, 0) + 0.5 (-sin 72°, -cos 72°, 0).
  tree.LevelParams[2].CurveV = 0;
  const struct {
    float x_axis, vertical; // elements 0 and 5 of the frame
    float tip[3];
  } upright_cases[] = {
      {1, std::nextafter(1.0f, 2.0f), {0, 1.00000012f, 0}},
      {-1, -std::nextafter(1.0f, 2.0f), {-0.47552824f, -0.654508591f, 0}},
  };
  for (const auto& c : upright_cases) {
    TBranch upright;
    upright.Length = 1;
    upright.Radius = 0.1f;
    upright.Frame.m[0][0] = c.x_axis;
    upright.Frame.m[1][1] = c.vertical;
    tree.GrowStem(upright, 2);
    for (const TStemVertex& v : upright.Vertices) {
      for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(std::isfinite(v.Position[i]) && std::isfinite(v.Normal[i])) << c.vertical;
      }
    }
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(upright.Vertices.back().Position[i], c.tip[i], 1e-6f) << c.vertical;
    }
  }
}

TEST(TreeTest, ChildrenOfHalfASlotPerSegmentGrowOnAlternateSegments) {
  SetRandSeed(1);
  auto tree_owned = StraightTree(4, 2, 0);
  TTree& tree = *tree_owned;
  tree.GrowStem(*tree.Trunk, 0);
  ASSERT_EQ(tree.Trunk->Children.size(), 2u);
  const float seg_len = 2.5f;
  // Segment 0 and segment 2: the carried half completes a child every other segment.
  EXPECT_LT(tree.Trunk->Children[0]->Frame.m[3][1], seg_len);
  EXPECT_GE(tree.Trunk->Children[1]->Frame.m[3][1], 2 * seg_len);
  EXPECT_LT(tree.Trunk->Children[1]->Frame.m[3][1], 3 * seg_len);
  EXPECT_NEAR(tree.ChildCarry[0], 0.0f, 1e-6);

  // The carry belongs to the level, not the stem: a stem starting half a child ahead places one
  // on three of its four segments.
  auto ahead_owned = StraightTree(4, 2, 0);
  TTree& ahead = *ahead_owned;
  ahead.ChildCarry[0] = 0.5f;
  ahead.GrowStem(*ahead.Trunk, 0);
  EXPECT_EQ(ahead.Trunk->Children.size(), 3u);
}

TEST(TreeTest, ASlotInTheBareBaseCostsOnlyItsOffsetDraw) {
  // All of the trunk is bare: every slot is dropped after one draw, and every segment bends
  // with one draw, so 4 segments of 3 slots take 4 * (3 + 1) draws.
  auto bare_owned = StraightTree(4, 12, 1.0f);
  TTree& bare = *bare_owned;
  SetRandSeed(77);
  bare.GrowStem(*bare.Trunk, 0);
  const uint32_t after = RandSeed();
  EXPECT_TRUE(bare.Trunk->Children.empty());
  SetRandSeed(77);
  for (int i = 0; i < 16; ++i) {
    RandomReal();
  }
  EXPECT_EQ(RandSeed(), after);

  // Half bare: the slots above the base cost two more draws each, azimuth and length (the first
  // level's tilt follows the shaped rule, which draws nothing), and each child then bends once
  // on each of its 12 segments.
  auto half_owned = StraightTree(4, 12, 0.5f);
  TTree& half = *half_owned;
  SetRandSeed(77);
  half.GrowStem(*half.Trunk, 0);
  const uint32_t half_after = RandSeed();
  ASSERT_FALSE(half.Trunk->Children.empty());
  for (const auto& child : half.Trunk->Children) {
    EXPECT_GE(child->Frame.m[3][1], 5.0f);
  }
  SetRandSeed(77);
  for (size_t i = 0; i < 16 + (2 + 12) * half.Trunk->Children.size(); ++i) {
    RandomReal();
  }
  EXPECT_EQ(RandSeed(), half_after);
}

TEST(TreeTest, LeafSlotsKeepALeafWithTheKeepChance) {
  // Two levels with leaves: the trunk's slots are leaf slots, two draws each.
  auto tree_owned = StraightTree(3, 6, 0);
  TTree& tree = *tree_owned;
  tree.LeavesFactor = 1;
  tree.LeafKeepChance = 1; // every slot keeps its leaf
  SetRandSeed(5);
  tree.GrowStem(*tree.Trunk, 0);
  EXPECT_TRUE(tree.Trunk->Children.empty());
  ASSERT_EQ(tree.LeafList.size(), 6u);
  for (size_t i = 0; i < tree.LeafList.size(); ++i) {
    EXPECT_EQ(tree.LeafList[i].Index, static_cast<int32_t>(i));
    // On the straight trunk's axis, bottom to top.
    EXPECT_EQ(tree.LeafList[i].Frame.m[3][0], 0.0f);
    EXPECT_EQ(tree.LeafVertices[4 * i].Centre[1], tree.LeafList[i].Frame.m[3][1]);
  }
  const float h = 0.5f * tree.LeafScale;
  EXPECT_EQ(tree.LeafVertices[2].Offset[0], h);
  EXPECT_EQ(tree.LeafVertices[2].Offset[1], h);
  EXPECT_EQ(tree.LeafVertices[2].Tex[0], 1.0f);

  auto none_owned = StraightTree(3, 6, 0);
  TTree& none = *none_owned;
  none.LeavesFactor = 1;
  none.LeafKeepChance = -1; // no draw is ever below it
  none.GrowStem(*none.Trunk, 0);
  EXPECT_TRUE(none.LeafList.empty());
  none.BuildStemMesh();
  none.ShuffleLeaves();
  EXPECT_TRUE(none.LeafVertices.empty());
  EXPECT_EQ(none.LeafDrawCount(0), 0);
}

TEST(TreeTest, ShapeRatioTable) {
  struct Case {
    int shape;
    float r;
    float expected;
  };
  const Case cases[] = {
      {0, 0.5f, 0.6f},  {1, 0.5f, 1.0f},  {2, 1.0f, 1.0f},  {2, 0.0f, 0.2f}, {3, 0.3f, 1.0f},
      {4, 0.5f, 0.75f}, {5, 0.35f, 0.5f}, {5, 0.85f, 0.5f}, {6, 1.0f, 0.2f}, {7, 0.7f, 1.0f},
      {7, 1.0f, 0.5f},  {8, 0.3f, 1.0f},  {-1, 0.3f, 1.0f}, {9, 0.3f, 1.0f}, {1000, 0.0f, 1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ShapeRatio(c.shape, c.r), c.expected, 1e-6) << c.shape << " at " << c.r;
  }
}

TEST(TreeTest, StemRadiusTapersFromAFlaredBase) {
  auto tree_owned = StraightTree(4, 0, 0);
  TTree& tree = *tree_owned;
  TBranch& trunk = *tree.Trunk;
  tree.LevelParams[0].Flare = 1;
  EXPECT_FLOAT_EQ(tree.StemRadius(trunk, 0), 1.99f);       // 1 + (100 - 1) / 100
  EXPECT_FLOAT_EQ(tree.StemRadius(trunk, 0.125f), 0.875f); // the flare is gone at 1/8
  EXPECT_FLOAT_EQ(tree.StemRadius(trunk, 1), 0.0f);
  tree.LevelParams[0].Flare = 0;
  EXPECT_FLOAT_EQ(tree.StemRadius(trunk, 0), 1.0f);
  EXPECT_FLOAT_EQ(tree.StemRadius(trunk, 0.5f), 0.5f);
}

TEST(TreeTest, ThinStemsWrapTheBarkOnceAndEndInTheirTip) {
  auto tree_owned = StraightTree(2, 0, 0);
  TTree& tree = *tree_owned;
  tree.Trunk->Radius = 0.01f; // 2πR rounds to 0 wraps
  tree.GrowStem(*tree.Trunk, 0);
  const auto& v = tree.Trunk->Vertices;
  const int sides = tree.LevelParams[0].Sides;
  ASSERT_EQ(v.size(), static_cast<size_t>(2 * (sides + 1) + 1));
  EXPECT_FLOAT_EQ(v[static_cast<size_t>(sides)].Tex[0], 1.0f); // the seam at u = 1: one wrap
  EXPECT_FLOAT_EQ(v[static_cast<size_t>(sides) + 1].Tex[1], 5.0f / (2 * kPi * 0.01));
  // The ring's last vertex closes it on the first; the tip sits on the axis at the top.
  EXPECT_NEAR(v[static_cast<size_t>(sides)].Position[0], v[0].Position[0], 1e-6);
  EXPECT_FLOAT_EQ(v.back().Position[1], 10.0f);
  EXPECT_EQ(v.back().Position[0], 0.0f);
  EXPECT_EQ(v.back().Normal[1], 1.0f);
}

TEST(TreeTest, WindDependsOnTimeAndOnXPlusZ) {
  for (const float time : {0.0f, 1.7f, 123.25f}) {
    SetWindTime(static_cast<int64_t>(time * 1000));
    const Vector3f a = WindVector(1.0f, 2.0f);
    const Vector3f b = WindVector(2.0f, 1.0f);
    const Vector3f c = WindVector(3.0f, 0.0f);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.z, b.z);
    EXPECT_NEAR(a.x, c.x, 1e-5);
    EXPECT_NEAR(a.z, c.z, 1e-5);
    EXPECT_EQ(a.y, 0.0f);
    const double strength = std::hypot(a.x, a.z);
    EXPECT_LE(strength, 1.5 * 3.1 + 1e-5);
  }
  SetWindTime(0);
  const Vector3f at_rest = WindVector(0, 0);
  SetWindTime(2500);
  const Vector3f later = WindVector(0, 0);
  EXPECT_NE(at_rest.x, later.x);
  // Strength 1.5 * (0.2 + 0.3 + 0.5 + 0.6 + 0.7 + 0.8) / 2 at t = 0, from the east.
  SetWindTime(0);
  EXPECT_NEAR(at_rest.x, 1.5 * 3.1 / 2, 1e-5);
  EXPECT_NEAR(at_rest.z, 0.0, 1e-6);
}

TEST(TreeTest, DistanceReducesGeometryThenTurnsToTheImpostor) {
  const TTree& tree = GrownKind(0);
  const int32_t all = static_cast<int32_t>(tree.StemIndices.size());
  const int32_t leaves = static_cast<int32_t>(4 * tree.LeafList.size());
  const int32_t full_triangles = all - 2 + leaves / 2;

  TTreeDrawPlan near = tree.PlanDraw(0);
  EXPECT_FALSE(near.Impostor);
  EXPECT_EQ(near.StemIndexCount, all);
  EXPECT_EQ(near.StemLastVertex, static_cast<int32_t>(tree.StemVertices.size()) - 1);
  EXPECT_EQ(near.LeafVertexCount, leaves);
  EXPECT_EQ(near.Triangles, full_triangles);
  EXPECT_EQ(tree.PlanDraw(-3).StemIndexCount, all);
  EXPECT_EQ(tree.PlanDraw(-3).LeafVertexCount, leaves);

  // From 0.5 the finest meshed level (2) goes; the triangle count still counts all of it.
  for (const float lod : {0.5f, 0.7f, 0.85f, 0.99f}) {
    const TTreeDrawPlan plan = tree.PlanDraw(lod);
    EXPECT_TRUE(plan.Geometry);
    EXPECT_EQ(plan.Impostor, lod > 0.8f);
    EXPECT_EQ(plan.StemIndexCount, tree.LevelIndexStart[2]);
    EXPECT_EQ(plan.StemLastVertex, tree.LevelLastVertex[1]);
    EXPECT_EQ(plan.LeafVertexCount % 4, 0);
    EXPECT_LE(plan.LeafVertexCount, static_cast<int32_t>((2 - lod) * leaves * 0.5));
    EXPECT_GT(plan.LeafVertexCount, static_cast<int32_t>((2 - lod) * leaves * 0.5) - 4);
    EXPECT_EQ(plan.Triangles, (lod > 0.8f ? 2 : 0) + all - 2 + plan.LeafVertexCount / 2);
  }
  EXPECT_EQ(tree.PlanDraw(0.49f).StemIndexCount, all);

  for (const float lod : {1.0f, 1.5f, 40.0f}) {
    const TTreeDrawPlan far = tree.PlanDraw(lod);
    EXPECT_TRUE(far.Impostor);
    EXPECT_FALSE(far.Geometry);
    EXPECT_EQ(far.Triangles, 2);
  }

  // One leaf at 0.9: trunc(1.1 * 4 * 0.5) = 2 vertices, not a whole quad, so none.
  auto single_owned = StraightTree(1, 1, 0);
  TTree& single = *single_owned;
  single.LeavesFactor = 1;
  single.LeafKeepChance = 1;
  single.GrowStem(*single.Trunk, 0);
  ASSERT_EQ(single.LeafList.size(), 1u);
  EXPECT_EQ(single.LeafDrawCount(0.9f), 0);
  EXPECT_EQ(single.LeafDrawCount(0), 4);
  EXPECT_EQ(single.LeafDrawCount(0.01f), 0);
}

TEST(TreeTest, ImpostorTileFollowsTheHeadingAndTheTurn) {
  struct Case {
    Vector3f camera;
    float turn;
    int tile;
  };
  const Case cases[] = {
      {{0, 0, 5}, 0, 8},     // heading 0: a = 180
      {{5, 0, 0}, 0, 4},     // heading 90: a = 90
      {{-5, 0, 0}, 0, 12},   // heading 270: a = 270
      {{0, 0, 5}, 22.5f, 7}, // a = 157.5
      {{0, 0, 5}, 200, 15},  // a = 340
      {{0, 0, -5}, 0, 0},    // heading 180: a = 360 is the view of a = 0
  };
  for (const Case& c : cases) {
    const TImpostorView view = ImpostorView({0, 0, 0}, c.camera, c.turn);
    EXPECT_EQ(view.Tile, c.tile) << c.camera.x << "," << c.camera.z << " turn " << c.turn;
    EXPECT_EQ(view.Column, c.tile % 4);
    EXPECT_EQ(view.Row, c.tile / 4);
  }
  // Only the direction from the tree counts.
  EXPECT_EQ(ImpostorView({10, 0, 10}, {15, 0, 10}, 0).Tile, 4);
}

} // namespace
} // namespace meridia
