// TFontGenerator: draws characters FirstChar..LastChar of a system font into a grid of cells on
// one bitmap, measures them, and makes the blurred copy that becomes the alpha channel. After a
// render Glyphs holds LastChar - FirstChar + 1 records, each box inside its own cell.
#pragma once

#include "engine/Object.h"
#include "platform/GlyphRasterizer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

// 0x00BBGGRR.
using TColor = uint32_t;
inline constexpr TColor kColorWhite = 0x00FFFFFF;
inline constexpr TColor kColorBlack = 0x00000000;

// A 24-bit bitmap: bytes blue, green, red per pixel, row 0 the top row, rows packed.
struct FontBitmap {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Pixels;

  FontBitmap() = default;
  FontBitmap(int32_t width, int32_t height);
  uint8_t* At(int32_t x, int32_t y) { return &Pixels[(static_cast<size_t>(y) * Width + x) * 3]; }
  const uint8_t* At(int32_t x, int32_t y) const {
    return &Pixels[(static_cast<size_t>(y) * Width + x) * 3];
  }
  platform::Bitmap24View View();
};

// The glyph box in texture coordinates (vertical ones from the top row), its size in pixels, the
// pen advance and the font's height for the character.
struct TGlyph {
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
  float Width = 0, Height = 0;
  float Advance = 0;
  float TextHeight = 0;
};

class TFontGenerator : public TObject {
public:
  // Measures a single character as GetTextExtentPoint32W would.
  using ExtentFunction = std::function<platform::TextExtent(std::wstring_view)>;

  TFontGenerator();

  std::vector<TGlyph> Glyphs;
  int32_t MaxGlyphHeight = 0;
  int32_t MaxGlyphWidth = 0;
  int32_t SpaceWidth = 0;
  int32_t CellWidth = 20;
  int32_t CellHeight = 20;
  int32_t AtlasWidth = 512;
  int32_t AtlasHeight = 512;
  int32_t Columns = 10;
  int32_t PadX = 0;
  int32_t PadY = 0;
  int32_t ShadowOffset = 2;
  int32_t BlurRadius = 1;
  int32_t ShadowStrength = 100; // percent
  int32_t ExtraWidth = 0;
  int32_t ExtraSpacing = 0;
  int32_t FirstChar = 32;
  int32_t LastChar = 255;
  TColor TextColor = kColorWhite;
  TColor BackColor = kColorBlack;
  bool AutoCell = true;
  bool Shadow = true;

  // Chooses the face; the font is opened at once so that a missing face is known here.
  void SetFont(const std::string& name, int32_t size);
  const std::string& FontName() const { return font_name_; }
  int32_t FontSize() const { return font_size_; }
  const platform::GlyphRasterizer& Font() const { return font_; }

  // The glyphs in TextColor on BackColor, with Glyphs measured and placed.
  FontBitmap RenderGlyphs();
  // White glyphs over their shifted, blurred shadow, as grey levels.
  FontBitmap RenderAlpha();

  // The steps of RenderGlyphs, open so that the layout can be checked with any metrics.
  void RepairRange();
  void Measure(const ExtentFunction& extent);
  void FitCells();

private:
  void EnsureFont();

  std::string font_name_ = "Arial";
  int32_t font_size_ = 12;
  bool font_open_ = false;
  platform::GlyphRasterizer font_;
};

// The steps of RenderAlpha.
// Copies the bitmap onto itself moved by (offset, offset); the strip it leaves uncovered keeps
// its pixels.
void DrawShiftedCopy(FontBitmap& bitmap, int32_t offset);
// The in-place box blur: later pixels read the already blurred values of earlier ones.
void BlurInPlace(FontBitmap& bitmap, int32_t radius, int32_t strength_percent);
// Lays the glyphs over the shadow wherever the glyph has coverage.
void CombineGlyphsAndShadow(const FontBitmap& glyphs, FontBitmap& shadow);

} // namespace meridia
