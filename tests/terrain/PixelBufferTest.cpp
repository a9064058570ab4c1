#include "terrain/PixelBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace meridia {
namespace {

TEST(PixelBuffer, AllocateSizesTheBlockFromTheType) {
  // Element size for 3 channels; 64 spare bytes beyond the samples, all there is for an unknown
  // type.
  const uint32_t cases[][2] = {
      {kGlUnsignedByte, 3},         {kGlShort, 6}, {kGlFloat, 12}, {kGlDouble, 24},
      {0x1407 /* GL_2_BYTES */, 0}, {kGlRgba, 0}};
  for (const auto& [type, element_size] : cases) {
    CPixelBuffer buffer;
    buffer.Allocate(5, 3, 2, 3, kGlRgba, type);
    EXPECT_EQ(buffer.ElementSize, static_cast<int32_t>(element_size)) << type;
    EXPECT_EQ(buffer.Data.size(), 30 * element_size + 64) << type;
    EXPECT_EQ(buffer.DataRef, buffer.Data.data());
  }
}

TEST(PixelBuffer, ImpossibleLayoutsAllocateNothing) {
  const int32_t big = 1 << 20;
  const int32_t cases[][4] = {
      {-1, 4, 1, 4}, {4, 4, 1, -4}, {65536, 65536, 1, 4}, {big, big, big, big}};
  for (const auto& c : cases) {
#ifdef NDEBUG
    CPixelBuffer buffer;
    buffer.Allocate(c[0], c[1], c[2], c[3], kGlRgba, kGlFloat);
    EXPECT_EQ(buffer.Width * buffer.Height * buffer.Depth * buffer.Channels, 0) << c[0];
    EXPECT_EQ(buffer.Data.size(), 64u) << c[0];
#else
    EXPECT_DEATH(CPixelBuffer().Allocate(c[0], c[1], c[2], c[3], kGlRgba, kGlFloat),
                 "C3DBuffer::Allocate");
#endif
  }
}

// 128 by 128, four channels: x squared, y squared, a plane, -x.
float Plane(float x, float y) {
  return 3.0f * x - 2.0f * y + 7.0f;
}

void FillTable(CPixelBuffer& table) {
  table.Allocate(128, 128, 1, 4, kGlRgba, kGlFloat);
  for (int32_t y = 0; y < 128; ++y) {
    for (int32_t x = 0; x < 128; ++x) {
      float* element = table.Floats() + (y * 128 + x) * 4;
      element[0] = static_cast<float>(x * x);
      element[1] = static_cast<float>(y * y);
      element[2] = Plane(static_cast<float>(x), static_cast<float>(y));
      element[3] = static_cast<float>(-x);
    }
  }
}

TEST(PixelBuffer, BilinearCornersAreExactAndTheBorderCellExtrapolates) {
  CPixelBuffer table;
  FillTable(table);
  float values[4];
  table.SampleBilinear(values, 0.0f, 0.0f);
  EXPECT_EQ(values[0], 0.0f);
  EXPECT_EQ(values[2], 7.0f);
  // The last cell with its far corner weighted exactly 1.
  table.SampleBilinear(values, 1.0f, 1.0f);
  EXPECT_EQ(values[0], 127.0f * 127.0f);
  EXPECT_EQ(values[1], 127.0f * 127.0f);
  EXPECT_EQ(values[3], -127.0f);
  table.SampleBilinear(values, 63.5f / 127.0f, 0.25f);
  EXPECT_NEAR(values[0], (63.0f * 63.0f + 64.0f * 64.0f) / 2.0f, 1e-2f);
  // fx = 152.4: cell 126 with tx = 26.4, so x squared follows the chord through 126 and 127.
  table.SampleBilinear(values, 1.2f, 0.0f);
  EXPECT_NEAR(values[0], 126.0f * 126.0f + 26.4f * (127.0f * 127.0f - 126.0f * 126.0f), 0.5f);
  // A plane is reproduced wherever it is sampled.
  for (const auto& [u, v] : {std::pair{-0.5f, 0.3f}, {1.7f, -0.2f}, {2.0f, 2.0f}}) {
    table.SampleBilinear(values, u, v);
    EXPECT_NEAR(values[2], Plane(127.0f * u, 127.0f * v), 1e-2f) << u << ", " << v;
  }
  // Hostile coordinates stay inside the block (under AddressSanitizer).
  const float inf = std::numeric_limits<float>::infinity();
  for (const float coordinate : {std::nanf(""), inf, -inf, 1e30f, -1e30f, 3e9f}) {
    float along_u[4], along_v[4];
    table.SampleBilinear(along_u, coordinate, 0.5f);
    table.SampleBilinear(along_v, 0.5f, coordinate);
    if (std::isfinite(coordinate)) {
      EXPECT_TRUE(std::isfinite(along_u[0]) && std::isfinite(along_v[1])) << coordinate;
    }
  }
}

TEST(PixelBuffer, BuffersThatCannotBeInterpolatedSampleAsZero) {
  const struct {
    int32_t width, height;
    uint32_t data_type;
  } cases[] = {{1, 8, kGlFloat}, {8, 1, kGlFloat}, {8, 8, kGlUnsignedByte}};
  for (const auto& c : cases) {
    CPixelBuffer buffer;
    buffer.Allocate(c.width, c.height, 1, 2, kGlRgba, c.data_type);
    std::fill(buffer.Data.begin(), buffer.Data.end(), uint8_t{0x3f});
    float values[2] = {5.0f, 5.0f};
    buffer.SampleBilinear(values, 1.0f, 1.0f);
    EXPECT_EQ(values[0] + values[1], 0.0f) << c.width << " x " << c.height;
  }
}

} // namespace
} // namespace meridia
