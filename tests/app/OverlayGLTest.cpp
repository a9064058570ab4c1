// The overlay's OpenGL side in an offscreen context: the font texture, text over a picture,
// the start-up word, and screenshots read back from disk.
#include "app/Overlay.h"
#include "app/SystemInfo.h"
#include "engine/Strings.h"
#include "imaging/GuiFont.h"
#include "imaging/TGAImage.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>

namespace meridia {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// RGB pixels, row 0 at the top of the viewport.
struct Picture {
  std::vector<uint8_t> rgb = std::vector<uint8_t>(size_t(kWidth) * kHeight * 3);
  const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * kWidth + x) * 3]; }
  int Level(int x, int y) const { return At(x, y)[0]; }
};

Picture ReadBack() {
  Picture picture;
  std::vector<uint8_t> bottom_up(picture.rgb.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
  for (int y = 0; y < kHeight; ++y) {
    std::copy_n(&bottom_up[size_t(kHeight - 1 - y) * kWidth * 3], kWidth * 3,
                &picture.rgb[size_t(y) * kWidth * 3]);
  }
  return picture;
}

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// Bounds of the pixels brighter than `level` in rows [row0, row1).
Box BrightBox(const Picture& p, int level, int row0 = 0, int row1 = kHeight) {
  Box box;
  for (int y = row0; y < row1; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (p.Level(x, y) > level) {
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
               std::max(box.bottom, y)};
      }
    }
  }
  return box;
}

class OverlayGL : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.Ready()) << SDL_GetError();
    glViewport(0, 0, kWidth, kHeight);
    font_ = std::make_unique<Tgui_font>();
    font_->SetFont("Arial", 8);
  }

  testing::OffscreenGLContext gl_{kWidth, kHeight};
  std::unique_ptr<Tgui_font> font_;
};

TEST_F(OverlayGL, TheFontTextureIs512SquareWhateverTheSize) {
  for (int size : {8, 28}) {
    Tgui_font font;
    font.SetFont("Arial", size);
    ASSERT_NE(font.Texture, Tgui_font::kNoTexture);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(font.Texture));
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 512) << size;
    EXPECT_EQ(height, 512) << size;
  }
  // A second SetFont replaces the texture instead of leaking the first.
  const auto first = static_cast<GLuint>(font_->Texture);
  font_->SetFont("Arial", 9);
  EXPECT_EQ(glIsTexture(first), GL_FALSE);
  const auto second = static_cast<GLuint>(font_->Texture);
  font_.reset();
  EXPECT_EQ(glIsTexture(second), GL_FALSE);
}

TEST_F(OverlayGL, LinesAreWhiteTextWithADarkHaloOverThePicture) {
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_CULL_FACE);
  OverlayValues values;
  values.TrisCount = 88;
  DrawOverlay(*font_, values);
  const Picture p = ReadBack();

  // "Tris : 88" from (10, 10): white strokes, darker-than-grey halo, nothing left of x = 9.
  int white = 0, dark = 0;
  for (int y = 8; y < 30; ++y) {
    for (int x = 0; x < 80; ++x) {
      white += p.Level(x, y) > 200;
      dark += p.Level(x, y) < 100;
      if (x < 9) {
        EXPECT_EQ(p.Level(x, y), 128) << x << "," << y;
      }
    }
  }
  EXPECT_GT(white, 10);
  EXPECT_GT(dark, 20);
  const Box first = BrightBox(p, 230, 0, 28);
  EXPECT_GE(first.top, 10);
  EXPECT_LE(first.bottom, 10 + 14);
  EXPECT_GE(first.left, 10);
  EXPECT_NEAR(first.right, 10 + font_->TextWidth("Tris : 88"), 3);
  // Every one of the fourteen lines is there: 11 at the top, 3 at the bottom.
  for (int y : {10, 30, 50, 70, 90, 110, 130, 150, 170, 190, 210, 540, 560, 580}) {
    EXPECT_GE(BrightBox(p, 200, y, y + 14).right, 30) << "line at " << y;
  }
  // Away from the text the picture is untouched.
  for (int y = 250; y < 500; y += 7) {
    for (int x = 300; x < 790; x += 11) {
      ASSERT_EQ(p.Level(x, y), 128) << x << "," << y;
    }
  }
  GLint blend_source = 0, blend_destination = 0;
  glGetIntegerv(GL_BLEND_SRC, &blend_source);
  glGetIntegerv(GL_BLEND_DST, &blend_destination);
  EXPECT_EQ(blend_source, GL_SRC_ALPHA);
  EXPECT_EQ(blend_destination, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(glIsEnabled(GL_BLEND), GL_FALSE);
  EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
  EXPECT_EQ(glIsEnabled(GL_CULL_FACE), GL_FALSE);
}

