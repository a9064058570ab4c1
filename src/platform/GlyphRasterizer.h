// One system font face, found by name through fontconfig and rasterised with FreeType, measured
// and drawn as GDI's GetTextExtentPoint32W and ExtTextOutW would. Without a usable face every
// text measures (0, 0) and draws nothing, so callers never need a second path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace meridia::platform {

struct TextExtent {
  int32_t cx = 0; // advance width in pixels
  int32_t cy = 0; // line height (ascent + descent) in pixels
};

// A 24-bit raster to draw into: three bytes per pixel in the order blue, green, red, row 0 at
// the top, rows `stride` bytes apart.
struct Bitmap24View {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
};

class GlyphRasterizer {
public:
  GlyphRasterizer();
  ~GlyphRasterizer();
  GlyphRasterizer(const GlyphRasterizer&) = delete;
  GlyphRasterizer& operator=(const GlyphRasterizer&) = delete;

  // Regular upright face of that family at `point_size` points on a 96-pixel-per-inch display
  // (8 points is an 11-pixel em). A family fontconfig does not know falls back to its sans-serif
  // face; false only when no face at all could be opened or the size is not positive.
  bool SetFont(const std::string& name, int32_t point_size);
  // Grows Ascent and Descent until the hinted ink of every character given fits between them,
  // as GDI's per-size vertical metrics do for the glyphs of a face; otherwise accents above the
  // rounded ascent would reach into whatever is drawn one line higher.
  void FitLineBox(std::wstring_view characters);
  bool HasFace() const;
  // The family actually opened ("Liberation Sans" for "Arial" on a typical system).
  std::string FaceFamily() const;
  int32_t EmPixels() const;
  int32_t Ascent() const;
  int32_t Descent() const;

  // The sum of the characters' advances, unkerned, by the font's line height; (0, 0) for an empty
  // text.
  TextExtent GetTextExtent(std::wstring_view text) const;
  // Anti-aliased coverage in `color` (0x00BBGGRR) blended over what the raster holds, the text's
  // cell top-left at (x, y) and its baseline Ascent() below. Pixels outside the raster are
  // dropped.
  void DrawText(std::wstring_view text, int32_t x, int32_t y, uint32_t color,
                const Bitmap24View& target) const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace meridia::platform
