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

} // namespace
} // namespace meridia