TEST_F(OverlayGL, ColourCodesTintTheText) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, kHeight, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_BLEND);
  font_->Print(std::string("\x03\xFF\x00\x00HHHH\x05HHHH", 13), 10, 10);
  glDisable(GL_BLEND);
  const Picture p = ReadBack();
  int red = 0, white = 0;
  for (int y = 10; y < 24; ++y) {
    for (int x = 10; x < 80; ++x) {
      const uint8_t* c = p.At(x, y);
      red += c[0] > 230 && c[1] < 20 && c[2] < 20;
      white += c[0] > 230 && c[1] > 230 && c[2] > 230;
    }
  }
  EXPECT_GT(red, 10);
  EXPECT_GT(white, 10);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[1], 1.0f);
}

// The layout sent a vertex at a time, colour changes between them, as the quads once went out.
void PrintOneByOne(Tgui_font& font, std::string_view text, float x, float y) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(font.Texture));
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  std::vector<PrintCommand> commands;
  font.LayoutPrint(text, x, y, commands);
  glBegin(GL_QUADS);
  for (const PrintCommand& c : commands) {
    if (c.kind == PrintCommand::Kind::kColor) {
      glColor4f(c.r, c.g, c.b, 1.0f);
      continue;
    }
    const auto& coords = font.GlyphCoords[static_cast<size_t>(c.glyph)];
    glTexCoord2f(coords[0].x, coords[0].y);
    glVertex3f(c.x, c.y, 0);
    glTexCoord2f(coords[1].x, coords[1].y);
    glVertex3f(c.x + c.w, c.y, 0);
    glTexCoord2f(coords[2].x, coords[2].y);
    glVertex3f(c.x + c.w, c.y + c.h, 0);
    glTexCoord2f(coords[3].x, coords[3].y);
    glVertex3f(c.x, c.y + c.h, 0);
  }
  glEnd();
}

