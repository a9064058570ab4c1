#include "terrain/PixelBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace meridia {
namespace {

struct LayoutCase {
  const char* name;
  uint32_t data_type;
  int32_t channels;
  int32_t element_size;
};

const LayoutCase kLayouts[] = {
    {"bytes", kGlUnsignedByte, 3, 3},
    {"signed bytes", kGlByte, 1, 1},
    {"shorts", kGlShort, 2, 4},
    {"unsigned shorts", kGlUnsignedShort, 1, 2},
    {"ints", kGlInt, 1, 4},
    {"unsigned ints", kGlUnsignedInt, 2, 8},
    {"floats", kGlFloat, 4, 16},
    {"doubles", kGlDouble, 3, 24},
    {"GL_2_BYTES", 0x1407, 4, 0},
    {"no type", 0, 4, 0},
    {"a format, not a type", kGlRgba, 4, 0},
};

TEST(PixelBuffer, AllocateSizesTheBlockFromTheTypeAndLeavesSpareBytes) {
  for (const LayoutCase& layout : kLayouts) {
    CPixelBuffer buffer;
    buffer.Allocate(5, 3, 2, layout.channels, kGlRgba, layout.data_type);
    EXPECT_EQ(buffer.ElementSize, layout.element_size) << layout.name;
    // An unknown type leaves exactly the 64 spare bytes.
    EXPECT_EQ(buffer.Data.size(), static_cast<size_t>(5 * 3 * 2 * layout.element_size + 64))
        << layout.name;
    EXPECT_EQ(buffer.DataRef, buffer.Data.data()) << layout.name;
    EXPECT_EQ(buffer.Format, kGlRgba) << layout.name;
  }

  // Reallocating a used buffer hands back zeros.
  CPixelBuffer buffer;
  buffer.Allocate(4, 4, 1, 1, kGlRgba, kGlFloat);
  buffer.Floats()[5] = 3.0f;
  buffer.Allocate(4, 4, 1, 1, kGlRgba, kGlFloat);
  EXPECT_EQ(buffer.Floats()[5], 0.0f);
}

TEST(PixelBuffer, ImpossibleLayoutsAllocateNothing) {
  struct Case {
    const char* name;
    int32_t width, height, depth, channels;
  };
  const Case cases[] = {
      {"negative width", -1, 4, 1, 4},
      {"negative channels", 4, 4, 1, -4},
      {"beyond 2 GiB", 65536, 65536, 1, 4},
      {"each factor large", 1 << 20, 1 << 20, 1 << 20, 1 << 20},
  };
  for (const Case& c : cases) {
#ifdef NDEBUG
    CPixelBuffer buffer;
    buffer.Allocate(c.width, c.height, c.depth, c.channels, kGlRgba, kGlFloat);
    EXPECT_EQ(buffer.Width * buffer.Height * buffer.Depth * buffer.Channels, 0) << c.name;
    EXPECT_EQ(buffer.Data.size(), 64u) << c.name;
#else
    EXPECT_DEATH(
        {
          CPixelBuffer buffer;
          buffer.Allocate(c.width, c.height, c.depth, c.channels, kGlRgba, kGlFloat);
        },
        "C3DBuffer::Allocate")
        << c.name;
#endif
  }
}

// A 128 by 128 table whose channels differ: x squared, y squared, and two planes.
class Table : public ::testing::Test {
protected:
  void SetUp() override {
    table_.Allocate(kSize, kSize, 1, 4, kGlRgba, kGlFloat);
    for (int32_t y = 0; y < kSize; ++y) {
      for (int32_t x = 0; x < kSize; ++x) {
        float* element = table_.Floats() + (y * kSize + x) * 4;
        element[0] = static_cast<float>(x * x);
        element[1] = static_cast<float>(y * y);
        element[2] = Plane(static_cast<float>(x), static_cast<float>(y));
        element[3] = static_cast<float>(-x);
      }
    }
  }
  static float Plane(float x, float y) { return 3.0f * x - 2.0f * y + 7.0f; }
  const float* Element(int32_t x, int32_t y) const { return table_.Floats() + (y * kSize + x) * 4; }

