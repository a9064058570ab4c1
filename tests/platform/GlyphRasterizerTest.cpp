// The system font as GDI would measure and draw it, on the faces fontconfig has installed.
#include "platform/GlyphRasterizer.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace meridia::platform {
namespace {

struct Raster {
  explicit Raster(int32_t w, int32_t h, uint8_t fill = 0)
      : bytes(static_cast<size_t>(w) * h * 3, fill), view{bytes.data(), w, h, size_t(w) * 3} {}
  const uint8_t* At(int32_t x, int32_t y) const { return &bytes[(size_t(y) * view.width + x) * 3]; }
  std::vector<uint8_t> bytes;
  Bitmap24View view;
};

TEST(GlyphRasterizer, PointSizesBecomeGdiEmHeightsAndExtentsAddAdvances) {
  GlyphRasterizer font;
  EXPECT_EQ(font.GetTextExtent(L"abc").cx, 0); // no face: nothing measures
  for (const auto& [family, points, em] :
       {std::tuple{"Arial", 12, 16}, {"No Such Family Anywhere", 10, 13}, {"Arial", 8, 11}}) {
    ASSERT_TRUE(font.SetFont(family, points)) << family; // unknown families fall back
    EXPECT_EQ(font.EmPixels(), em) << family << " " << points;
  }
  const TextExtent a = font.GetTextExtent(L"a");
  const TextExtent ab = font.GetTextExtent(L"ab");
  EXPECT_EQ(ab.cx, a.cx + font.GetTextExtent(L"b").cx);
  EXPECT_EQ(a.cy, font.Ascent() + font.Descent());
  EXPECT_EQ(ab.cy, a.cy);
  EXPECT_EQ(font.GetTextExtent(L"").cy, 0);

  // Fitting the line box only grows it: a capital with a caron stands taller than a capital,
  // "g" reaches below the baseline.
  const int32_t ascent = font.Ascent();
  const int32_t descent = font.Descent();
  font.FitLineBox(L"x");
  EXPECT_EQ(font.Ascent(), ascent);
  EXPECT_EQ(font.Descent(), descent);
  font.FitLineBox(L"\u0160g");
  EXPECT_GE(font.Ascent(), ascent);
  EXPECT_GE(font.Descent(), 2);

  if (font.FaceFamily() == "Liberation Sans" || font.FaceFamily() == "Arial") {
    // Arial's advances at an 11-pixel em.
    for (const auto& [text, advance] : {std::pair{L" ", 3}, {L"a", 6}, {L"W", 10}, {L"i", 2}}) {
      EXPECT_EQ(font.GetTextExtent(text).cx, advance);
    }
  }
  EXPECT_FALSE(font.SetFont("Arial", 0));
  EXPECT_FALSE(font.HasFace());
}

TEST(GlyphRasterizer, DrawsCoverageInTheColourOverTheBackground) {
  GlyphRasterizer font;
  ASSERT_TRUE(font.SetFont("Arial", 20));
  Raster raster(60, 40, 0x40);
  // Red (0x0000FF in GDI's order), on a grey raster.
  font.DrawText(L"H", 10, 5, 0x0000FF, raster.view);
  int full = 0;
  int partial = 0;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 60; ++x) {
      const uint8_t* p = raster.At(x, y);
      EXPECT_EQ(p[0], p[1]) << "blue and green stay equal for a red glyph";
      EXPECT_LE(p[0], 0x40) << "blue only loses to red";
      EXPECT_GE(p[2], 0x40);
      if (p[2] == 0xFF && p[0] == 0) {
        ++full;
      } else if (p[2] != 0x40) {
        ++partial;
        // A blend: red rises exactly as much as the others fall, within rounding.
        EXPECT_NEAR((p[2] - 0x40) * 0x40, (0x40 - p[0]) * (0xFF - 0x40), 0xFF);
      }
      if (x < 10 || y < 5) {
        EXPECT_EQ(p[2], 0x40) << "ink left of or above the text's cell at " << x << "," << y;
      }
    }
  }
  EXPECT_GT(full, 20); // the stems of an H at 27 pixels are solid
  EXPECT_GT(partial, 0);
}

TEST(GlyphRasterizer, DrawingAcrossTheEdgesStaysInsideTheRaster) {
  GlyphRasterizer font;
  ASSERT_TRUE(font.SetFont("Arial", 30));
  Raster raster(16, 16);
  for (const auto& [x, y] :
       std::vector<std::pair<int, int>>{{-20, -20}, {-8, 4}, {10, 10}, {4, -30}, {100, 100}}) {
    font.DrawText(L"Wg", x, y, 0xFFFFFF, raster.view);
  }
  font.DrawText(L"W", 0, 0, 0xFFFFFF, Bitmap24View{}); // no raster at all
  int lit = 0;
  for (uint8_t byte : raster.bytes) {
    lit += byte != 0;
  }
  EXPECT_GT(lit, 0);
}

} // namespace
} // namespace meridia::platform
