// The glyph grid, measured with made-up metrics where the arithmetic matters and with the system
// font where only the shape of the result does; the shadow passes on hand-made pixels.
#include "imaging/FontGenerator.h"

#include "engine/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace meridia {
namespace {

// Every character code c measures (c % 7 + 3) by 12; the blank measures 4.
platform::TextExtent FakeExtent(std::wstring_view text) {
  int32_t cx = 0;
  for (wchar_t c : text) {
    cx += c == L' ' ? 4 : static_cast<int32_t>(c % 7) + 3;
  }
  return {cx, 12};
}

wchar_t AnsiToWideChar(uint8_t code) {
  const char byte = static_cast<char>(code);
  return AnsiToWide(std::string_view(&byte, 1))[0];
}

FontBitmap Filled(int32_t w, int32_t h, std::initializer_list<uint8_t> first_bytes) {
  FontBitmap bitmap(w, h);
  size_t i = 0;
  for (uint8_t value : first_bytes) {
    bitmap.Pixels[i * 3] = bitmap.Pixels[i * 3 + 1] = bitmap.Pixels[i * 3 + 2] = value;
    ++i;
  }
  return bitmap;
}

TEST(FontGenerator, MeasuresGlyphsAndFitsCellsToTheWidest) {
  TFontGenerator padded;
  padded.ExtraWidth = 1;
  padded.PadX = 2;
  padded.PadY = 3;
  padded.ExtraSpacing = 5;
  padded.RepairRange();
  padded.Measure(FakeExtent);
  EXPECT_EQ(padded.SpaceWidth, 4 + 5);
  const TGlyph& minus = padded.Glyphs['-' - 32]; // measures 6 by 12
  EXPECT_FLOAT_EQ(minus.Width, 6 + 1 + 2 + 2);
  EXPECT_FLOAT_EQ(minus.Height, 12 + 3 + 2);
  EXPECT_FLOAT_EQ(minus.Advance, 6 + 0.5f); // a tenth of the extra spacing
  EXPECT_EQ(padded.MaxGlyphWidth, 9 + 1 + 2 + 2);

  TFontGenerator g;
  g.RepairRange();
  g.Measure(FakeExtent);
  g.FitCells();
  EXPECT_EQ(g.CellWidth, 9 + 2);
  EXPECT_EQ(g.CellHeight, 14);
  EXPECT_EQ(g.Columns, 511 / 11);
  g.Measure(FakeExtent);
  // The second measure lays the glyphs out in the fitted grid, none overlapping the next cell.
  for (size_t k = 0; k < g.Glyphs.size(); ++k) {
    const TGlyph& glyph = g.Glyphs[k];
    const auto column = static_cast<int32_t>(k) % g.Columns;
    const auto row = static_cast<int32_t>(k) / g.Columns;
    EXPECT_FLOAT_EQ(glyph.Left * 512, static_cast<float>(column * 11 + 1)) << k;
    EXPECT_FLOAT_EQ(glyph.Top * 512, static_cast<float>(row * 14)) << k;
    EXPECT_LE(glyph.Right * 512, static_cast<float>((column + 1) * 11 + 1)) << k;
  }
  // A cell wider than the atlas still leaves one column rather than none.
  for (int32_t widest : {600, 0}) {
    g.MaxGlyphWidth = widest;
    g.FitCells();
    EXPECT_EQ(g.Columns, 1) << widest;
  }
}

TEST(FontGenerator, RangeRepairAlwaysLeavesAUsableRange) {
  struct Case {
    int32_t first, last, want_first, want_last;
  };
  const Case cases[] = {
      {32, 255, 32, 255}, {40, 30, 40, 41}, {0, 300, 0, 255},     {300, 10, 254, 255},
      {-5, 10, 0, 10},    {-5, -10, 0, 0},  {255, 255, 255, 255},
  };
  for (const Case& c : cases) {
    TFontGenerator g;
    g.FirstChar = c.first;
    g.LastChar = c.last;
    g.RepairRange();
    EXPECT_EQ(g.FirstChar, c.want_first) << c.first << ".." << c.last;
    EXPECT_EQ(g.LastChar, c.want_last) << c.first << ".." << c.last;
    EXPECT_EQ(g.Glyphs.size(), static_cast<size_t>(g.LastChar - g.FirstChar + 1));
  }
}

TEST(FontGenerator, RendersIntoTheWholeAtlasWhateverTheSize) {
  for (int32_t size : {8, 30}) {
    TFontGenerator g;
    g.SetFont("Arial", size);
    g.TextColor = 0x00FF0000; // blue
    g.BackColor = 0x00000080; // dark red
    const FontBitmap bitmap = g.RenderGlyphs();
    EXPECT_EQ(bitmap.Width, 512);
    EXPECT_EQ(bitmap.Height, 512);
    // The background in blue, green, red order, and the glyphs in the text colour.
    const uint8_t* corner = bitmap.At(511, 511);
    EXPECT_EQ(std::vector<uint8_t>(corner, corner + 3), (std::vector<uint8_t>{0, 0, 0x80}));
    const TGlyph& w = g.Glyphs['W' - 32];
    int blue = 0;
    for (int32_t y = static_cast<int32_t>(w.Top * 512); y < w.Bottom * 512; ++y) {
      for (int32_t x = static_cast<int32_t>(w.Left * 512); x < w.Right * 512; ++x) {
        blue += bitmap.At(x, y)[0] == 0xFF && bitmap.At(x, y)[2] == 0;
      }
    }
    EXPECT_GT(blue, 0) << size;
  }
}

TEST(FontGenerator, GlyphInkStaysWithinItsRowOfBoxes) {
  TFontGenerator g;
  g.SetFont("Arial", 8);
  g.RenderGlyphs();
  std::vector<int> owner(512 * 512, -1);
  for (size_t k = 0; k < g.Glyphs.size(); ++k) {
    const TGlyph& glyph = g.Glyphs[k];
    ASSERT_LE(glyph.Right, 1.0f);
    ASSERT_LE(glyph.Bottom, 1.0f);
    for (int32_t y = static_cast<int32_t>(glyph.Top * 512); y < glyph.Bottom * 512; ++y) {
      for (int32_t x = static_cast<int32_t>(glyph.Left * 512); x < glyph.Right * 512; ++x) {
        int& cell = owner[static_cast<size_t>(y) * 512 + x];
        ASSERT_EQ(cell, -1) << "boxes " << cell << " and " << k << " overlap";
        cell = static_cast<int>(k);
      }
    }
  }
  // Each glyph drawn alone where RenderGlyphs draws it. Ink above or below its box would show
  // as dots over or under the glyphs of the neighbouring row whenever they are printed.
  constexpr int32_t kMargin = 16;
  for (size_t k = 0; k < g.Glyphs.size(); ++k) {
    const TGlyph& glyph = g.Glyphs[k];
    FontBitmap alone(64, 64);
    const wchar_t c = AnsiToWideChar(static_cast<uint8_t>(32 + k));
    g.Font().DrawText(std::wstring(1, c), kMargin, kMargin, kColorWhite, alone.View());
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 0; x < 64; ++x) {
        if (alone.At(x, y)[0] != 0) {
          EXPECT_GE(y - kMargin, 0) << "glyph " << k;
          EXPECT_LT(y - kMargin, glyph.Height) << "glyph " << k;
        }
      }
    }
  }
}