  static constexpr int32_t kSize = 128;
  CPixelBuffer table_;
};

TEST_F(Table, TheCornersAreExactAndEachChannelIsInterpolatedOnItsOwn) {
  float values[4];
  table_.SampleBilinear(values, 0.0f, 0.0f);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(values[c], Element(0, 0)[c]) << c;
  }
  // The last cell with a weight of exactly 1 on its far corner.
  table_.SampleBilinear(values, 1.0f, 1.0f);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(values[c], Element(kSize - 1, kSize - 1)[c]) << c;
  }

  // Half-way between columns 63 and 64 of row 127 (v = 1).
  table_.SampleBilinear(values, 63.5f / 127.0f, 1.0f);
  EXPECT_NEAR(values[0], (63.0f * 63.0f + 64.0f * 64.0f) / 2.0f, 1e-2f);
  EXPECT_NEAR(values[1], 127.0f * 127.0f, 1e-2f);
  EXPECT_NEAR(values[2], Plane(63.5f, 127.0f), 1e-3f);
  EXPECT_NEAR(values[3], -63.5f, 1e-4f);
}

TEST_F(Table, OutsideTheGridTheBorderCellExtrapolates) {
  float values[4];
  // fx = 152.4: cell 126 with tx = 26.4, so x squared follows the chord through 126 and 127.
  table_.SampleBilinear(values, 1.2f, 0.0f);
  EXPECT_NEAR(values[0], 126.0f * 126.0f + 26.4f * (127.0f * 127.0f - 126.0f * 126.0f), 0.5f);
  EXPECT_NEAR(values[3], -152.4f, 1e-3f);
  // A plane is reproduced exactly wherever it is sampled.
  for (const auto& [u, v] : {std::pair{-0.5f, 0.3f}, {1.7f, -0.2f}, {2.0f, 2.0f}}) {
    table_.SampleBilinear(values, u, v);
    EXPECT_NEAR(values[2], Plane(127.0f * u, 127.0f * v), 1e-2f) << u << ", " << v;
  }
}

TEST_F(Table, HostileCoordinatesStayInsideTheBlock) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const float coordinate : {nan, inf, -inf, 1e30f, -1e30f, 3e9f}) {
    float along_u[4];
    float along_v[4];
    table_.SampleBilinear(along_u, coordinate, 0.5f);
    table_.SampleBilinear(along_v, 0.5f, coordinate);
    // A finite coordinate extrapolates to a finite value, however far out.
    if (std::isfinite(coordinate)) {
      EXPECT_TRUE(std::isfinite(along_u[0])) << coordinate;
      EXPECT_TRUE(std::isfinite(along_v[1])) << coordinate;
    }
  }
}

TEST(PixelBuffer, BuffersThatCannotBeInterpolatedSampleAsZero) {
  struct Case {
    const char* name;
    int32_t width, height;
    uint32_t data_type;
  };
  const Case cases[] = {
      {"one column", 1, 8, kGlFloat},
      {"one row", 8, 1, kGlFloat},
      {"bytes", 8, 8, kGlUnsignedByte},
      {"empty", 0, 0, kGlFloat},
  };
  for (const Case& c : cases) {
    CPixelBuffer buffer;
    buffer.Allocate(c.width, c.height, 1, 2, kGlRgba, c.data_type);
    std::fill(buffer.Data.begin(), buffer.Data.end(), uint8_t{0x3f});
    float values[2] = {5.0f, 5.0f};
    buffer.SampleBilinear(values, 1.0f, 1.0f);
    EXPECT_EQ(values[0], 0.0f) << c.name;
    EXPECT_EQ(values[1], 0.0f) << c.name;
  }
}

} // namespace
} // namespace meridia
