#include "ColorMapDesign.h"

#include "imaging/Image.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

namespace meridia::cmapgen {
namespace {

constexpr int kLastRow = kColorMapHeight - 1;
constexpr int kLastColumn = kColorMapWidth - 1;

int MinChannel(const Color& c) {
  return std::min({c.Red, c.Green, c.Blue});
}

int MaxChannel(const Color& c) {
  return std::max({c.Red, c.Green, c.Blue});
}

TEST(ColorMap, WrittenPictureReadsBackAsTheDesign) {
  testing::TemporaryFolder folder;
  const TTGAImage picture = BuildColorMap();
  EXPECT_EQ(picture.Header.ImageType, 2);
  EXPECT_EQ(picture.Header.ImageDescriptor, 0) << "bottom-left origin";
  ASSERT_TRUE(picture.SaveToFile(folder / "cmap_1.tga"));
  TzoImage image;
  ASSERT_TRUE(image.LoadTGA(folder / "cmap_1.tga"));
  ASSERT_EQ(image.Width, kColorMapWidth);
  ASSERT_EQ(image.Height, kColorMapHeight);
  ASSERT_EQ(image.BytesPerPixel, 3);
  for (const auto& [column, row] :
       {std::pair{0, 0}, {kLastColumn, 0}, {17, 1500}, {200, kLastRow}}) {
    const Color color = ColorMapPixel(column, row);
    const uint8_t* pixel = image.PixelAt(column, row);
    EXPECT_EQ(pixel[0], color.Blue) << column << "," << row;
    EXPECT_EQ(pixel[1], color.Green) << column << "," << row;
    EXPECT_EQ(pixel[2], color.Red) << column << "," << row;
  }
}

TEST(ColorMap, BandsWhereTheTerrainExpectsThem) {
  const struct {
    const char* name;
    int column, row;
    std::function<bool(const Color&)> holds;
  } table[] = {
      {"deep equatorial sea is blue", 0, 0,
       [](const Color& c) { return c.Blue > c.Green + 20 && c.Blue > c.Red + 40; }},
      {"shallow sea is blue-green", 0, 1020,
       [](const Color& c) { return c.Blue > c.Red + 40 && c.Green > c.Red + 40; }},
      {"beach is sandy", 0, 1026,
       [](const Color& c) { return c.Red > c.Blue + 40 && c.Green > c.Blue + 30; }},
      {"equatorial lowland is green", 10, 1100,
       [](const Color& c) { return c.Green > c.Red + 15 && c.Green > c.Blue + 40; }},
      {"equatorial forest is dark green", 10, 1330,
       [](const Color& c) { return c.Green > c.Red + 30 && MaxChannel(c) < 140; }},
      {"high ground is grey rock", 0, 1700,
       [](const Color& c) { return MaxChannel(c) - MinChannel(c) < 25 && MaxChannel(c) < 180; }},
      {"mountain tops are snow", 0, 1900, [](const Color& c) { return MinChannel(c) >= 225; }},
      {"polar shallow sea is ice", kLastColumn, 1000,
       [](const Color& c) { return MinChannel(c) >= 200; }},
      {"polar deep sea is ice", kLastColumn, 0,
       [](const Color& c) { return MinChannel(c) >= 190; }},
      {"polar lowland is snow", kLastColumn, 1150,
       [](const Color& c) { return MinChannel(c) >= 225; }},
      {"mid-latitude lowland is still green", 160, 1100,
       [](const Color& c) { return c.Green > c.Red && c.Green > c.Blue + 30; }},
  };
  for (const auto& row : table) {
    const Color c = ColorMapPixel(row.column, row.row);
    EXPECT_TRUE(row.holds(c)) << row.name << ": (" << int{c.Red} << ", " << int{c.Green} << ", "
                              << int{c.Blue} << ")";
  }

  for (int column = 0; column < kColorMapWidth; ++column) {
    for (int row = kLastRow - 8; row <= kLastRow; ++row) {
      ASSERT_GE(MinChannel(ColorMapPixel(column, row)), 240) << column << "," << row;
    }
    // Below the sea floor the reader extrapolates from rows 0 and 1; equal rows keep that exact.
    const Color zero = ColorMapPixel(column, 0);
    const Color one = ColorMapPixel(column, 1);
    ASSERT_TRUE(zero.Red == one.Red && zero.Green == one.Green && zero.Blue == one.Blue) << column;
  }
}

// The first snowy row above the water line, column by column: it comes down toward the pole.
TEST(ColorMap, SnowLineFallsTowardThePole) {
  const auto snow_row = [](int column) {
    for (int row = 1024; row < kColorMapHeight; ++row) {
      if (MinChannel(ColorMapPixel(column, row)) >= 225) {
        return row;
      }
    }
    return kColorMapHeight;
  };
  EXPECT_GE(snow_row(0), 1750);
  EXPECT_LE(snow_row(0), 1850);
  EXPECT_LE(snow_row(kLastColumn), 1100);
  int previous = snow_row(0);
  for (int column = 1; column < kColorMapWidth; ++column) {
    const int current = snow_row(column);
    EXPECT_LE(current, previous + 4) << "column " << column;
    previous = std::min(previous, current);
  }
}

// Sampled bilinearly, so no seams: neighbours differ little except across the water line,
// where the coast is meant to be crisp.
TEST(ColorMap, NeighboursDifferLittle) {
  const auto step = [](const Color& a, const Color& b) {
    return std::max(
        {std::abs(a.Red - b.Red), std::abs(a.Green - b.Green), std::abs(a.Blue - b.Blue)});
  };
  int worst_row_step = 0;
  int worst_column_step = 0;
  for (int row = 0; row < kColorMapHeight; ++row) {
    for (int column = 0; column < kColorMapWidth; ++column) {
      const Color here = ColorMapPixel(column, row);
      if (row + 1 < kColorMapHeight && row + 1 != 1024) {
        worst_row_step = std::max(worst_row_step, step(here, ColorMapPixel(column, row + 1)));
      }
      if (column + 1 < kColorMapWidth) {
        worst_column_step = std::max(worst_column_step, step(here, ColorMapPixel(column + 1, row)));
      }
    }
  }
  EXPECT_LE(worst_row_step, 12);
  // Steepest where the snow line sweeps down through the rows near the pole.
  EXPECT_LE(worst_column_step, 40);
}

} // namespace
} // namespace meridia::cmapgen
