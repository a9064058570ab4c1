#include "view/Scatter.h"

#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
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

Vector3f Position(const TScatterVertex& v) {
  return {v.x, v.y, v.z};
}

int Brightness(const TScatterVertex& v) {
  return v.red + v.green + v.blue;
}

class Sky : public ::testing::Test {
protected:
  const float* TableElement(int32_t row, int32_t column) const {
    return sky_.OpticalDepth.Floats() + (row * 128 + column) * 4;
  }

  TScatter_CPU sky_;
};

TEST_F(Sky, TableRowZeroLooksStraightUpAndRowsIntoThePlanetFadeTheRowBefore) {
  // Straight up from scaled altitude x the depth is the integral of exp(-t / H) over [x, 1].
  for (const int32_t column : {0, 64, 127}) {
    const double x = column / 128.0;
    for (const auto& [channel, depth] : {std::pair{0, 0.25}, {2, 0.1}}) {
      const double density = std::exp(-x / depth);
      const double optical_depth = depth * (density - std::exp(-1.0 / depth));
      EXPECT_NEAR(TableElement(0, column)[channel], density, density * 1e-4) << column;
      EXPECT_NEAR(TableElement(0, column)[channel + 1], optical_depth, optical_depth * 1e-2)
          << column;
    }
  }

  // Row j looks along cos a = 1 - 2j / 128, down to -0.984 in row 127. Column 0 stands on the
  // ground, whose horizon is level (row 64); column 127 at 10.347, whose horizon dips to
  // cos a = -0.257 (row 80).
  for (const auto& [column, last_clear_row] : {std::pair{0, 64}, {127, 80}}) {
    for (int32_t row = 1; row < 128; ++row) {
      const float* element = TableElement(row, column);
      const float* above = TableElement(row - 1, column);
      // Unobstructed, the density depends on the altitude alone.
      const float factor = row <= last_clear_row ? 1.0f : 0.75f;
      EXPECT_FLOAT_EQ(element[0], factor * above[0]) << column << ", " << row;
      EXPECT_FLOAT_EQ(element[2], factor * above[2]) << column << ", " << row;
    }
    // Through the planet the depth is far beyond anything the air alone holds.
    EXPECT_GT(TableElement(127, column)[1], 40.0f) << column;
  }
}

TEST_F(Sky, TheSphereIsClosedAndFacesInward) {
  const TScatterSphere& sphere = sky_.OuterSphere;
  ASSERT_EQ(sphere.Vertices.size(), 9902u);
  EXPECT_EQ(sphere.Vertices.front().z, 10.35f);
  EXPECT_EQ(sphere.Vertices.back().z, -10.35f);

  // Triangles as OpenGL forms them, strips alternating their order to keep one winding.
  std::set<std::pair<int32_t, int32_t>> edges;
  int32_t triangles = 0;
  for (const TScatterPrimitive& primitive : sphere.Primitives) {
    const int32_t* index = sphere.DrawIndices.data() + primitive.First;
    for (int32_t i = 2; i < primitive.Count; ++i) {
      std::array<int32_t, 3> t = {index[i - 2], index[i - 1], index[i]};
      if (primitive.Fan) {
        t[0] = index[0];
      } else if (i % 2 == 1) {
        std::swap(t[0], t[1]);
      }
      const Vector3f a = Position(sphere.Vertices[static_cast<size_t>(t[0])]);
      const Vector3f b = Position(sphere.Vertices[static_cast<size_t>(t[1])]);
      const Vector3f c = Position(sphere.Vertices[static_cast<size_t>(t[2])]);
      const Vector3f normal = Cross3(Sub3(b, a), Sub3(c, a));
      // Counter-clockwise from outside is clockwise from inside, the side to be seen.
      EXPECT_GT(Dot3(normal, Add3(Add3(a, b), c)), 0.0f) << t[0] << " " << t[1] << " " << t[2];
      ++triangles;
      for (int e = 0; e < 3; ++e) {
        // Each directed edge once: no triangle drawn twice, none wound against its neighbours.
        EXPECT_TRUE(edges.insert({t[e], t[(e + 1) % 3]}).second) << t[e] << " " << t[(e + 1) % 3];
      }
    }
  }
  // A fan, 98 strips between the 99 rings, a fan; closed: every edge is walked both ways.
  EXPECT_EQ(triangles, 2 * 100 * 99);
  for (const auto& [from, to] : edges) {
    EXPECT_EQ(edges.count({to, from}), 1u) << from << " -> " << to;
  }
}

