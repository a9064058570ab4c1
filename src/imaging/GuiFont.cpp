#include "imaging/GuiFont.h"

#include "platform/GLContext.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace meridia {
namespace {

constexpr uint8_t kColorCode = 3;
constexpr uint8_t kWhiteCode = 5;
constexpr uint8_t kTabCode = 9;
constexpr uint8_t kLineBreakCode = 10;
constexpr uint8_t kBlankCode = 32;

PrintCommand ColorCommand(float r, float g, float b) {
  PrintCommand command;
  command.kind = PrintCommand::Kind::kColor;
  command.r = r;
  command.g = g;
  command.b = b;
  return command;
}

} // namespace

Tgui_font::Tgui_font() : Generator(std::make_unique<TFontGenerator>()) {}

Tgui_font::~Tgui_font() {
  DeleteTexture();
}

std::vector<uint8_t> Tgui_font::BuildAtlas(const std::string& name, int32_t size) {
  Generator->SetFont(name, size);
  const FontBitmap color = Generator->RenderGlyphs();
  const FontBitmap alpha = Generator->RenderAlpha();
  // Taken after the render, whose range repair may have moved the bounds: the glyph array and
  // LastIndex must agree.
  FirstChar = Generator->FirstChar;
  LastIndex = Generator->LastChar - FirstChar;

  std::vector<uint8_t> pixels(static_cast<size_t>(color.Width) * color.Height * 4);
  for (size_t p = 0, count = pixels.size() / 4; p < count; ++p) {
    // The colour bytes go in their stored order, as the texture has always received them.
    pixels[p * 4 + 0] = color.Pixels[p * 3 + 0];
    pixels[p * 4 + 1] = color.Pixels[p * 3 + 1];
    pixels[p * 4 + 2] = color.Pixels[p * 3 + 2];
    pixels[p * 4 + 3] = alpha.Pixels[p * 3 + 0];
  }

  std::string all;
  for (int c = 32; c <= 255; ++c) {
    all.push_back(static_cast<char>(c));
  }
  LineHeight = TextHeight(all);
  for (size_t k = 0; k < Generator->Glyphs.size() && k < GlyphCoords.size(); ++k) {
    const TGlyph& glyph = Generator->Glyphs[k];
    GlyphCoords[k] = {Vector2f{glyph.Left, glyph.Top}, Vector2f{glyph.Right, glyph.Top},
                      Vector2f{glyph.Right, glyph.Bottom}, Vector2f{glyph.Left, glyph.Bottom}};
  }
  return pixels;
}

const TGlyph* Tgui_font::GlyphOf(uint8_t code) const {
  const int32_t k = code - FirstChar;
  if (k < 0 || k > LastIndex || static_cast<size_t>(k) >= Generator->Glyphs.size()) {
    return nullptr;
  }
  return &Generator->Glyphs[static_cast<size_t>(k)];
}

float Tgui_font::TextWidth(std::string_view text) const {
  float width = 0;
  const auto space = static_cast<float>(Generator->SpaceWidth);
  for (char c : text) {
    const auto code = static_cast<uint8_t>(c);
    const TGlyph* glyph = code == kBlankCode ? nullptr : GlyphOf(code);
    width += glyph != nullptr ? glyph->Advance : space;
  }
  return width;
}

float Tgui_font::TextHeight(std::string_view text) const {
  float height = 0;
  for (char c : text) {
    const auto code = static_cast<uint8_t>(c);
    if (code == kBlankCode) {
      continue;
    }
    if (const TGlyph* glyph = GlyphOf(code); glyph != nullptr) {
      height = std::max(height, glyph->TextHeight);
    }
  }
  return height;
}

