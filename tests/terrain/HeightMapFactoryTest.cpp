#include "terrain/HeightMapFactory.h"

#include "engine/ProgramVariant.h"
#include "engine/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace meridia {
namespace {

// A map whose sample (x, y) is x + 1000 y: every lookup says where it read.
std::unique_ptr<TPixelBuffer_d> IndexMap(int width, int height) {
  auto map = std::make_unique<TPixelBuffer_d>();
  map->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      map->Data[static_cast<size_t>(y * width + x)] = static_cast<float>(x + 1000 * y);
    }
  }
  return map;
}

TEST(PixelBufferD, BicubicHitsSamplesExactlyAndWraps) {
  const auto map = IndexMap(8, 4);
  EXPECT_EQ(map->SampleBicubic(0.0, 0.0), 0.0) << "the first sample";
  // U = 1 reads column Width - 1, which is not column 0 although the grid wraps at Width.
  EXPECT_EQ(map->SampleBicubic(1.0, 0.0), 7.0);
  EXPECT_EQ(map->SampleBicubic(3.0 / 7.0, 2.0 / 3.0), 3.0 + 2000.0);
  // One full wrap in u lands one column early (the scale is Width - 1, the wrap Width).
  EXPECT_EQ(map->SampleBicubic(2.0, 0.0), map->Data[6]);
  // Between samples the value stays within the neighbourhood's range.
  const double between = map->SampleBicubic(3.5 / 7.0, 1.0 / 3.0);
  EXPECT_GT(between, 1003.0);
  EXPECT_LT(between, 1004.0);

  TPixelBuffer_d empty;
  EXPECT_EQ(empty.SampleBicubic(0.3, 0.7), 0.0);
}

TEST(PixelBufferD, SidesMustBePowersOfTwo) {
  TPixelBuffer_d map;
  map.SetSize(6, 4);
  EXPECT_TRUE(map.IsEmpty());
  map.SetSize(4, 2);
  EXPECT_EQ(map.Count, 8);
  EXPECT_EQ(map.LastIndex, 7);
}

class FactoryTest : public ::testing::Test {
protected:
  void TearDown() override { SetProgramVariant(ProgramVariant::kStandard); }

  static THeightMapFactory Make() {
    auto erosion = std::make_unique<TPixelBuffer_d>();
    erosion->SetSize(64, 64);
    for (size_t i = 0; i < erosion->Data.size(); ++i) {
      erosion->Data[i] = static_cast<float>((i * 2654435761u % 1000u) / 1000.0);
    }
    return THeightMapFactory(kPlanetSeed, std::move(erosion), TzoImage());
  }
};

TEST_F(FactoryTest, LeavesTheGeneratorSeededWithThePlanetSeed) {
  SetRandSeed(7);
  const THeightMapFactory factory = Make();
  EXPECT_EQ(RandSeed(), static_cast<uint32_t>(kPlanetSeed));
}

TEST_F(FactoryTest, SeaFloorIsFiveTimesTheContinentDeficit) {
  const THeightMapFactory factory = Make();
  int sea = 0;
  for (int i = 0; i < 200; ++i) {
    const Vector3f d = CubeFaceDirection(i % 6, std::sin(i * 1.3), std::cos(i * 0.7));
    const double continent =
        factory.NoiseExtra.SumOctaves(7, 2.0 * d.x, 2.0 * d.y, 2.0 * d.z) - 0.2;
    const double height = factory.TerrainHeight(d.x, d.y, d.z);
    if (continent < 0) {
      ++sea;
      EXPECT_DOUBLE_EQ(height, 5 * continent);
    } else {
      EXPECT_GE(height, 0.0) << "land is never below the water line's zero";
    }
  }
  EXPECT_GT(sea, 0);
  EXPECT_LT(sea, 200);
}

TEST_F(FactoryTest, UnknownFaceGivesTheCentreAndHeightMinusOne) {
  const THeightMapFactory factory = Make();
  const Vector3f d = CubeFaceDirection(9, 0.3, 0.4);
  EXPECT_EQ(d.x, 0.0f);
  EXPECT_EQ(d.y, 0.0f);
  EXPECT_EQ(d.z, 0.0f);
  EXPECT_EQ(factory.HeightOnFace(9, 0.3, 0.4), -1.0f);
}

TEST_F(FactoryTest, CubeFacesProjectOntoTheUnitSphere) {
  const struct {
    int face;
    Vector3f centre;
  } cases[] = {{0, {0, 0, 1}},  {1, {0, 0, -1}}, {2, {0, 1, 0}},
               {3, {0, -1, 0}}, {4, {1, 0, 0}},  {5, {-1, 0, 0}}};
  for (const auto& c : cases) {
    const Vector3f centre = CubeFaceDirection(c.face, 0, 0);
    EXPECT_EQ(centre.x, c.centre.x);
    EXPECT_EQ(centre.y, c.centre.y);
    EXPECT_EQ(centre.z, c.centre.z);
    const Vector3f corner = CubeFaceDirection(c.face, 1, -1);
    EXPECT_NEAR(std::sqrt(corner.x * corner.x + corner.y * corner.y + corner.z * corner.z), 1.0,
                1e-6);
  }
}

