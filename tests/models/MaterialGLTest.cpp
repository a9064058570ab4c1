#include "models/Material.h"

#include "decoders/ImageDecoders.h"
#include "gl/GLImplementation.h"

#include <gtest/gtest.h>

#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"
#include "support/TestPictures.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace meridia {
namespace {

TEST(LoadTextureGL, LevelZeroIsThePictureBottomRowFirstWithItsMipmapsAndFormat) {
  testing::OffscreenGLContext context(64, 64);
  ASSERT_TRUE(context.Ready());
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  RegisterImageDecoders();
  const std::vector<uint8_t> tga = testing::TgaCard(true);
  std::ofstream("card.tga", std::ios::binary)
      .write(reinterpret_cast<const char*>(tga.data()), static_cast<std::streamsize>(tga.size()));
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const bool s3tc = extensions != nullptr &&
                    std::strstr(extensions, "GL_EXT_texture_compression_s3tc") != nullptr;

  for (const bool compressed : {false, true}) {
    if (compressed && !s3tc) {
      continue; // a driver without S3TC only ever gets the plain formats
    }
    SCOPED_TRACE(compressed ? "compressed" : "plain");
    TextureCompressionAvailable = compressed;
    uint32_t id = 0;
    ASSERT_TRUE(LoadTexture("card.tga", id));
    ASSERT_NE(id, 0u);
    GLint bound = 0, is_compressed = -1, level1_width = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), id) << "left bound";
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &is_compressed);
    EXPECT_EQ(is_compressed != 0, compressed);
    // The mipmap builder scales 4 by 3 to a power of two first: level 1 exists.
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1_width);
    EXPECT_GT(level1_width, 0);
    if (!compressed) {
      GLint width = 0, height = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
      // Rescaled by the mipmap builder to the nearest power of two on each side.
      ASSERT_EQ(width, 4);
      ASSERT_EQ(height, 4);
      std::vector<uint8_t> level0(size_t(width * height * 3));
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, level0.data());
      // The first row read back comes from the bottom of the picture: blue at its left end.
      EXPECT_LT(level0[0], 64);
      EXPECT_GT(level0[2], 128);
      // The last row comes from the top: red at the left end, green at the right end.
      const uint8_t* top = &level0[size_t((height - 1) * width * 3)];
      EXPECT_GT(top[0], 128);
      EXPECT_GT(top[3 * 3 + 1], 128);
    }
    const GLuint name = id;
    glDeleteTextures(1, &name);
  }
  TextureCompressionAvailable = false;

  uint32_t untouched = 77;
  EXPECT_FALSE(LoadTexture("missing.tga", untouched));
  EXPECT_EQ(untouched, 77u);
}

// Level 0 as OpenGL holds it, tightly packed.
std::vector<uint8_t> LevelZero(uint32_t format) {
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<uint8_t> texels(size_t(width * height) * (format == kTextureRGB ? 3 : 4));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, texels.data());
  return texels;
}

// Tightly packed rows of every width, each row a colour of its own. Whatever unpack alignment
// the caller left, the texture is the same, and the alignment is left as it was. Sizes that are
// powers of two are not rescaled by the mipmap builder, so their texels are the picture's own.
TEST(UploadTextureGL, TightRowsOfEveryWidthWhateverTheCallersAlignment) {
  testing::OffscreenGLContext context(64, 64);
  ASSERT_TRUE(context.Ready());
  TextureCompressionAvailable = false;
  const auto value = [](size_t row, size_t channel) {
    return static_cast<uint8_t>(channel == 3 ? 255 - 40 * row : 30 + 50 * row + 70 * channel);
  };
  for (const uint32_t format : {kTextureRGB, kTextureRGBA}) {
    const size_t bpp = format == kTextureRGB ? 3 : 4;
    for (const int width : {1, 2, 3, 5, 7}) {
      for (const int height : {1, 2, 3, 4}) {
        SCOPED_TRACE(std::to_string(bpp) + " bytes, " + std::to_string(width) + " x " +
                     std::to_string(height));
        std::vector<uint8_t> pixels(bpp * size_t(width * height));
        for (size_t i = 0; i < pixels.size(); ++i) {
          pixels[i] = value(i / (bpp * size_t(width)), i % bpp);
        }
        std::vector<uint8_t> first;
        for (const GLint callers : {1, 2, 4, 8}) {
          glPixelStorei(GL_UNPACK_ALIGNMENT, callers);
          const GLuint name =
              UploadTexture(uint16_t(width), uint16_t(height), format, pixels.data());
          GLint alignment = 0;
          glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
          EXPECT_EQ(alignment, callers);
          const std::vector<uint8_t> texels = LevelZero(format);
          glDeleteTextures(1, &name);
          if (first.empty()) {
            first = texels;
          }
          EXPECT_EQ(texels, first) << "the caller's alignment was " << callers;
        }
        if ((width & (width - 1)) == 0 && (height & (height - 1)) == 0) {
          EXPECT_EQ(first, pixels);
        }
      }
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

} // namespace
} // namespace meridia