TEST_F(OverlayGL, PrintDrawsThePixelsAndLeavesTheStateOfSendingEachVertexByItself) {
  const std::string texts[] = {
      "Tris : 123456",
      std::string("a\tb\x03\x20\xC0\x40"
                  "green\nnext line\x05 white \x03\x80\x80\xFF"
                  "blue",
                  38),
      "   ",
  };
  for (const std::string& text : texts) {
    auto shoot = [&](auto&& print) {
      glClearColor(0.2f, 0.1f, 0.3f, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glOrtho(0, kWidth, kHeight, 0, -1, 1);
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glEnable(GL_BLEND);
      glColor4f(1, 1, 1, 1);
      glTexCoord2f(-3, -3);
      print();
      glDisable(GL_BLEND);
      std::array<float, 8> state{};
      glGetFloatv(GL_CURRENT_COLOR, &state[0]);
      glGetFloatv(GL_CURRENT_TEXTURE_COORDS, &state[4]);
      return std::pair{ReadBack().rgb, state};
    };
    const auto [arrays, arrays_state] = shoot([&] { font_->Print(text, 10.75f, 30.5f); });
    const auto [one_by_one, one_by_one_state] =
        shoot([&] { PrintOneByOne(*font_, text, 10.75f, 30.5f); });
    EXPECT_TRUE(arrays == one_by_one) << text;
    EXPECT_EQ(arrays_state, one_by_one_state) << text;
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OverlayGL, TheProgressWordIsCentredAndShownAtOnce) {
  glClearColor(0.3f, 0.0f, 0.0f, 1.0f); // the clear must wipe this
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  int swaps = 0;
  Picture shown;
  ShowProgressText(*font_, "Generation", [&] {
    ++swaps;
    shown = ReadBack();
  });
  ASSERT_EQ(swaps, 1);
  EXPECT_EQ(shown.At(0, 0)[0], 0);
  const Box box = BrightBox(shown, 200);
  ASSERT_GE(box.right, 0);
  EXPECT_NEAR((box.left + box.right) / 2.0, kWidth / 2, 3);
  EXPECT_NEAR((box.top + box.bottom) / 2.0, kHeight / 2, 4);
  // Ink is a little narrower than the advances that centre it.
  EXPECT_LE(box.right - box.left, font_->TextWidth("Generation"));
  EXPECT_GE(box.right - box.left, font_->TextWidth("Generation") - 10);
}

TEST_F(OverlayGL, TheVideoLineNamesTheRendererAndItsVersion) {
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const std::string text = GetVideoText();
  EXPECT_EQ(text.rfind(Trim(renderer) + " (driver " + version, 0), 0u) << text;
  EXPECT_EQ(text.back(), ')');
}

TEST_F(OverlayGL, ScreenshotsSaveTheViewportBottomUpUnderTheNextFreeNumber) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  // Blue everywhere, a red rectangle at the bottom left, a green pixel at the top right.
  glViewport(0, 0, 37, 21); // rows of 111 bytes: not 4-byte aligned
  const struct {
    int x, y, w, h;
    float r, g, b;
  } fills[] = {{0, 0, 37, 21, 0, 0, 1}, {0, 0, 5, 3, 1, 0, 0}, {36, 20, 1, 1, 0, 1, 0}};
  glEnable(GL_SCISSOR_TEST);
  for (const auto& f : fills) {
    glScissor(f.x, f.y, f.w, f.h);
    glClearColor(f.r, f.g, f.b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);

  ASSERT_TRUE(SaveScreenshot());
  ASSERT_TRUE(SaveScreenshot());
  ASSERT_TRUE(std::filesystem::exists("screens/screen_00002.tga"));
  EXPECT_FALSE(std::filesystem::exists("screens/screen_00003.tga"));

  std::ifstream in("screens/screen_00001.tga", std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), 18u + 37u * 21u * 3u);
  const auto header = TGAHeader::FromBytes(std::span<const uint8_t, 18>(bytes.data(), 18));
  EXPECT_EQ(header.IdLength, 0);
  EXPECT_EQ(header.ColorMapType, 0);
  EXPECT_EQ(header.ImageType, 2);
  EXPECT_EQ(header.Width, 37);
  EXPECT_EQ(header.Height, 21);
  EXPECT_EQ(header.PixelDepth, 24);
  EXPECT_EQ(header.ImageDescriptor, 0);
  // Pixels in blue, green, red order, the bottom row first.
  for (int row = 0; row < 21; ++row) {
    for (int x = 0; x < 37; ++x) {
      const uint8_t* p = &bytes[18 + (size_t(row) * 37 + x) * 3];
      std::vector<int> expected = {255, 0, 0};
      if (x < 5 && row < 3) {
        expected = {0, 0, 255};
      } else if (x == 36 && row == 20) {
        expected = {0, 255, 0};
      }
      ASSERT_EQ(std::vector<int>(p, p + 3), expected) << x << "," << row;
    }
  }
}

} // namespace
} // namespace meridia
