// Tgui_font: one RGBA texture of a generated bitmap font and the drawing of 8-bit texts as one
// textured quad per glyph, with control codes for colour (3 r g b, 5), tab (9) and line break
// (10). The layout is plain data (LayoutPrint); Print only sends it to OpenGL.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"
#include "imaging/FontGenerator.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

// One step of a printed text, in drawing order.
struct PrintCommand {
  enum class Kind : uint8_t { kQuad, kColor };
  Kind kind = Kind::kQuad;
  int32_t glyph = 0;         // kQuad: index into the glyph array
  float x = 0, y = 0;        // kQuad: top-left corner in pixels, y down
  float w = 0, h = 0;        // kQuad: size in pixels
  float r = 1, g = 1, b = 1; // kColor
};

class Tgui_font : public TObject {
public:
  static constexpr int32_t kNoTexture = -1;

  Tgui_font();
  ~Tgui_font() override;

  std::unique_ptr<TFontGenerator> Generator;
  int32_t FirstChar = 0;
  int32_t LastIndex = 0;
  int64_t Texture = kNoTexture; // an OpenGL texture name, or kNoTexture
  float LineHeight = 0;
  std::array<std::array<Vector2f, 4>, 256> GlyphCoords{};

  // Renders the face at that point size and uploads it as the font's texture (needs a current
  // OpenGL context).
  void SetFont(const std::string& name, int32_t size);
  // SetFont without OpenGL: fills every field but Texture and returns the texture's pixels,
  // AtlasWidth by AtlasHeight RGBA, row 0 the top row.
  std::vector<uint8_t> BuildAtlas(const std::string& name, int32_t size);

  float TextWidth(std::string_view text) const;
  float TextHeight(std::string_view text) const;
  // The quads and colour changes Print sends for the text at (X, Y); empty for an empty text.
  void LayoutPrint(std::string_view text, float X, float Y,
                   std::vector<PrintCommand>& commands) const;

  void Print(std::string_view text, float X, float Y);
  void PrintCentred(std::string_view text, float X, float Y);

private:
  // The glyph record of a character, or null when it lies outside the glyph array.
  const TGlyph* GlyphOf(uint8_t code) const;
  void DeleteTexture();

  std::vector<PrintCommand> commands_;
  struct GlyphVertex {
    float s, t, x, y, z;
  };
  std::vector<GlyphVertex> vertices_;
};

} // namespace meridia