TEST_F(FactoryTest, PolarAxisUsesTheMapCentre) {
  const THeightMapFactory factory = Make();
  // At the poles lon = lat = 0.5 whatever the sign of y; the continent mask differs.
  const double north = factory.TerrainHeight(0, 1, 0);
  const double m = factory.NoiseExtra.SumOctaves(7, 0, 2, 0) - 0.2;
  if (m >= 0) {
    EXPECT_GE(north, 0.0);
  } else {
    EXPECT_DOUBLE_EQ(north, 5 * m);
  }
  EXPECT_TRUE(std::isfinite(north));
}

TEST_F(FactoryTest, DetailVariantAddsFullDetailEverywhereOnLand) {
  const THeightMapFactory standard = Make();
  SetProgramVariant(ProgramVariant::kDetail);
  const THeightMapFactory detail = Make();
  int differing = 0;
  for (int i = 0; i < 300; ++i) {
    const Vector3f d = CubeFaceDirection(i % 6, std::sin(i * 0.9), std::cos(i * 1.7));
    const double a = standard.TerrainHeight(d.x, d.y, d.z);
    const double b = detail.TerrainHeight(d.x, d.y, d.z);
    if (a < 0) {
      EXPECT_EQ(a, b) << "the sea floor has no detail in either variant";
    } else if (a != b) {
      ++differing;
      EXPECT_GE(b, a) << "full detail only adds";
    }
  }
  EXPECT_GT(differing, 0);
}

TEST_F(FactoryTest, MissingErosionMapReadsAsZero) {
  const THeightMapFactory factory(kPlanetSeed, nullptr, TzoImage());
  EXPECT_EQ(factory.ErosionSampler, nullptr);
  for (int i = 0; i < 50; ++i) {
    const Vector3f d = CubeFaceDirection(i % 6, std::sin(i * 0.9), std::cos(i * 1.7));
    const double height = factory.TerrainHeight(d.x, d.y, d.z);
    const double m = factory.NoiseExtra.SumOctaves(7, 2.0 * d.x, 2.0 * d.y, 2.0 * d.z) - 0.2;
    if (m >= 0) {
      // Only the inverted octave survives: 0.1 * (1 - 0) times the continent mask.
      EXPECT_NEAR(height, 0.1 * std::min(16 * m, 1.0), 1e-12);
    }
  }
}

// A colour map whose pixel (col, row) holds (blue, green, red) = (col, row % 256, row / 8).
TzoImage RampColorMap() {
  TzoImage image;
  image.SetPixelFormat(24);
  image.SetSize(256, 2048);
  for (int row = 0; row < 2048; ++row) {
    for (int col = 0; col < 256; ++col) {
      uint8_t* p = image.PixelAt(col, row);
      p[0] = static_cast<uint8_t>(col);
      p[1] = static_cast<uint8_t>(row % 256);
      p[2] = static_cast<uint8_t>(row / 8);
    }
  }
  return image;
}

TEST(SurfaceColor, RowsByHeightColumnsByLatitude) {
  const TzoImage map = RampColorMap();
  uint8_t rgb[3];
  ColorMapLookup(map, {0, 0, 1}, 0.0f, rgb);
  EXPECT_EQ(rgb[0], 0); // red: row 0
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 0); // blue: column 0 at the equator

  // A quarter of the way from row 1000 to 1001, half way from column 127 to 128.
  ColorMapLookup(map, {0, 0.5f, 0}, static_cast<float>(1000.25 / 2047.0), rgb);
  EXPECT_EQ(rgb[0], 1000 / 8);
  EXPECT_EQ(rgb[1], 1000 % 256);
  EXPECT_EQ(rgb[2], 127);

  // Heights of 1 and above read rows 2046 and 2047 with the fraction of height * 2047.
  ColorMapLookup(map, {0, -1, 0}, 1.0f, rgb);
  EXPECT_EQ(rgb[0], 2046 / 8);
  EXPECT_EQ(rgb[1], 2046 % 256);
  EXPECT_EQ(rgb[2], 255) << "the pole's column, with no column beyond it";
  ColorMapLookup(map, {0, 0, 1}, 1.5f, rgb);
  EXPECT_EQ(rgb[1], 254) << "254 + (255 - 254) * 0.5, the fraction of 3070.5, truncated";
}

TEST(SurfaceColor, EmptyOrTinyMapsNeverReadOutside) {
  uint8_t rgb[3] = {9, 9, 9};
  ColorMapLookup(TzoImage(), {0, 1, 0}, 0.7f, rgb);
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
  TzoImage tiny;
  tiny.SetPixelFormat(24);
  tiny.SetSize(1, 1);
  tiny.PixelAt(0, 0)[2] = 200;
  ColorMapLookup(tiny, {0, 0.9f, 0}, 1.7f, rgb);
  EXPECT_EQ(rgb[0], 200);
}

} // namespace
} // namespace meridia
