#include "models/Material.h"

#include "decoders/ImageDecoders.h"

#include <gtest/gtest.h>

#include "storage/StorageTestSupport.h"
#include "support/TestPictures.h"

#include <filesystem>
#include <fstream>

namespace meridia {
namespace {

using testing::CardPixel;
using testing::kCardHeight;
using testing::kCardWidth;

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TDecodedBitmap Bitmap(int bits) {
  TDecodedBitmap b;
  b.Allocate(kCardWidth, kCardHeight, bits);
  for (int y = 0; y < kCardHeight; ++y) {
    for (int x = 0; x < kCardWidth; ++x) {
      const uint32_t p = CardPixel(x, y);
      uint8_t* to = b.Row(y) + x * b.BytesPerPixel();
      to[0] = static_cast<uint8_t>(p);
      to[1] = static_cast<uint8_t>(p >> 8);
      to[2] = static_cast<uint8_t>(p >> 16);
      if (bits == 32) {
        to[3] = static_cast<uint8_t>(p >> 24);
      }
    }
  }
  return b;
}

TEST(TexturePixels, RowsBottomFirstInRedGreenBlueOrderWithAlphaKeptOrOpaque) {
  const struct {
    int bits;
    bool use_alpha;
    uint32_t format;
  } cases[] = {{24, true, kTextureRGB}, {32, true, kTextureRGBA}, {32, false, kTextureRGBA}};
  for (const auto& c : cases) {
    const TTexturePixels t = TexturePixelsFromBitmap(Bitmap(c.bits), c.use_alpha);
    ASSERT_EQ(t.Format, c.format);
    const int bpp = c.format == kTextureRGBA ? 4 : 3;
    ASSERT_EQ(t.Pixels.size(), size_t(kCardWidth * kCardHeight * bpp));
    for (int k = 0; k < kCardHeight; ++k) {
      for (int x = 0; x < kCardWidth; ++x) {
        const uint32_t want = CardPixel(x, kCardHeight - 1 - k); // row k is picture row H-1-k
        const uint8_t* p = &t.Pixels[size_t((k * kCardWidth + x) * bpp)];
        EXPECT_EQ(p[0], (want >> 16) & 0xFF);
        EXPECT_EQ(p[1], (want >> 8) & 0xFF);
        EXPECT_EQ(p[2], want & 0xFF);
        if (bpp == 4) {
          EXPECT_EQ(p[3], c.use_alpha ? want >> 24 : 255u);
        }
      }
    }
  }
  EXPECT_TRUE(TexturePixelsFromBitmap(TDecodedBitmap(), true).Pixels.empty());
}

class ImageBitmap : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    RegisterImageDecoders();
  }
};

TEST_F(ImageBitmap, ContentFirstThenTheExtensionWithItsLogLine) {
  Write("base/textures/card.tga", testing::TgaCard(false));
  bool alpha = true;
  const TDecodedBitmap tga = LoadImageBitmap("base\\textures\\card.tga", alpha);
  EXPECT_EQ(tga.BitsPerPixel, 24);
  EXPECT_FALSE(alpha);
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{".todo. old loader : base\\textures\\card.tga"});

  // Junk under a picture's name, and no file at all: nothing, each with its own line.
  Write("base/textures/junk.png", std::vector<uint8_t>(40, 7));
  EXPECT_TRUE(LoadImageBitmap("base/textures/junk.png", alpha).IsEmpty());
  EXPECT_FALSE(alpha);
  EXPECT_TRUE(LoadImageBitmap("base/textures/none.png", alpha).IsEmpty());
  const auto messages = LogMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[1].rfind("Picture not decoded : base/textures/junk.png : ", 0), 0u);
  EXPECT_NE(messages[2].find("none.png"), std::string::npos);
}

TEST(MaterialModule, ListsLiveBetweenStartAndEnd) {
  MaterialInitialize();
  ASSERT_NE(MaterialList(), nullptr);
  EXPECT_EQ(MaterialList()->Count + TexturesList()->Count + SecondMaterialList()->Count, 0);
  EXPECT_EQ(MaterialNames()->Count, 0);
  MaterialFinalize();
  EXPECT_EQ(MaterialList(), nullptr);
  EXPECT_EQ(MaterialNames(), nullptr);
}

} // namespace
} // namespace meridia
