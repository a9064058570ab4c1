#include "view/Scatter.h"

#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>
#include <vector>

namespace meridia {
namespace {

TScatterVertex VertexAt(const Vector3f& p) {
  TScatterVertex vertex;
  vertex.x = p.x;
  vertex.y = p.y;
  vertex.z = p.z;
  return vertex;
}

Vector3f Position(const TScatterVertex& vertex) {
  return {vertex.x, vertex.y, vertex.z};
}

// Building the table is the expensive part: one sky for every test.
const TScatter_CPU& BuiltSky() {
  static const TScatter_CPU sky;
  return sky;
}

const float* TableElement(const TScatter_CPU& sky, int32_t row, int32_t column) {
  return sky.OpticalDepth.Floats() + (row * 128 + column) * 4;
}

// --- Optical-depth table ---------------------------------------------------------------------

TEST(OpticalDepthTable, RowZeroLooksStraightUp) {
  const TScatter_CPU& sky = BuiltSky();
  // Straight up, the depth to the top from scaled altitude x is the integral of exp(-t / H)
  // over [x, 1].
  for (const int32_t column : {0, 32, 64, 100, 127}) {
    const double x = column / 128.0;
    const float* element = TableElement(sky, 0, column);
    for (const auto& [channel, depth] : {std::pair{0, 0.25}, {2, 0.1}}) {
      const double density = std::exp(-x / depth);
      const double optical_depth = depth * (density - std::exp(-1.0 / depth));
      EXPECT_NEAR(element[channel], density, density * 1e-4) << column << ", " << channel;
      EXPECT_NEAR(element[channel + 1], optical_depth, optical_depth * 1e-2)
          << column << ", " << channel;
    }
  }
}

TEST(OpticalDepthTable, RaysIntoThePlanetFadeTheRowBefore) {
  const TScatter_CPU& sky = BuiltSky();
  // Row j looks along cos a = 1 - 2j / 128. Column 0 stands on the ground, where the horizon
  // is level (row 64); column 127 stands at 10.347, where it dips to cos a = -0.257 (row 80).
  for (const auto& [column, last_clear_row] : {std::pair{0, 64}, {127, 80}}) {
    const float* ground_up = TableElement(sky, 0, column);
    for (int32_t row = 1; row < 128; ++row) {
      const float* element = TableElement(sky, row, column);
      const float* above = TableElement(sky, row - 1, column);
      if (row <= last_clear_row) {
        // Unobstructed, the density depends on the altitude alone.
        EXPECT_EQ(element[0], ground_up[0]) << column << ", " << row;
        EXPECT_EQ(element[2], ground_up[2]) << column << ", " << row;
      } else {
        EXPECT_FLOAT_EQ(element[0], 0.75f * above[0]) << column << ", " << row;
        EXPECT_FLOAT_EQ(element[2], 0.75f * above[2]) << column << ", " << row;
      }
    }
    // The depth grows with the angle from the vertical, and through the planet far beyond
    // anything the atmosphere alone holds.
    EXPECT_LT(TableElement(sky, 0, column)[1], TableElement(sky, 32, column)[1]);
    EXPECT_LT(TableElement(sky, 32, column)[1], TableElement(sky, 64, column)[1]);
    EXPECT_GT(TableElement(sky, 127, column)[1], 40.0f) << column;
  }
}

// --- Sphere ----------------------------------------------------------------------------------

// A triangle by its vertex indices, in the order that decides its facing.
using Triangle = std::array<int32_t, 3>;

std::vector<Triangle> Triangles(const TScatterSphere& sphere) {
  std::vector<Triangle> triangles;
  for (const TScatterPrimitive& primitive : sphere.Primitives) {
    const int32_t* index = sphere.DrawIndices.data() + primitive.First;
    for (int32_t i = 2; i < primitive.Count; ++i) {
      if (primitive.Fan) {
        triangles.push_back({index[0], index[i - 1], index[i]});
      } else if (i % 2 == 0) {
        triangles.push_back({index[i - 2], index[i - 1], index[i]});
      } else {
        triangles.push_back({index[i - 1], index[i - 2], index[i]});
      }
    }
  }
  return triangles;
}

TEST(ScatterSphere, HasPolesRingsAndRadius) {
  const TScatterSphere& sphere = BuiltSky().OuterSphere;
  ASSERT_EQ(sphere.VertexCount, 9902);
  ASSERT_EQ(sphere.Vertices.size(), 9902u);
  EXPECT_EQ(sphere.Vertices.front().z, 10.35f);
  EXPECT_EQ(sphere.Vertices.back().z, -10.35f);
  for (int32_t i = 0; i < sphere.VertexCount; ++i) {
    const TScatterVertex& v = sphere.Vertices[static_cast<size_t>(i)];
    EXPECT_NEAR(Length3(Position(v)), 10.35f, 1e-5f) << i;
    EXPECT_EQ(v.red | v.green | v.blue | v.alpha, 0) << i;
  }
  // Ring 25 lies at a quarter turn from the top pole; its slice 25 at a quarter turn round.
  const TScatterVertex& v = sphere.Vertices[1 + 24 * 100 + 25];
  EXPECT_NEAR(v.x, 0.0f, 1e-5f);
  EXPECT_NEAR(v.y, 10.35f * std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(v.z, 10.35f * std::sqrt(0.5f), 1e-5f);
}

TEST(ScatterSphere, DrawsAClosedSurfaceFacingInward) {
  const TScatterSphere& sphere = BuiltSky().OuterSphere;
  // A fan round the top, 98 strips between the 99 rings, a fan round the bottom.
  ASSERT_EQ(sphere.Primitives.size(), 100u);
  EXPECT_TRUE(sphere.Primitives.front().Fan);
  EXPECT_TRUE(sphere.Primitives.back().Fan);
  EXPECT_EQ(sphere.DrawIndices[0], 0);
  EXPECT_EQ(sphere.DrawIndices[static_cast<size_t>(sphere.Primitives.back().First)], 9901);

  const std::vector<Triangle> triangles = Triangles(sphere);
  EXPECT_EQ(triangles.size(), 2u * 100u * 99u);
  std::map<std::pair<int32_t, int32_t>, int> directed_edges;
  double area = 0.0;
  for (const Triangle& t : triangles) {
    const Vector3f a = Position(sphere.Vertices[static_cast<size_t>(t[0])]);
    const Vector3f b = Position(sphere.Vertices[static_cast<size_t>(t[1])]);
    const Vector3f c = Position(sphere.Vertices[static_cast<size_t>(t[2])]);
    const Vector3f normal = Cross3(Sub3(b, a), Sub3(c, a));
    // Counter-clockwise from outside is clockwise from inside, the side drawn.
    EXPECT_GT(Dot3(normal, Add3(Add3(a, b), c)), 0.0f) << t[0] << " " << t[1] << " " << t[2];
    area += 0.5 * Length3(normal);
    for (int e = 0; e < 3; ++e) {
      ++directed_edges[{t[e], t[(e + 1) % 3]}];
    }
  }
  // Closed and consistently wound: every edge is walked once each way.
  for (const auto& [edge, count] : directed_edges) {
    EXPECT_EQ(count, 1) << edge.first << " -> " << edge.second;
    EXPECT_EQ(directed_edges.count({edge.second, edge.first}), 1u)
        << edge.first << " -> " << edge.second;
  }
  EXPECT_NEAR(area, 4.0 * std::numbers::pi * 10.35 * 10.35,
              4.0 * std::numbers::pi * 10.35 * 10.35 * 1e-3);
}

// --- Colours ---------------------------------------------------------------------------------

class Sky : public ::testing::Test {
protected:
  TScatter_CPU sky_;
};

TEST_F(Sky, UpdatesRecolourOnlyTheCameraSide) {
  sky_.UpdateColors({0.0f, 0.0f, 1000.0f});
  EXPECT_NEAR(sky_.CameraPosition.z, 14.749f, 1e-3f);
  int32_t coloured = 0;
  for (const TScatterVertex& v : sky_.OuterSphere.Vertices) {
    if (v.z <= 0.0f) {
      EXPECT_EQ(v.red | v.green | v.blue | v.alpha, 0);
    } else if (v.alpha > 0) {
      ++coloured;
    }
  }
  EXPECT_GT(coloured, 1000);

  const std::vector<TScatterVertex> before = sky_.OuterSphere.Vertices;
  sky_.UpdateColors({0.0f, 1000.0f, 0.0f});
  int32_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    const TScatterVertex& v = sky_.OuterSphere.Vertices[i];
    const bool same = v.red == before[i].red && v.green == before[i].green &&
                      v.blue == before[i].blue && v.alpha == before[i].alpha;
    if (v.y <= 0.0f) {
      EXPECT_TRUE(same) << i;
    } else {
      changed += same ? 0 : 1;
    }
  }
  EXPECT_GT(changed, 1000);
}

TEST_F(Sky, DegenerateViewsAreSettledWithoutTracingARay) {
  // The camera at the centre sees opaque white everywhere.
  sky_.CameraPosition = {0.0f, 0.0f, 0.0f};
  for (const Vector3f& p : {Vector3f{0.0f, 0.0f, 10.35f}, Vector3f{-6.0f, 2.0f, 8.0f}}) {
    TScatterVertex vertex = VertexAt(p);
    sky_.VertexColor(vertex);
    EXPECT_EQ(vertex.red, 255);
    EXPECT_EQ(vertex.green, 255);
    EXPECT_EQ(vertex.blue, 255);
    EXPECT_EQ(vertex.alpha, 255);
  }

  // A ray of no length keeps whatever the vertex held.
  sky_.CameraPosition = {1.0f, 2.0f, 10.1f};
  for (const Vector3f& p : {Vector3f{1.0f, 2.0f, 10.1f}, Vector3f{1.0f, 2.0f, 10.1000004f}}) {
    TScatterVertex vertex = VertexAt(p);
    vertex.red = 1;
    vertex.green = 2;
    vertex.blue = 3;
    vertex.alpha = 4;
    sky_.VertexColor(vertex);
    EXPECT_EQ(vertex.red, 1);
    EXPECT_EQ(vertex.green, 2);
    EXPECT_EQ(vertex.blue, 3);
    EXPECT_EQ(vertex.alpha, 4);
  }
}

// The scattered light of one vertex, as the sum of its colour bytes.
int Brightness(const TScatterVertex& v) {
  return v.red + v.green + v.blue;
}

TEST_F(Sky, FromOrbitTheSunlitLimbIsBrightAndTheNightLimbDark) {
  // Seen from across the terminator, half of the limb is in daylight and half in night.
  sky_.UpdateColors({707.1f, -707.1f, 0.0f});
  const Vector3f k = sky_.CameraPosition;
  int lit = 0, lit_count = 0, dark = 0, dark_count = 0;
  for (const TScatterVertex& v : sky_.OuterSphere.Vertices) {
    const Vector3f p = Position(v);
    // Only vertices behind the limb whose line of sight grazes the air but misses the ground.
    const Vector3f ray = Normalized3(Sub3(p, k));
    const float along = -Dot3(k, ray);
    const float miss = Length3(Add3(k, Scale3(ray, along)));
    if (Dot3(k, p) <= 0.0f || along < 0.0f || miss < 10.05f || miss > 10.3f) {
      continue;
    }
    const float sun = Dot3(p, sky_.LightDirection) / 10.35f;
    if (sun > 0.3f) {
      lit += Brightness(v);
      ++lit_count;
    } else if (sun < -0.3f) {
      dark += Brightness(v);
      ++dark_count;
    }
  }
  ASSERT_GT(lit_count, 50);
  ASSERT_GT(dark_count, 50);
  EXPECT_GT(lit / lit_count, 60);
  EXPECT_LT(dark / dark_count, 5);
}

TEST_F(Sky, AtNoonTheZenithIsBlue) {
  sky_.CameraPosition = Scale3(sky_.LightDirection, 10.01f);
  TScatterVertex zenith = VertexAt(Scale3(sky_.LightDirection, 10.35f));
  sky_.VertexColor(zenith);
  EXPECT_GT(zenith.blue, zenith.green);
  EXPECT_GT(zenith.green, zenith.red);
  EXPECT_GT(zenith.red, 10);
  // Bright enough to be opaque, not so bright that a channel saturates.
  EXPECT_EQ(zenith.alpha, 255);
  EXPECT_LT(zenith.blue, 200);
}

TEST_F(Sky, ASampleInTheDarkEndsTheRay) {
  // A line of sight from orbit that enters the air deep in the night and passes through the
  // planet into daylight: samples in shadow do not advance, so the sunlit ones beyond never
  // count and the vertex stays black.
  sky_.CameraPosition = {-14.484f, -8.544f, -10.325f};
  const Vector3f p{-6.908f, 7.554f, 1.528f};
  const Vector3f k = sky_.CameraPosition;
  // The four sample points, as the model places them: evenly along the part inside the air.
  const Vector3f ray = Normalized3(Sub3(p, k));
  const float b = 2.0f * Dot3(k, ray);
  const float near = (-b - std::sqrt(b * b - 4.0f * (Dot3(k, k) - 10.35f * 10.35f))) / 2.0f;
  const float step = (Distance3(p, k) - near) / 4.0f;
  float density[4];
  for (int i = 0; i < 4; ++i) {
    const Vector3f q = Add3(k, Scale3(ray, near + step * (i + 0.5f)));
    const float h = Length3(q);
    float light[4];
    sky_.OpticalDepth.SampleBilinear(light, (h - 10.0f) * sky_.Scale,
                                     0.5f - 0.5f * Dot3(sky_.LightDirection, q) / h);
    density[i] = light[0];
  }
  ASSERT_LT(density[0], 1e-6f);
  ASSERT_GT(density[3], 0.5f);

  TScatterVertex vertex = VertexAt(p);
  sky_.VertexColor(vertex);
  EXPECT_EQ(Brightness(vertex), 0);
  EXPECT_EQ(vertex.alpha, 0);
}

TEST_F(Sky, ColoursStayInRangeFromAnywhere) {
  // World positions: orbit, low flight, below sea level, on the sky's shell, far away, and
  // positions whose rays start right at the centre or pass through it.
  const Vector3f cameras[] = {
      {0.0f, 0.0f, 1000.0f},   {392.0f, 392.0f, 392.0f}, {0.0f, 0.0f, 670.0f},
      {0.0f, 0.0f, 701.7288f}, {-3e6f, 2e6f, 1e6f},      {1e-3f, 0.0f, 0.0f},
      {0.0f, -60.0f, 0.0f},
  };
  for (const Vector3f& camera : cameras) {
    sky_.UpdateColors(camera);
    for (const TScatterVertex& v : sky_.OuterSphere.Vertices) {
      // Alpha is 512 times the colour's sum and each byte at most 255 times its channel, so a
      // byte that wrapped round shows as alpha below twice the bytes' sum.
      EXPECT_GE(v.alpha + 2, std::min(255, 2 * Brightness(v))) << camera.z;
      if (v.alpha < 255) {
        // Below saturation alpha follows the colour: within the bytes' truncation.
        EXPECT_LE(v.alpha, 2 * Brightness(v) + 8) << camera.z;
      }
    }
  }
}

} // namespace
} // namespace meridia
