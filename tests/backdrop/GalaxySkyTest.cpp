// The galaxy sky as plain data: where it sits on screen for a camera, which cells of its card it
// paints and draws, and how the sky overhead fades it.
#include "backdrop/GalaxySky.h"

#include "engine/VectorGeometry.h"
#include "view/PlanetaryCamera.h"
#include "view/Scatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace meridia {
namespace {

// 40 degrees, 4:3, between the planes given, as gluPerspective builds it.
Matrix4f Perspective(double near_plane, double far_plane) {
  const double f = 1.0 / std::tan(20.0 * kPi / 180.0);
  Matrix4f p;
  p.m[0][0] = static_cast<float>(f * 0.75);
  p.m[1][1] = static_cast<float>(f);
  p.m[2][2] = static_cast<float>((far_plane + near_plane) / (near_plane - far_plane));
  p.m[2][3] = -1;
  p.m[3][2] = static_cast<float>(2.0 * far_plane * near_plane / (near_plane - far_plane));
  p.m[3][3] = 0;
  return p;
}

// Normalised device coordinates of p under view then projection.
Vector3f Screen(const Vector3f& p, const Matrix4f& view, const Matrix4f& projection) {
  const Vector4f clip =
      Vector4TimesMatrix(Vector4TimesMatrix({p.x, p.y, p.z, 1}, view), projection);
  return {clip.x / clip.w, clip.y / clip.w, clip.z / clip.w};
}

class GalaxySky : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    galaxy_ = new TGalaxyRender;
    galaxy_->BuildGalaxy(0);
    sky_ = new TGalaxySky;
    sky_->Build(*galaxy_, DefaultGalaxyPlacement());
  }
  static void TearDownTestSuite() {
    delete sky_;
    delete galaxy_;
  }
  static TGalaxyRender* galaxy_;
  static TGalaxySky* sky_;
};
TGalaxyRender* GalaxySky::galaxy_ = nullptr;
TGalaxySky* GalaxySky::sky_ = nullptr;

TEST_F(GalaxySky, OnlyTheCamerasTurnMovesItOnScreen) {
  const Matrix4f projection = SkyProjection(Perspective(1, 16384));
  TPlanetary_Camera camera;
  camera.Turn({0.3f, 1, 0.1f}, 4); // some 12 degrees off the start
  camera.SetPosition(3, {0, 0, 2500});
  const Matrix4f from_orbit = SkyView(camera.ViewMatrix());
  camera.SetPosition(3, {-300, 700, 679});
  const Matrix4f from_ground = SkyView(camera.ViewMatrix());
  // Where the camera's own view puts the galaxy's centre, seen a million units away.
  const Vector3f centre = Scale3(DefaultGalaxyPlacement().Direction, 1e6f);
  const Vector3f seen =
      Screen(Add3(camera.Positions[3], centre), camera.ViewMatrix(), Perspective(1, 1e7));
  const Vector3f sky_centre = Screen(centre, from_ground, projection);
  EXPECT_NEAR(sky_centre.x, seen.x, 1e-4);
  EXPECT_NEAR(sky_centre.y, seen.y, 1e-4);

  camera.Turn({0, 1, 0}, 1);
  const Matrix4f turned = SkyView(camera.ViewMatrix());
  for (const TCardVertex& v : sky_->CardVertices) {
    const Vector3f a = Screen({v.x, v.y, v.z}, from_orbit, projection);
    const Vector3f b = Screen({v.x, v.y, v.z}, from_ground, projection);
    ASSERT_EQ(a.x, b.x);
    ASSERT_EQ(a.y, b.y);
    // Within the sky's planes, which the frame's own near plane of 1 would cut.
    ASSERT_GT(a.z, -1.0f);
    ASSERT_LT(a.z, 1.0f);
    ASSERT_GT(std::fabs(Screen({v.x, v.y, v.z}, turned, projection).x - a.x), 0.02f);
  }
  // Anything but a perspective is left alone.
  const Matrix4f flat;
  EXPECT_EQ(SkyProjection(flat).m[2][2], 1.0f);
}

