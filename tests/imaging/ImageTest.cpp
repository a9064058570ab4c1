#include "imaging/Image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace meridia {
namespace {

using Bytes = std::vector<uint8_t>;

// An image of the given shape whose bytes count up from 1, so every byte is told apart.
TzoImage Numbered(int32_t w, int32_t h, int32_t bytes_per_pixel) {
  TzoImage image;
  image.SetPixelFormat(bytes_per_pixel);
  image.SetSize(w, h);
  std::iota(image.Data.begin(), image.Data.end(), uint8_t{1});
  return image;
}

void ExpectEmpty(const TzoImage& image) {
  EXPECT_EQ(image.Width, 0);
  EXPECT_EQ(image.Height, 0);
  EXPECT_EQ(image.PixelCount, 0);
  EXPECT_EQ(image.RowSize, 0);
  EXPECT_EQ(image.DataSize, 0);
  EXPECT_TRUE(image.Data.empty());
  EXPECT_TRUE(image.Rows.empty());
}

TEST(Image, SizesFormatsAndAddressing) {
  TzoImage image = Numbered(4, 3, 24);
  EXPECT_EQ(image.RowSize, 12);
  EXPECT_EQ(image.PixelCount, 12);
  ASSERT_EQ(image.Rows.size(), 3u);
  EXPECT_EQ(image.RowAt(2), image.Data.data() + 24);
  EXPECT_EQ(*image.PixelAt(3, 1), 1 + (3 + 1 * 4) * 3);
  // Resizing keeps the bytes that remain and zeroes the new ones.
  image.SetHeight(1);
  image.SetWidth(8);
  Bytes expected(24, 0);
  std::iota(expected.begin(), expected.begin() + 12, uint8_t{1});
  EXPECT_EQ(image.Data, expected);

  // A copy addresses its own bytes, never the original's.
  TzoImage original = Numbered(3, 2, 4);
  const TzoImage copy = original;
  original = TzoImage();
  EXPECT_EQ(copy.RowAt(1), copy.Data.data() + 12);
  EXPECT_EQ(*copy.PixelAt(2, 1), 1 + (2 + 1 * 3) * 4);

  for (const auto& [format, bytes_per_pixel] :
       {std::pair{8, 1}, {24, 3}, {32, 4}, {2, 2}, {16, 16}, {0, 0}}) {
    TzoImage formatted;
    formatted.SetSize(2, 2);
    formatted.SetPixelFormat(format);
    EXPECT_EQ(formatted.BytesPerPixel, bytes_per_pixel) << "format " << format;
    EXPECT_EQ(formatted.DataSize, 4 * bytes_per_pixel) << "format " << format;
  }
  // Widening converts nothing: the n old bytes stay first and 2n zeros follow.
  TzoImage grey = Numbered(3, 2, 1);
  grey.SetPixelFormat(3);
  EXPECT_EQ(grey.Data, (Bytes{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(grey.RowSize, 9);
}

TEST(Image, HostileSizesLeaveTheImageEmpty) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const struct {
    const char* name;
    int32_t w, h, bytes_per_pixel;
  } table[] = {
      {"negative width", -1, 4, 1},
      {"negative height", 4, -1, 1},
      {"both negative (positive product)", -4, -4, 1},
      {"4 GiB of bytes", 65536, 65536, 1},
      {"pixel count overflows 32 bits", kMax, kMax, 1},
      {"byte count overflows 64 bits", kMax, kMax, 64},
      {"one row over the limit", kMax, 1, 4},
      {"empty pixels but a huge row table", 0, 1 << 28, 1},
      {"zero-byte pixels beyond 32-bit counts", 1 << 20, 1 << 20, 0},
      {"just over 1 GiB", 1 << 15, (1 << 15) + 1, 1},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    TzoImage image = Numbered(2, 2, 3);
    image.SetPixelFormat(row.bytes_per_pixel);
    image.SetSize(row.w, row.h);
    ExpectEmpty(image);
    EXPECT_EQ(image.BytesPerPixel, row.bytes_per_pixel) << "only the size is refused";
  }
  for (const int32_t format : {-1, -24, 65, kMax}) {
    TzoImage image = Numbered(2, 2, 3);
    image.SetPixelFormat(format);
    ExpectEmpty(image);
    EXPECT_EQ(image.BytesPerPixel, 1) << "format " << format;
  }
}

TEST(Image, MirrorAndFlipMoveWholePixelsAndRows) {
  TzoImage image = Numbered(3, 2, 2);
  image.MirrorRows();
  EXPECT_EQ(image.Data, (Bytes{5, 6, 3, 4, 1, 2, 11, 12, 9, 10, 7, 8}));
  TzoImage even = Numbered(2, 1, 1);
  even.MirrorRows();
  EXPECT_EQ(even.Data, (Bytes{2, 1}));

  // Rows of 2 one-byte pixels, numbered from 1.
  const std::pair<int32_t, Bytes> flips[] = {
      {0, {}}, {1, {1, 2}}, {2, {3, 4, 1, 2}}, {3, {5, 6, 3, 4, 1, 2}}};
  for (const auto& [height, expected] : flips) {
    TzoImage flipped = Numbered(2, height, 1);
    flipped.FlipVertical();
    EXPECT_EQ(flipped.Data, expected) << "height " << height;
  }
}

} // namespace
} // namespace meridia