TEST_F(Sky, UpdatesRecolourOnlyTheCameraSide) {
  sky_.UpdateColors({0.0f, 0.0f, 1000.0f});
  EXPECT_NEAR(sky_.CameraPosition.z, 14.749f, 1e-3f);
  const std::vector<TScatterVertex> before = sky_.OuterSphere.Vertices;
  int32_t coloured = 0;
  for (const TScatterVertex& v : before) {
    coloured += v.alpha > 0 ? 1 : 0;
    if (v.z <= 0.0f) {
      EXPECT_EQ(Brightness(v) + v.alpha, 0);
    }
  }
  EXPECT_GT(coloured, 1000);

  sky_.UpdateColors({0.0f, 1000.0f, 0.0f});
  int32_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    const TScatterVertex& v = sky_.OuterSphere.Vertices[i];
    const bool same = Brightness(v) == Brightness(before[i]) && v.alpha == before[i].alpha;
    if (v.y <= 0.0f) {
      EXPECT_TRUE(same) << i;
    } else {
      changed += same ? 0 : 1;
    }
  }
  EXPECT_GT(changed, 1000);
}

TEST_F(Sky, DegenerateViewsNeedNoRay) {
  // From the centre everything is opaque white.
  sky_.CameraPosition = {0.0f, 0.0f, 0.0f};
  TScatterVertex vertex = VertexAt({-6.0f, 2.0f, 8.0f});
  sky_.VertexColor(vertex);
  EXPECT_EQ(vertex.red + vertex.green + vertex.blue + vertex.alpha, 4 * 255);

  // A ray of no length keeps whatever the vertex held.
  sky_.CameraPosition = {1.0f, 2.0f, 10.1f};
  for (const Vector3f& p : {Vector3f{1.0f, 2.0f, 10.1f}, Vector3f{1.0f, 2.0f, 10.1000004f}}) {
    vertex = VertexAt(p);
    vertex.red = 1;
    vertex.alpha = 4;
    sky_.VertexColor(vertex);
    EXPECT_EQ(vertex.red, 1);
    EXPECT_EQ(vertex.alpha, 4);
  }
}

TEST_F(Sky, FromOrbitTheSunlitLimbIsBrightAndTheNightLimbDark) {
  // From across the terminator half of the limb is in daylight, half in night.
  sky_.UpdateColors({707.1f, -707.1f, 0.0f});
  const Vector3f k = sky_.CameraPosition;
  int lit = 0, lit_count = 0, dark = 0, dark_count = 0;
  for (const TScatterVertex& v : sky_.OuterSphere.Vertices) {
    // Only vertices whose line of sight grazes the air and misses the ground.
    const Vector3f p = Position(v);
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
  EXPECT_EQ(zenith.alpha, 255);
}

TEST_F(Sky, ASampleInShadowEndsTheRay) {
  // A line of sight from orbit that enters the air deep in the night and passes through the
  // planet into daylight. A sample without density does not advance, so the sunlit samples
  // beyond never count.
  sky_.CameraPosition = {-14.484f, -8.544f, -10.325f};
  const Vector3f k = sky_.CameraPosition;
  const Vector3f p{-6.908f, 7.554f, 1.528f};
  const Vector3f ray = Normalized3(Sub3(p, k));
  const float b = 2.0f * Dot3(k, ray);
  const float near = (-b - std::sqrt(b * b - 4.0f * (Dot3(k, k) - 10.35f * 10.35f))) / 2.0f;
  const float step = (Distance3(p, k) - near) / 4.0f;
  auto density_at_sample = [&](int i) {
    const Vector3f q = Add3(k, Scale3(ray, near + step * (static_cast<float>(i) + 0.5f)));
    const float h = Length3(q);
    float light[4];
    sky_.OpticalDepth.SampleBilinear(light, (h - 10.0f) * sky_.Scale,
                                     0.5f - 0.5f * Dot3(sky_.LightDirection, q) / h);
    return light[0];
  };
  ASSERT_LT(density_at_sample(0), 1e-6f);
  ASSERT_GT(density_at_sample(3), 0.5f);

  TScatterVertex vertex = VertexAt(p);
  sky_.VertexColor(vertex);
  EXPECT_EQ(Brightness(vertex) + vertex.alpha, 0);
}

TEST_F(Sky, ColoursStayInRangeFromAnywhere) {
  // Orbit, low flight, below sea level, on the shell, far away, next to the centre.
  const Vector3f cameras[] = {{0.0f, 0.0f, 1000.0f}, {392.0f, 392.0f, 392.0f},
                              {0.0f, 0.0f, 670.0f},  {0.0f, 0.0f, 701.7288f},
                              {-3e6f, 2e6f, 1e6f},   {1e-3f, 0.0f, 0.0f}};
  for (const Vector3f& camera : cameras) {
    sky_.UpdateColors(camera);
    for (const TScatterVertex& v : sky_.OuterSphere.Vertices) {
      // Alpha is 512 times the colour's sum and each byte 255 times its channel, truncated: a
      // byte that wrapped round breaks the proportion.
      EXPECT_GE(v.alpha + 2, std::min(255, 2 * Brightness(v))) << camera.z;
      if (v.alpha < 255) {
        EXPECT_LE(v.alpha, 2 * Brightness(v) + 8) << camera.z;
      }
    }
  }
}

} // namespace
} // namespace meridia