void Tgui_font::LayoutPrint(std::string_view text, float X, float Y,
                            std::vector<PrintCommand>& commands) const {
  commands.clear();
  if (text.empty()) {
    return;
  }
  const auto space = static_cast<float>(Generator->SpaceWidth);
  float x = std::trunc(X);
  float y = std::trunc(Y);
  const float x0 = x;
  bool coloured = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto code = static_cast<uint8_t>(text[i]);
    switch (code) {
    case kColorCode:
      if (text.size() - i > 4) {
        commands.push_back(ColorCommand(static_cast<uint8_t>(text[i + 1]) / 255.0f,
                                        static_cast<uint8_t>(text[i + 2]) / 255.0f,
                                        static_cast<uint8_t>(text[i + 3]) / 255.0f));
        coloured = true;
      }
      i += 3;
      break;
    case kWhiteCode:
      if (coloured) {
        commands.push_back(ColorCommand(1, 1, 1));
        coloured = false;
      }
      break;
    case kTabCode:
      x += 8 * space;
      break;
    case kLineBreakCode:
      x = x0;
      y += LineHeight;
      if (coloured) {
        commands.push_back(ColorCommand(1, 1, 1));
        coloured = false;
      }
      break;
    case kBlankCode:
      x += space;
      break;
    default:
      if (const TGlyph* glyph = GlyphOf(code); glyph != nullptr) {
        PrintCommand quad;
        quad.glyph = code - FirstChar;
        quad.x = x;
        quad.y = y;
        quad.w = glyph->Width;
        quad.h = glyph->Height;
        commands.push_back(quad);
        x += glyph->Advance;
      } else {
        x += space;
      }
      break;
    }
  }
  if (coloured) {
    commands.push_back(ColorCommand(1, 1, 1));
  }
}

void Tgui_font::PrintCentred(std::string_view text, float X, float Y) {
  Print(text, X - TextWidth(text) * 0.5f, Y - TextHeight(text) * 0.5f);
}

// The OpenGL side.

void Tgui_font::SetFont(const std::string& name, int32_t size) {
  const std::vector<uint8_t> pixels = BuildAtlas(name, size);
  DeleteTexture();
  GLuint texture = 0;
  glGenTextures(1, &texture);
  Texture = texture;
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint previous_alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous_alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // rows of RGBA pixels are always 4-byte aligned
  glTexImage2D(GL_TEXTURE_2D, 0, 4, Generator->AtlasWidth, Generator->AtlasHeight, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, previous_alignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void Tgui_font::DeleteTexture() {
  // A font outliving its context has nothing left to delete.
  if (Texture != kNoTexture && platform::HasCurrentGLContext()) {
    const auto texture = static_cast<GLuint>(Texture);
    glDeleteTextures(1, &texture);
  }
  Texture = kNoTexture;
}

void Tgui_font::Print(std::string_view text, float X, float Y) {
  if (text.empty()) {
    return;
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, Texture == kNoTexture ? 0 : static_cast<GLuint>(Texture));
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  LayoutPrint(text, X, Y, commands_);
  // The quads go out from client arrays, a draw call per run between colour changes; the
  // current texture coordinate ends as the last vertex's, as sending them one by one leaves it.
  vertices_.clear();
  size_t drawn = 0;
  auto draw = [&] {
    const size_t count = vertices_.size() - drawn;
    if (count == 0) {
      return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(GlyphVertex), &vertices_[0].s);
    glVertexPointer(3, GL_FLOAT, sizeof(GlyphVertex), &vertices_[0].x);
    glDrawArrays(GL_QUADS, static_cast<GLint>(drawn), static_cast<GLsizei>(count));
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    drawn = vertices_.size();
  };
  for (const PrintCommand& command : commands_) {
    if (command.kind == PrintCommand::Kind::kColor) {
      draw();
      glColor4f(command.r, command.g, command.b, 1.0f);
      continue;
    }
    const std::array<Vector2f, 4>& coords = GlyphCoords[static_cast<size_t>(command.glyph)];
    const float right = command.x + command.w;
    const float bottom = command.y + command.h;
    vertices_.push_back({coords[0].x, coords[0].y, command.x, command.y, 0});
    vertices_.push_back({coords[1].x, coords[1].y, right, command.y, 0});
    vertices_.push_back({coords[2].x, coords[2].y, right, bottom, 0});
    vertices_.push_back({coords[3].x, coords[3].y, command.x, bottom, 0});
  }
  draw();
  if (!vertices_.empty()) {
    glTexCoord2f(vertices_.back().s, vertices_.back().t);
  }
}

} // namespace meridia
