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
    for (int32_t i = 0; i < colors.PixelCount; ++i) {
      colors.Data[static_cast<size_t>(i) * 3 + 0] = 40;
      colors.Data[static_cast<size_t>(i) * 3 + 1] = 120;
      colors.Data[static_cast<size_t>(i) * 3 + 2] = 200;
    }
    factory_ = std::make_unique<THeightMapFactory>(kPlanetSeed, nullptr, std::move(colors));
    SetHeightMapFactory(factory_.get());
  }
  void TearDown() override { SetHeightMapFactory(nullptr); }

  static TPatchSamples Flat(double height) {
    TPatchSamples samples;
    for (int i = 0; i < kPatchSamples; ++i) {
      for (int j = 0; j < kPatchSamples; ++j) {
        samples.Heights[i][j] = height;
        samples.Directions[i][j] = {0, 0, 1};
      }
    }
    samples.du = samples.dv = 1.0 / 60;
    return samples;
  }

  std::unique_ptr<THeightMapFactory> factory_;
};

TEST_F(PatchTexelsTest, AFlatPatchIsScaledBy217Of256Everywhere) {
  TPatchTexels texels{};
  BuildPatchTexels(Flat(0.25), texels);
  for (size_t t = 0; t < texels.size(); t += 3) {
    ASSERT_EQ(texels[t + 0], (200 * 217) >> 8) << t;
    ASSERT_EQ(texels[t + 1], (120 * 217) >> 8) << t;
    ASSERT_EQ(texels[t + 2], (40 * 217) >> 8) << t;
  }
}

TEST_F(PatchTexelsTest, LightScaleRunsFromBlackAwayFromTheLightTo254Facing) {
  EXPECT_EQ(PatchLightScale({0, 0, 1}), 217);
  EXPECT_EQ(PatchLightScale({1, 0, 0}), 127) << "perpendicular";
  EXPECT_EQ(PatchLightScale(Normalized3({0, -1, -1})), 0) << "away from the light";
  EXPECT_EQ(PatchLightScale(Normalized3({0, 1, 1})), 254);
  // Not unit length: the dot product is clamped to 255 before it is halved.
  EXPECT_EQ(PatchLightScale({0, 10, 10}), 254);
  EXPECT_EQ(PatchLightScale({0, -10, -10}), 0);
}

TEST_F(PatchTexelsTest, SlopesTiltTheNormalByTheHeightDifferencesAcrossTheTexel) {
  // Heights rise along the rows: with du = dv = 0.01 the tangents are (1, 0, 1) and (0, 1, 0)
  // (a rise of 0.5 a row, differenced over two rows), so N = (-1, 0, 1) / √2 and L · N = 1/2.
  TPatchSamples samples = Flat(0);
  samples.du = samples.dv = 0.01;
  for (int i = 0; i < kPatchSamples; ++i) {
    for (int j = 0; j < kPatchSamples; ++j) {
      samples.Heights[i][j] = 0.5 * i;
    }
  }
  TPatchTexels texels{};
  BuildPatchTexels(samples, texels);
  const int32_t s = PatchLightScale(Normalized3({-1, 0, 1}));
  EXPECT_EQ(s, 127 / 2 + 127);
  EXPECT_EQ(texels[0], (200 * s) >> 8);
  EXPECT_EQ(texels[(15 * 16 + 15) * 3 + 1], (120 * s) >> 8);
}

} // namespace
} // namespace meridia