TEST_F(GalaxySky, EveryStarAndParticleHasABillboardAndTheCardHoldsThemAll) {
  int32_t stars = 0, smoke = 0;
  for (const TSkyBatch& batch : sky_->Batches) {
    stars += batch.TextureSlot >= 4 && batch.TextureSlot < 8 ? batch.Count : 0;
    smoke += batch.TextureSlot == 8 ? batch.Count : 0;
  }
  EXPECT_EQ(stars, 12000 * 4);
  EXPECT_EQ(smoke, 2001 * 4);

  // Each billboard's picture is the circle its quad is drawn around; the card must hold the
  // circle, and the cells it reaches must be drawn.
  const TSkyCard& card = sky_->Card;
  const int32_t n = TSkyCard::kCells;
  const double cell = 2.0 * card.HalfWidth / n;
  for (size_t first = 0; first < sky_->Vertices.size(); first += 4) {
    Vector2f c[4];
    for (size_t k = 0; k < 4; ++k) {
      const TSkyVertex& v = sky_->Vertices[first + k];
      c[k] = OnCard(card, {v.x, v.y, v.z});
    }
    for (int side = 0; side < 4; ++side) {
      const Vector2f& a = c[side];
      const Vector2f& b = c[(side + 1) % 4];
      const double x = (a.x + b.x) / 2.0, y = (a.y + b.y) / 2.0; // the circle touches here
      ASSERT_LE(std::fabs(x), card.HalfWidth) << first;
      ASSERT_LE(std::fabs(y), card.HalfWidth) << first;
      const auto column = static_cast<int32_t>((x + card.HalfWidth) / cell);
      const auto row = static_cast<int32_t>((y + card.HalfWidth) / cell);
      ASSERT_EQ(card.Used[static_cast<size_t>(std::min(row, n - 1) * n + std::min(column, n - 1))],
                1)
          << first;
    }
  }
  // The disc's glow is the one square whose corners lie beyond every star (70 units from the
  // centre): its circle is drawn, the corners of its square are not.
  size_t used = 0;
  for (const uint8_t u : card.Used) {
    used += u;
  }
  EXPECT_EQ(sky_->CardVertices.size(), used * 4);
  const auto glow = std::find_if(sky_->Batches.begin(), sky_->Batches.end(),
                                 [](const TSkyBatch& b) { return b.TextureSlot == 1; });
  ASSERT_NE(glow, sky_->Batches.end());
  ASSERT_EQ(glow->Count, 4);
  for (int32_t k = glow->First; k < glow->First + 4; ++k) {
    const TSkyVertex& v = sky_->Vertices[static_cast<size_t>(k)];
    const Vector2f at = OnCard(card, {v.x, v.y, v.z});
    const auto column = std::clamp(static_cast<int32_t>((at.x + card.HalfWidth) / cell), 0, n - 1);
    const auto row = std::clamp(static_cast<int32_t>((at.y + card.HalfWidth) / cell), 0, n - 1);
    EXPECT_EQ(card.Used[static_cast<size_t>(row * n + column)], 0) << k;
  }
}

// Whether the ray from the viewer along d meets the sphere.
bool Meets(const Vector3f& d, const TSkyOccluder& sphere) {
  const double along = Dot3(d, sphere.Centre) / Length3(d);
  const double miss = SqrLength3(sphere.Centre) - along * along;
  return along > 0 && miss <= static_cast<double>(sphere.Radius) * sphere.Radius;
}

TEST_F(GalaxySky, OnlyCellsWhollyBehindThePlanetAreLeftOut) {
  const std::vector<TCardVertex>& cells = sky_->CardVertices;
  const TSkyOccluder cases[] = {
      {{0, 0, -2500}, 0},           // nothing
      {{0, 0, 2500}, 670},          // behind the viewer
      {{0, 0, -2500}, 670},         // the orbit's start
      {{-5, 0, -1200}, 670},        // nearer, in front of the galaxy
      {{0.4f, -0.1f, -1.0f}, 3.0f}, // around the viewer: hides nothing
  };
  size_t left_out_anywhere = 0;
  for (const TSkyOccluder& sphere : cases) {
    std::vector<uint32_t> drawn;
    VisibleCardCells(cells, sphere, drawn);
    ASSERT_EQ(drawn.size() % 4, 0u);
    std::vector<bool> kept(cells.size() / 4, false);
    for (size_t i = 0; i < drawn.size(); i += 4) {
      ASSERT_EQ(drawn[i] % 4, 0u);
      kept[drawn[i] / 4] = true;
    }
    for (size_t c = 0; c < kept.size(); ++c) {
      if (kept[c]) {
        continue;
      }
      ++left_out_anywhere;
      // A 5 by 5 grid over the cell, edges included, all behind the sphere.
      const TCardVertex& a = cells[c * 4];
      const TCardVertex& b = cells[c * 4 + 1];
      const TCardVertex& d = cells[c * 4 + 3];
      for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 4; ++j) {
          const Vector3f p{a.x + (b.x - a.x) * i / 4 + (d.x - a.x) * j / 4,
                           a.y + (b.y - a.y) * i / 4 + (d.y - a.y) * j / 4,
                           a.z + (b.z - a.z) * i / 4 + (d.z - a.z) * j / 4};
          ASSERT_TRUE(Meets(p, sphere)) << c;
        }
      }
    }
  }
  EXPECT_GT(left_out_anywhere, cells.size() / 4 / 5);
}

TEST(GalaxySkyFade, ShowsFromOrbitAndAtNightNotUnderADaylightSky) {
  const TScatter_CPU atmosphere;
  const Vector3f sun = atmosphere.LightDirection;
  const Vector3f night = Scale3(sun, -679.0f);
  const Vector3f noon = Scale3(sun, 679.0f);
  const Vector3f morning = Scale3(Normalized3(Add3(sun, Cross3(sun, YAxis))), 679.0f);
  const struct {
    const char* name;
    Vector3f at;
    float visibility;
  } cases[] = {
      {"orbit", {0, 0, 2500}, 1}, {"night", night, 1}, {"noon", noon, 0}, {"morning", morning, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(BackdropVisibility(atmosphere.BrightnessOverhead(c.at)), c.visibility) << c.name;
  }
  // Between the two, the sky's own brightness fades it without a jump.
  float last = 1;
  for (float brightness = 0; brightness <= 0.3f; brightness += 0.001f) {
    const float visibility = BackdropVisibility(brightness);
    EXPECT_LE(visibility, last);
    EXPECT_LT(last - visibility, 0.05f) << brightness;
    last = visibility;
  }
}

} // namespace
} // namespace meridia
