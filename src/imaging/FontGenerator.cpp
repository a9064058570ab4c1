#include "imaging/FontGenerator.h"

#include "engine/Strings.h"
#include "storage/Log.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace meridia {

FontBitmap::FontBitmap(int32_t width, int32_t height)
    : Width(std::max(width, 0)), Height(std::max(height, 0)),
      Pixels(static_cast<size_t>(Width) * Height * 3, 0) {}

platform::Bitmap24View FontBitmap::View() {
  return {Pixels.data(), Width, Height, static_cast<size_t>(Width) * 3};
}

TFontGenerator::TFontGenerator() = default;

void TFontGenerator::SetFont(const std::string& name, int32_t size) {
  font_name_ = name;
  font_size_ = size;
  font_open_ = false;
  EnsureFont();
}

void TFontGenerator::EnsureFont() {
  if (font_open_) {
    return;
  }
  font_open_ = true;
  if (!font_.SetFont(font_name_, font_size_)) {
    LogWrite("Font Not Found : " + font_name_);
    return;
  }
  // Every character a font can be asked for, whatever range is rendered later: the line height
  // must not depend on FirstChar and LastChar.
  std::string all(256, '\0');
  for (int c = 0; c < 256; ++c) {
    all[static_cast<size_t>(c)] = static_cast<char>(c);
  }
  font_.FitLineBox(AnsiToWide(all));
}

void TFontGenerator::RepairRange() {
  if (LastChar < FirstChar) {
    LastChar = FirstChar + 1;
  }
  if (LastChar >= 256) {
    LastChar = 255;
  }
  if (LastChar < FirstChar) {
    FirstChar = LastChar - 1;
  }
  if (FirstChar < 0) {
    FirstChar = 0;
  }
  // Two negative bounds survive the repairs above reversed and would size the glyph array
  // negatively; an empty range becomes the single character FirstChar.
  if (LastChar < FirstChar) {
    LastChar = FirstChar;
  }
  const auto count = static_cast<size_t>(LastChar - FirstChar + 1);
  if (Glyphs.size() != count) {
    Glyphs.resize(count);
  }
}

void TFontGenerator::Measure(const ExtentFunction& extent) {
  assert(Glyphs.size() == static_cast<size_t>(LastChar - FirstChar + 1) &&
         "TFontGenerator::Measure: the range is not repaired");
  MaxGlyphHeight = 0;
  MaxGlyphWidth = 0;
  SpaceWidth = extent(L" ").cx + ExtraSpacing;
  // A grid narrower than one cell would divide by zero below.
  const int32_t columns = std::max(Columns, 1);
  for (int32_t ch = FirstChar; ch <= LastChar; ++ch) {
    const int32_t k = ch - FirstChar;
    const char byte = static_cast<char>(static_cast<uint8_t>(ch));
    const platform::TextExtent size = extent(AnsiToWide(std::string_view(&byte, 1)));
    const int32_t x = (k % columns) * CellWidth + 1;
    const int32_t y = (k / columns) * CellHeight;
    const int32_t width = size.cx + ExtraWidth + PadX + ShadowOffset;
    const int32_t height = size.cy + PadY + ShadowOffset;
    MaxGlyphWidth = std::max(MaxGlyphWidth, width);
    MaxGlyphHeight = std::max(MaxGlyphHeight, height);
    TGlyph& glyph = Glyphs[static_cast<size_t>(k)];
    glyph.Left = static_cast<float>(static_cast<double>(x) / AtlasWidth);
    glyph.Top = static_cast<float>(static_cast<double>(y) / AtlasHeight);
    glyph.Width = static_cast<float>(width);
    glyph.Height = static_cast<float>(height);
    glyph.Right = static_cast<float>(static_cast<double>(x + width) / AtlasWidth);
    glyph.Bottom = static_cast<float>(static_cast<double>(y + height) / AtlasHeight);
    glyph.Advance = static_cast<float>(size.cx + ExtraSpacing / 10.0);
    glyph.TextHeight = static_cast<float>(size.cy);
  }
}

void TFontGenerator::FitCells() {
  CellWidth = MaxGlyphWidth + ExtraWidth + PadX;
  CellHeight = MaxGlyphHeight + PadY;
  // A face that measured nothing (or a cell wider than the atlas) still leaves a usable grid of
  // at least one column.
  Columns = CellWidth > 0 ? std::max((AtlasWidth - 1) / CellWidth, 1) : 1;
}

