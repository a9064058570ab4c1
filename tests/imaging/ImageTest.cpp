#include "imaging/Image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace meridia {
namespace {

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

TEST(ImageSize, FieldsRowsAndResizeKeepExistingBytes) {
  TzoImage image;
  EXPECT_EQ(image.BytesPerPixel, 1);
  ExpectEmpty(image);

  image.SetPixelFormat(24);
  image.SetSize(4, 3);
  EXPECT_EQ(image.RowSize, 12);
  EXPECT_EQ(image.PixelCount, 12);
  EXPECT_EQ(image.DataSize, 36);
  ASSERT_EQ(image.Data.size(), 36u);
  ASSERT_EQ(image.Rows.size(), 3u);
  EXPECT_EQ(image.RowAt(2), image.Data.data() + 24);

  std::iota(image.Data.begin(), image.Data.end(), uint8_t{1});
  image.SetHeight(1);
  EXPECT_EQ(image.Width, 4);
  EXPECT_EQ(image.DataSize, 12);
  image.SetWidth(8);
  EXPECT_EQ(image.Height, 1);
  ASSERT_EQ(image.Data.size(), 24u);
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(image.Data[i], i + 1) << "byte " << i << " survives shrinking and growing";
  }
  for (size_t i = 12; i < 24; ++i) {
    EXPECT_EQ(image.Data[i], 0) << "byte " << i << " is new";
  }
}

TEST(ImageSize, PixelFormatTableAndWideningKeepsBytes) {
  const struct {
    int32_t format, bytes_per_pixel;
  } table[] = {{8, 1}, {24, 3}, {32, 4}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {16, 16}, {0, 0}};
  for (const auto& row : table) {
    TzoImage image;
    image.SetSize(2, 2);
    image.SetPixelFormat(row.format);
    EXPECT_EQ(image.BytesPerPixel, row.bytes_per_pixel) << "format " << row.format;
    EXPECT_EQ(image.DataSize, 4 * row.bytes_per_pixel) << "format " << row.format;
    EXPECT_EQ(image.Width, 2) << "format " << row.format;
  }

  // Widening converts nothing: the n old bytes stay first and 2n zeros follow.
  TzoImage grey = Numbered(3, 2, 1);
  grey.SetPixelFormat(3);
  const std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(grey.Data, expected);
  EXPECT_EQ(grey.RowSize, 9);
}

TEST(ImageSize, HostileSizesLeaveTheImageEmpty) {
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

TEST(ImageAddressing, PixelAtRowAtAndCopies) {
  TzoImage image = Numbered(3, 2, 4);
  EXPECT_EQ(image.PixelAt(0, 0), image.Data.data());
  EXPECT_EQ(*image.PixelAt(2, 1), 1 + (2 + 1 * 3) * 4);
  EXPECT_EQ(image.RowAt(1), image.PixelAt(0, 1));

  // A copy addresses its own bytes, never the original's.
  const TzoImage copy = image;
  EXPECT_EQ(copy.RowAt(1), copy.Data.data() + 12);
  image = TzoImage();
  EXPECT_EQ(*copy.PixelAt(2, 1), 1 + (2 + 1 * 3) * 4);
}

TEST(ImageOrientation, MirrorRowsMovesWholePixels) {
  TzoImage image = Numbered(3, 2, 2);
  image.MirrorRows();
  const std::vector<uint8_t> expected = {5, 6, 3, 4, 1, 2, 11, 12, 9, 10, 7, 8};
  EXPECT_EQ(image.Data, expected);

  TzoImage even = Numbered(2, 1, 1);
  even.MirrorRows();
  EXPECT_EQ(even.Data, (std::vector<uint8_t>{2, 1}));

  TzoImage narrow = Numbered(1, 3, 3);
  const std::vector<uint8_t> before = narrow.Data;
  narrow.MirrorRows();
  EXPECT_EQ(narrow.Data, before);
}

TEST(ImageOrientation, FlipVerticalSwapsRowsAroundTheMiddle) {
  const struct {
    int32_t height;
    std::vector<uint8_t> expected; // Rows of 2 one-byte pixels, numbered from 1.
  } table[] = {
      {0, {}},
      {1, {1, 2}},
      {2, {3, 4, 1, 2}},
      {3, {5, 6, 3, 4, 1, 2}},
      {4, {7, 8, 5, 6, 3, 4, 1, 2}},
  };
  for (const auto& row : table) {
    TzoImage image = Numbered(2, row.height, 1);
    image.FlipVertical();
    EXPECT_EQ(image.Data, row.expected) << "height " << row.height;
  }
}

} // namespace
} // namespace meridia
