#include "terrain/PatchTexels.h"

#include "engine/VectorGeometry.h"
#include "terrain/HeightMapFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace meridia {
namespace {

// A factory whose colour map is one colour everywhere: red 200, green 120, blue 40.
class PatchTexelsTest : public ::testing::Test {
protected:
  void SetUp() override {
    TzoImage colors;
    colors.SetPixelFormat(24);
    colors.SetSize(4, 4);
    for (size_t i = 0; i < colors.Data.size(); i += 3) {
      colors.Data[i] = 40;
      colors.Data[i + 1] = 120;
      colors.Data[i + 2] = 200;
    }
    factory_ = std::make_unique<THeightMapFactory>(kPlanetSeed, nullptr, std::move(colors));
    SetHeightMapFactory(factory_.get());
  }
  void TearDown() override { SetHeightMapFactory(nullptr); }

  // Samples facing +Z whose height rises by `rise` a row.
  static TPatchSamples Samples(double rise, double step) {
    TPatchSamples samples;
    for (int i = 0; i < kPatchSamples; ++i) {
      for (int j = 0; j < kPatchSamples; ++j) {
        samples.Heights[i][j] = 0.25 + rise * i;
        samples.Directions[i][j] = {0, 0, 1};
      }
    }
    samples.du = samples.dv = step;
    return samples;
  }

  std::unique_ptr<THeightMapFactory> factory_;
};

TEST_F(PatchTexelsTest, AFlatPatchIsScaledBy217Of256Everywhere) {
  TPatchTexels texels{};
  BuildPatchTexels(Samples(0, 1.0 / 60), texels);
  for (size_t t = 0; t < texels.size(); t += 3) {
    ASSERT_EQ(texels[t + 0], (200 * 217) >> 8) << t;
    ASSERT_EQ(texels[t + 1], (120 * 217) >> 8) << t;
    ASSERT_EQ(texels[t + 2], (40 * 217) >> 8) << t;
  }
}

TEST_F(PatchTexelsTest, LightScaleRunsFromBlackAwayFromTheLightTo254Facing) {
  const struct {
    Vector3f normal;
    int32_t scale;
  } cases[] = {{{0, 0, 1}, 217},
               {{1, 0, 0}, 127}, // perpendicular
               {Normalized3({0, -1, -1}), 0},
               {Normalized3({0, 1, 1}), 254},
               // Not unit length: the dot product is clamped to 255 before it is halved.
               {{0, 10, 10}, 254},
               {{0, -10, -10}, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(PatchLightScale(c.normal), c.scale) << c.normal.y << " " << c.normal.z;
  }
}

TEST_F(PatchTexelsTest, SlopesTiltTheNormalByTheHeightDifferencesAcrossTheTexel) {
  // A rise of 0.5 a row with du = dv = 0.01: the tangents are (1, 0, 1) and (0, 1, 0)
  // (differenced over two rows), so N = (-1, 0, 1) / √2 and L · N = 1/2.
  TPatchTexels texels{};
  BuildPatchTexels(Samples(0.5, 0.01), texels);
  const int32_t s = 127 / 2 + 127;
  EXPECT_EQ(PatchLightScale(Normalized3({-1, 0, 1})), s);
  EXPECT_EQ(texels[0], (200 * s) >> 8);
  EXPECT_EQ(texels[(15 * 16 + 15) * 3 + 1], (120 * s) >> 8);
}

TEST_F(PatchTexelsTest, TexelRowsFollowTheSampleRowsAndColumnsTheSampleColumns) {
  // Colour-map pixel (col, row) holds (blue, green, red) = (255 - row / 8, col, row / 8).
  TzoImage colors;
  colors.SetPixelFormat(24);
  colors.SetSize(256, 2048);
  for (int row = 0; row < 2048; ++row) {
    for (int col = 0; col < 256; ++col) {
      uint8_t* p = colors.PixelAt(col, row);
      p[0] = static_cast<uint8_t>(255 - row / 8);
      p[1] = static_cast<uint8_t>(col);
      p[2] = static_cast<uint8_t>(row / 8);
    }
  }
  factory_ = std::make_unique<THeightMapFactory>(kPlanetSeed, nullptr, std::move(colors));
  SetHeightMapFactory(factory_.get());

  // Heights climb 40 colour-map rows a sample row, from row 400 at row 0; latitudes climb 10
  // colour-map columns a sample column, from column 10 at column 0. Both land a quarter past
  // their row or column, whose neighbour holds the same red or one more green: truncated away.
  // With du = dv = a hundredth of the height difference over two rows, the normal is
  // (-1, 0, 1) / √2, so L · N = 1/2 and every byte is scaled by 127 / 2 + 127 = 190.
  TPatchSamples samples;
  for (int i = -1; i <= 16; ++i) {
    for (int j = -1; j <= 16; ++j) {
      samples.Heights[i + 1][j + 1] = (400 + 40 * i + 0.25) / 2047;
      const float y = static_cast<float>((10 + 10 * j + 0.25) / 255);
      samples.Directions[i + 1][j + 1] = {0, y, std::sqrt(1 - y * y)};
    }
  }
  samples.du = samples.dv = 0.8 / 2047;
  TPatchTexels texels{};
  BuildPatchTexels(samples, texels);
  for (int i = 0; i < 16; ++i) {
    for (int j = 0; j < 16; ++j) {
      const int red = (400 + 40 * i) / 8;
      const uint8_t* texel = &texels[static_cast<size_t>(i * 16 + j) * 3];
      ASSERT_EQ(texel[0], red * 190 >> 8) << i << ", " << j;
      ASSERT_EQ(texel[1], (10 + 10 * j) * 190 >> 8) << i << ", " << j;
      ASSERT_EQ(texel[2], (255 - red) * 190 >> 8) << i << ", " << j;
    }
  }
}

} // namespace
} // namespace meridia