FontBitmap TFontGenerator::RenderGlyphs() {
  EnsureFont();
  FontBitmap bitmap(AtlasWidth, AtlasHeight);
  RepairRange();
  const ExtentFunction extent = [this](std::wstring_view text) {
    return font_.GetTextExtent(text);
  };
  Measure(extent);
  if (AutoCell) {
    FitCells();
    Measure(extent);
  }

  for (size_t i = 0; i < bitmap.Pixels.size(); i += 3) {
    bitmap.Pixels[i + 0] = static_cast<uint8_t>(BackColor >> 16);
    bitmap.Pixels[i + 1] = static_cast<uint8_t>(BackColor >> 8);
    bitmap.Pixels[i + 2] = static_cast<uint8_t>(BackColor);
  }
  const platform::Bitmap24View view = bitmap.View();
  for (int32_t ch = FirstChar; ch <= LastChar; ++ch) {
    const TGlyph& glyph = Glyphs[static_cast<size_t>(ch - FirstChar)];
    const auto x =
        static_cast<int32_t>(std::nearbyint(AtlasWidth * static_cast<double>(glyph.Left))) + PadX;
    const auto y = static_cast<int32_t>(
        std::nearbyint(AtlasHeight * static_cast<double>(glyph.Top) + PadY * 0.5));
    const char byte = static_cast<char>(static_cast<uint8_t>(ch));
    font_.DrawText(AnsiToWide(std::string_view(&byte, 1)), x, y, TextColor, view);
  }
  return bitmap;
}

FontBitmap TFontGenerator::RenderAlpha() {
  TextColor = kColorWhite;
  BackColor = kColorBlack;
  const FontBitmap glyphs = RenderGlyphs();
  FontBitmap shadow = glyphs;
  if (Shadow) {
    DrawShiftedCopy(shadow, ShadowOffset);
    BlurInPlace(shadow, BlurRadius, ShadowStrength);
  }
  CombineGlyphsAndShadow(glyphs, shadow);
  return shadow;
}

void DrawShiftedCopy(FontBitmap& bitmap, int32_t offset) {
  // Source and destination overlap: read from an untouched copy, as a blit onto itself does.
  const FontBitmap source = bitmap;
  for (int32_t y = std::max(offset, 0); y < bitmap.Height && y - offset < bitmap.Height; ++y) {
    for (int32_t x = std::max(offset, 0); x < bitmap.Width && x - offset < bitmap.Width; ++x) {
      const uint8_t* from = source.At(x - offset, y - offset);
      std::copy(from, from + 3, bitmap.At(x, y));
    }
  }
}

void BlurInPlace(FontBitmap& bitmap, int32_t radius, int32_t strength_percent) {
  radius = std::max(radius, 0);
  const double factor = strength_percent / 100.0;
  for (int32_t y = 0; y < bitmap.Height; ++y) {
    for (int32_t x = 0; x < bitmap.Width; ++x) {
      int64_t sum = 0;
      int64_t count = 0;
      const int32_t y0 = std::max(y - radius, 0);
      const int32_t y1 = std::min(y + radius, bitmap.Height - 1);
      const int32_t x0 = std::max(x - radius, 0);
      const int32_t x1 = std::min(x + radius, bitmap.Width - 1);
      for (int32_t v = y0; v <= y1; ++v) {
        for (int32_t u = x0; u <= x1; ++u) {
          sum += *bitmap.At(u, v);
          ++count;
        }
      }
      double value = static_cast<double>(sum / count);
      if (factor < 1.0) {
        value = std::nearbyint(value * factor);
      }
      const auto byte = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
      uint8_t* pixel = bitmap.At(x, y);
      pixel[0] = pixel[1] = pixel[2] = byte;
    }
  }
}

void CombineGlyphsAndShadow(const FontBitmap& glyphs, FontBitmap& shadow) {
  if (glyphs.Pixels.size() != shadow.Pixels.size()) {
    assert(false && "CombineGlyphsAndShadow: the bitmaps differ in size");
    return;
  }
  for (size_t i = 0; i < shadow.Pixels.size(); i += 3) {
    const int g0 = glyphs.Pixels[i];
    const int g2 = glyphs.Pixels[i + 2];
    const int s0 = shadow.Pixels[i];
    const int s1 = shadow.Pixels[i + 1];
    const double m = g0 / 255.0;
    if (m < 0.004) {
      continue;
    }
    int t = g2;
    if (g0 > s1 && g2 < g0) {
      t = g0;
    } else if (g0 < s1 && g2 < s1) {
      t = s1;
    }
    const auto value = static_cast<uint8_t>(std::nearbyint((1.0 - m) * s0 + m * t));
    shadow.Pixels[i] = shadow.Pixels[i + 1] = shadow.Pixels[i + 2] = value;
  }
}

} // namespace meridia