TEST(FontAlpha, TheShiftedCopyKeepsTheStripItLeavesUncovered) {
  // 3 by 3, values 1..9 row by row; moved by one pixel right and down.
  FontBitmap bitmap = Filled(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  DrawShiftedCopy(bitmap, 1);
  EXPECT_EQ(bitmap.Pixels, Filled(3, 3, {1, 2, 3, 4, 1, 2, 7, 4, 5}).Pixels);
}

TEST(FontAlpha, TheBlurReadsPixelsItHasAlreadyBlurred) {
  // 3 by 1: 90, 0, 0. An independent blur would give 45, 30, 0; in place the second pixel sees
  // the new 45 and the third the new 15.
  FontBitmap row = Filled(3, 1, {90, 0, 0});
  BlurInPlace(row, 1, 100);
  // The last is (15 + 0) / 2 truncated.
  EXPECT_EQ(row.Pixels, (std::vector<uint8_t>{45, 45, 45, 15, 15, 15, 7, 7, 7}));

  // At 50 percent each mean is scaled and rounded half to even before later pixels read it:
  // 22.5 gives 22; (22 + 0 + 0) / 3 = 7, scaled 3.5, gives 4; (4 + 0) / 2 = 2, scaled 1.
  FontBitmap dim = Filled(3, 1, {90, 0, 0});
  BlurInPlace(dim, 1, 50);
  EXPECT_EQ(dim.Pixels, (std::vector<uint8_t>{22, 22, 22, 4, 4, 4, 1, 1, 1}));
}

TEST(FontAlpha, CombiningLaysTheGlyphOverItsShadow) {
  struct Case {
    uint8_t g0, g1, g2, s0, s1, want;
  };
  const Case cases[] = {
      {0, 0, 0, 77, 77, 77},          // no glyph: the shadow stays
      {1, 1, 1, 77, 77, 77},          // 1/255 is below the threshold
      {255, 255, 255, 40, 40, 255},   // a full glyph covers its shadow
      {128, 128, 128, 200, 200, 200}, // grey: the larger of glyph and shadow, then mixed
      {2, 2, 2, 0, 255, 2},           // grey, shadow brighter: 0 + 2/255 * 255
      {51, 51, 51, 100, 0, 90},       // grey, glyph brighter: 0.8 * 100 + 0.2 * 51 = 90.2
      {200, 0, 100, 10, 50, 159},     // coloured, first byte brightest: t = g0, 159.02
      {100, 0, 50, 10, 150, 65},      // coloured, shadow brightest: t = s1, 64.9
      {100, 0, 150, 10, 50, 65},      // coloured, third byte brightest: t = g2, 64.9
  };
  for (const Case& c : cases) {
    FontBitmap glyphs(1, 1);
    glyphs.Pixels = {c.g0, c.g1, c.g2};
    FontBitmap shadow(1, 1);
    shadow.Pixels = {c.s0, c.s1, c.s0};
    CombineGlyphsAndShadow(glyphs, shadow);
    EXPECT_EQ(shadow.Pixels[0], c.want) << int(c.g0) << " " << int(c.g2) << " " << int(c.s1);
    if (c.g0 >= 2) {
      EXPECT_EQ(shadow.Pixels[1], shadow.Pixels[0]);
      EXPECT_EQ(shadow.Pixels[2], shadow.Pixels[0]);
    }
  }
}

} // namespace
} // namespace meridia
