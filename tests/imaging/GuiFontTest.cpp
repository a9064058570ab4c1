// Text measuring and layout on made-up glyph metrics, and the texture pixels built from the
// system font.
#include "imaging/GuiFont.h"

#include <gtest/gtest.h>

#include <string>

namespace meridia {
namespace {

using Kind = PrintCommand::Kind;
using namespace std::string_literals;

// Characters 32..127: advance 5.5 + (code % 3), box 7 by 13, text height 10 (12 for 'g').
class GuiFontLayout : public ::testing::Test {
protected:
  void SetUp() override {
    TFontGenerator& g = *font_.Generator;
    g.FirstChar = 32;
    g.LastChar = 127;
    g.SpaceWidth = 4;
    g.Glyphs.resize(96);
    for (int code = 32; code <= 127; ++code) {
      TGlyph& glyph = g.Glyphs[static_cast<size_t>(code - 32)];
      glyph.Advance = 5.5f + static_cast<float>(code % 3);
      glyph.Width = 7;
      glyph.Height = 13;
      glyph.TextHeight = code == 'g' ? 12.0f : 10.0f;
    }
    font_.FirstChar = 32;
    font_.LastIndex = 95;
    font_.LineHeight = 12;
  }

  float Advance(char c) const { return font_.Generator->Glyphs[size_t(c - 32)].Advance; }

  std::vector<PrintCommand> Layout(const std::string& text, float x = 0, float y = 0) const {
    std::vector<PrintCommand> commands;
    font_.LayoutPrint(text, x, y, commands);
    return commands;
  }

  Tgui_font font_;
};

TEST_F(GuiFontLayout, WidthsAndHeights) {
  EXPECT_FLOAT_EQ(font_.TextWidth("a b"), Advance('a') + 4 + Advance('b'));
  EXPECT_FLOAT_EQ(font_.TextWidth(""), 0);
  // Below FirstChar and beyond the glyph array both count as a blank.
  EXPECT_FLOAT_EQ(font_.TextWidth("\x01\x1F\xE9"), 12);
  // Heights ignore blanks and characters without glyphs.
  for (const auto& [text, height] :
       {std::pair{"", 0}, {"   ", 0}, {"\x01\x02\xE9", 0}, {"a g", 12}, {"ab", 10}}) {
    EXPECT_FLOAT_EQ(font_.TextHeight(text), height) << text;
  }
}

TEST_F(GuiFontLayout, GlyphsAreQuadsAtThePenFromTheTruncatedStart) {
  const auto commands = Layout("ab\ncd", 10.75f, 20.5f);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0].kind, Kind::kQuad);
  EXPECT_EQ(commands[0].glyph, 'a' - 32);
  EXPECT_FLOAT_EQ(commands[0].x, 10);
  EXPECT_FLOAT_EQ(commands[0].y, 20);
  EXPECT_FLOAT_EQ(commands[0].w, 7);
  EXPECT_FLOAT_EQ(commands[0].h, 13);
  EXPECT_FLOAT_EQ(commands[1].x, 10 + Advance('a'));
  // A line break returns to the truncated start x, one line lower.
  EXPECT_FLOAT_EQ(commands[2].x, 10);
  EXPECT_FLOAT_EQ(commands[2].y, 20 + 12);
  EXPECT_FLOAT_EQ(commands[3].x, 10 + Advance('c'));
  EXPECT_TRUE(Layout("").empty());
  EXPECT_FLOAT_EQ(Layout("a", -3.75f, -1.5f)[0].x, -3); // toward zero

  // Blanks, tabs and characters without glyphs only move the pen.
  const auto moved = Layout("a \tb\001\360c"s);
  ASSERT_EQ(moved.size(), 3u);
  EXPECT_FLOAT_EQ(moved[1].x, Advance('a') + 4 + 8 * 4);
  EXPECT_FLOAT_EQ(moved[2].x, Advance('a') + 4 + 8 * 4 + Advance('b') + 4 + 4);
}

TEST_F(GuiFontLayout, ColourCodesTintUntilWhiteALineBreakOrTheEnd) {
  // 3 r g b: red 255, green 0, blue 51; 5 back to white.
  auto commands = Layout("\003\377\000\063a\005b"s);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0].kind, Kind::kColor);
  EXPECT_FLOAT_EQ(commands[0].r, 1);
  EXPECT_FLOAT_EQ(commands[0].g, 0);
  EXPECT_FLOAT_EQ(commands[0].b, 0.2f);
  EXPECT_FLOAT_EQ(commands[1].x, 0); // the colour bytes take no room
  EXPECT_EQ(commands[2].kind, Kind::kColor);
  EXPECT_FLOAT_EQ(commands[2].r + commands[2].g + commands[2].b, 3);
  EXPECT_EQ(commands[3].glyph, 'b' - 32);

  // A line break ends the colour; 5 without a colour does nothing.
  commands = Layout("\003\001\002\003a\n\005b"s);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[2].kind, Kind::kColor);
  EXPECT_FLOAT_EQ(commands[2].r, 1);
  EXPECT_EQ(commands[3].kind, Kind::kQuad);

  // Still coloured at the end: back to white.
  commands = Layout("\003\001\002\003a"s);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands.back().kind, Kind::kColor);
  EXPECT_FLOAT_EQ(commands.back().g, 1);

  // Three bytes and nothing to colour: no colour, the bytes still skipped; fewer: the text ends.
  commands = Layout("a\003bcd"s);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].glyph, 'a' - 32);
  EXPECT_TRUE(Layout("\003b"s).empty());
}

TEST(GuiFontAtlas, TheTextureHoldsColourAndShadowAlphaOfTheSystemFont) {
  Tgui_font font;
  const std::vector<uint8_t> pixels = font.BuildAtlas("Arial", 8);
  ASSERT_EQ(pixels.size(), 512u * 512u * 4u);
  EXPECT_EQ(font.Texture, Tgui_font::kNoTexture);
  EXPECT_EQ(font.FirstChar, 32);
  EXPECT_EQ(font.LastIndex, 223);

  const TFontGenerator& g = *font.Generator;
  float tallest = 0;
  for (const TGlyph& glyph : g.Glyphs) {
    tallest = std::max(tallest, glyph.TextHeight);
  }
  EXPECT_FLOAT_EQ(font.LineHeight, tallest);
  EXPECT_GT(font.LineHeight, 10);

  const TGlyph& a = g.Glyphs['A' - 32];
  const auto& corners = font.GlyphCoords['A' - 32];
  EXPECT_FLOAT_EQ(corners[0].x, a.Left);
  EXPECT_FLOAT_EQ(corners[0].y, a.Top);
  EXPECT_FLOAT_EQ(corners[2].x, a.Right);
  EXPECT_FLOAT_EQ(corners[2].y, a.Bottom);

  // White glyphs: every lit colour is grey and fully opaque where fully lit; the halo is black
  // with some alpha; outside glyphs and halos all is black and clear.
  int halo = 0;
  for (size_t p = 0; p < pixels.size(); p += 4) {
    EXPECT_EQ(pixels[p], pixels[p + 1]);
    EXPECT_EQ(pixels[p], pixels[p + 2]);
    if (pixels[p] == 255) {
      EXPECT_EQ(pixels[p + 3], 255);
    }
    halo += pixels[p] == 0 && pixels[p + 3] != 0;
  }
  EXPECT_GT(halo, 1000);
  EXPECT_EQ(pixels[pixels.size() - 1], 0);
}

} // namespace
} // namespace meridia
