#include "view/Scatter.h"

#include "engine/WorkerPool.h"

#include "engine/VectorGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

// The brightness overhead is the brightest channel of the vertex straight above, as the sky
// colours it from there, and nothing above the atmosphere.
TEST_F(Sky, BrightnessOverheadIsTheZenithVertexsBrightestChannel) {
  const Vector3f sun = sky_.LightDirection;
  const Vector3f dawn = Normalized3(Cross3(sun, YAxis));
  const Vector3f places[] = {Scale3(sun, 679.0f), Scale3(sun, 690.0f),
                             Scale3(Normalized3(Add3(sun, dawn)), 679.5f), Scale3(dawn, 679.0f),
                             Scale3(sun, -679.0f)};
  float noon = 0;
  for (const Vector3f& world : places) {
    const float brightness = sky_.BrightnessOverhead(world);
    sky_.CameraPosition = Scale3(world, kScatterWorldToModel);
    TScatterVertex zenith = VertexAt(Scale3(Normalized3(world), sky_.OuterRadius));
    sky_.VertexColor(zenith);
    const int brightest = std::max({zenith.red, zenith.green, zenith.blue});
    EXPECT_NEAR(brightest, std::trunc(255.0 * brightness), 1.0) << world.x;
    noon = std::max(noon, brightness);
  }
  EXPECT_GT(noon, 0.2f);
  EXPECT_EQ(sky_.BrightnessOverhead(Scale3(sun, -679.0f)), 0.0f) << "night";
  EXPECT_EQ(sky_.BrightnessOverhead(Scale3(sun, 702.0f)), 0.0f) << "above the atmosphere";
  EXPECT_EQ(sky_.BrightnessOverhead({0, 0, 0}), 0.0f);
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

// The single-scattering model evaluated again from its definition: its own optical-depth table
// and bilinear lookup, the literal sample loop; nothing of the sky's own code is called. The
// table keeps every stored value a 32-bit float, as the program's numbers are: lines of sight
// below the ground extrapolate it hundreds of cells beyond its first column, which magnifies
// its last bits into whole colour steps. The colour itself is evaluated in double.
class ReferenceSky {
public:
  using Vec = std::array<double, 3>;
  using Element = std::array<double, 4>;

  ReferenceSky() {
    for (int j = 0; j < 128; ++j) {
      const double a = F(std::acos(F(1.0 - 2.0 * j / 128)));
      const Vec d = {F(std::sin(a)), F(std::cos(a)), 0};
      for (int k = 0; k < 128; ++k) {
        const double h = F(kInner + 1e-6 + k * (kOuter - kInner) / 128);
        const Vec p = {0, h, 0};
        const double b = F(2 * Dot(p, d));
        const double dd = F(Dot(p, p));
        const double det = F(b * b - 4 * (dd - kInner * kInner));
        const bool blocked =
            det >= 0 && ((-b - std::sqrt(det)) / 2 > 0 || (std::sqrt(det) - b) / 2 > 0);
        Element& e = table_[j * 128 + k];
        if (blocked) {
          e[0] = F(0.75 * table_[(j - 1) * 128 + k][0]);
          e[2] = F(0.75 * table_[(j - 1) * 128 + k][2]);
        } else {
          e[0] = F(std::exp(-(h - kInner) * kScale / kDepthR));
          e[2] = F(std::exp(-(h - kInner) * kScale / kDepthM));
        }
        const double far = F((std::sqrt(b * b - 4 * (dd - kOuter * kOuter)) - b) / 2);
        const double step = F(far / 50);
        Vec q = FV(Add(p, d, step / 2));
        double tau_r = 0, tau_m = 0;
        for (int i = 0; i < 50; ++i) {
          const double alt = F(std::max((Length(q) - kInner) * kScale, 0.0));
          tau_r = F(tau_r + std::exp(-alt / kDepthR));
          tau_m = F(tau_m + std::exp(-alt / kDepthM));
          q = FV(Add(q, d, step));
        }
        const double scaled = F(step * kScale);
        e[1] = F(tau_r * scaled);
        e[3] = F(tau_m * scaled);
      }
    }
  }

  // Red, green, blue, alpha; false when the vertex keeps its colour.
  bool Colour(const Vec& k, const Vec& p, int rgba[4]) const {
    const double r = Length(k);
    double c[3] = {1, 1, 1};
    if (r > 1e-40) {
      Vec ray = Add(p, k, -1);
      double far = Length(ray);
      ray = Scaled(ray, 1 / far);
      const Vec back = Scaled(ray, -1);
      const double b = 2 * Dot(k, ray);
      const double det = std::max(b * b - 4 * (Dot(k, k) - kOuter * kOuter), 0.0);
      const double near = (-b - std::sqrt(det)) / 2;
      Vec start = k;
      Element s = {0, 0, 0, 0};
      bool flag = true;
      if (near > 0) {
        start = Add(k, ray, near);
        far -= near;
      } else {
        flag = Length(p) <= r;
        s = Lookup((r - kInner) * kScale, 0.5 - 0.5 * Dot(flag ? back : ray, k) / r);
      }
      if (far <= 1e-6) {
        return false;
      }
      const double step = far / 4;
      const double scaled = step * kScale;
      Vec q = Add(start, ray, step / 2);
      double sum_r[3] = {}, sum_m[3] = {};
      for (int i = 0; i < 4; ++i) {
        const double h = Length(q);
        const double u = (h - kInner) * kScale;
        const Element l = Lookup(u, 0.5 - 0.5 * Dot(kLight, q) / h);
        if (l[0] < 1e-6) {
          continue; // in the planet's shadow: no light, and the sample point stays
        }
        double tau_r = l[1], tau_m = l[3];
        const Element v = Lookup(u, 0.5 - 0.5 * Dot(flag ? back : ray, q) / h);
        tau_r += flag ? v[1] - s[1] : s[1] - v[1];
        tau_m += flag ? v[3] - s[3] : s[3] - v[3];
        for (int ch = 0; ch < 3; ++ch) {
          const double a = std::exp(-tau_r * kKr4Pi / kWavelength4[ch] - tau_m * kKm4Pi);
          sum_r[ch] += a * scaled * l[0];
          sum_m[ch] += a * scaled * l[2];
        }
        q = Add(q, ray, step);
      }
      const double mu = Dot(back, kLight);
      const double phase_r = 0.75 * (1 + mu * mu) * kKr * kESun;
      const double phase_m = 1.5 * ((1 - kG * kG) / (2 + kG * kG)) * (1 + mu * mu) /
                             std::pow(1 + kG * kG - 2 * kG * mu, 1.5) * kKm * kESun;
      for (int ch = 0; ch < 3; ++ch) {
        c[ch] = std::min(1.0, sum_r[ch] * phase_r / kWavelength4[ch] + sum_m[ch] * phase_m);
      }
    }
    for (int ch = 0; ch < 3; ++ch) {
      rgba[ch] = static_cast<int>(255 * c[ch]);
    }
    rgba[3] = std::min(static_cast<int>(512 * (c[0] + c[1] + c[2])), 255);
    return true;
  }

private:
  static constexpr double kInner = 10, kOuter = 10.35, kScale = 1 / (kOuter - kInner);
  static constexpr double kDepthR = 0.25, kDepthM = 0.1;
  static constexpr double kKr = 0.0025, kKm = 0.0015, kESun = 15, kG = -0.85;
  static constexpr double kKr4Pi = 4 * kPi * kKr, kKm4Pi = 4 * kPi * kKm;
  static constexpr double kWavelength4[3] = {0.65 * 0.65 * 0.65 * 0.65, 0.57 * 0.57 * 0.57 * 0.57,
                                             0.475 * 0.475 * 0.475 * 0.475};
  static constexpr double kRoot3 = 1.7320508075688772;
  static constexpr Vec kLight = {1 / kRoot3, 1 / kRoot3, 1 / kRoot3};

  static double F(double x) { return static_cast<float>(x); }
  static Vec FV(const Vec& v) { return {F(v[0]), F(v[1]), F(v[2])}; }
  static double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
  static double Length(const Vec& a) { return std::sqrt(Dot(a, a)); }
  static Vec Scaled(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
  static Vec Add(const Vec& a, const Vec& b, double s) {
    return {a[0] + b[0] * s, a[1] + b[1] * s, a[2] + b[2] * s};
  }

  // Columns by altitude (u), rows by view angle (v), extrapolating from the border cell.
  Element Lookup(double u, double v) const {
    const double fx = 127 * u, fy = 127 * v;
    const int ix = std::clamp(static_cast<int>(fx), 0, 126);
    const int iy = std::clamp(static_cast<int>(fy), 0, 126);
    const double tx = fx - ix, ty = fy - iy;
    const Element& e00 = table_[iy * 128 + ix];
    const Element& e10 = table_[iy * 128 + ix + 1];
    const Element& e01 = table_[(iy + 1) * 128 + ix];
    const Element& e11 = table_[(iy + 1) * 128 + ix + 1];
    Element out;
    for (int c = 0; c < 4; ++c) {
      out[c] = (1 - tx) * (1 - ty) * e00[c] + tx * (1 - ty) * e10[c] + (1 - tx) * ty * e01[c] +
               tx * ty * e11[c];
    }
    return out;
  }

  std::vector<Element> table_ = std::vector<Element>(128 * 128);
};

TEST_F(Sky, VertexColoursMatchTheModelEvaluatedAfresh) {
  const ReferenceSky reference;
  const struct {
    const char* name;
    Vector3f camera;
    int lit; // vertices the reference colours at all
  } cameras[] = {
      {"orbit", {0.0f, 0.0f, 1000.0f}, 2000},
      {"horizon at sunset", {484.4f, -484.4f, 0.0f}, 2000}, // 685 units, across the light
      {"ground by day", {150.0f, 620.0f, 240.0f}, 4000},    // 681 units
      {"night side", {-121.5f, -607.5f, 303.7f}, 100},      // 690 units, the sun 21° below
  };
  for (const auto& c : cameras) {
    TScatter_CPU sky;
    sky.UpdateColors(c.camera);
    const ReferenceSky::Vec k = {c.camera.x * 0.0147492625, c.camera.y * 0.0147492625,
                                 c.camera.z * 0.0147492625};
    int lit = 0, worst = 0;
    for (const TScatterVertex& v : sky.OuterSphere.Vertices) {
      const ReferenceSky::Vec p = {v.x, v.y, v.z};
      // Vertices behind the centre, and those whose line of sight has no length in the air,
      // keep the transparent black every vertex starts with.
      int expected[4] = {0, 0, 0, 0};
      if (k[0] * p[0] + k[1] * p[1] + k[2] * p[2] > 0) {
        reference.Colour(k, p, expected);
      }
      lit += expected[3] > 0;
      const int actual[4] = {v.red, v.green, v.blue, v.alpha};
      for (int ch = 0; ch < 4; ++ch) {
        worst = std::max(worst, std::abs(actual[ch] - expected[ch]));
      }
    }
    EXPECT_LE(worst, 2) << c.name;
    EXPECT_GT(lit, c.lit) << c.name;
  }
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

namespace meridia {
namespace {

TEST(SkyInTwoHalves, BeginAndFinishColourEveryVertexAsOneUpdateDoes) {
  // Alone, and shared with the workers of a pool.
  for (const int32_t threads : {0, 2, 4}) {
    if (threads > 0) {
      StartWorkerPool(threads);
    }
    TScatter_CPU whole;
    TScatter_CPU halves;
    auto same = [&] {
      return std::memcmp(whole.OuterSphere.Vertices.data(), halves.OuterSphere.Vertices.data(),
                         whole.OuterSphere.Vertices.size() * sizeof(TScatterVertex)) == 0;
    };
    // Each step starts from the colours the last one left; the last camera, inside the air
    // under the sun in the southern half, colours the vertices stored last. At the end the
    // second update begins while the first is still under way.
    const Vector3f cameras[] = {{0.0f, 0.0f, 1000.0f},      {0.0f, 1000.0f, 0.0f},
                                {484.4f, -484.4f, 0.0f},    {150.0f, 620.0f, 240.0f},
                                {-121.5f, -607.5f, 303.7f}, {400.0f, 400.0f, -400.0f}};
    for (const Vector3f& camera : cameras) {
      whole.UpdateColors(camera);
      halves.BeginUpdateColors(camera);
      halves.FinishUpdateColors();
      EXPECT_TRUE(same()) << camera.x << " " << camera.y << " " << camera.z << ", " << threads;
      EXPECT_EQ(halves.CameraPosition.x, whole.CameraPosition.x);
    }
    whole.UpdateColors(cameras[0]);
    whole.UpdateColors(cameras[1]);
    halves.BeginUpdateColors(cameras[0]);
    halves.BeginUpdateColors(cameras[1]);
    halves.FinishUpdateColors();
    halves.FinishUpdateColors();
    EXPECT_TRUE(same()) << threads;
    // An update begun and never finished is left to the pool's workers, whose last chunks the
    // sky waits for as it goes.
    halves.BeginUpdateColors(cameras[2]);
    StopWorkerPool();
  }
}

} // namespace
} // namespace meridia
