#include "imaging/TGAImage.h"

#include <gtest/gtest.h>

#include "support/FileSizeLimit.h"
#include "support/TemporaryFolder.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace meridia {
namespace {

class TGAImageTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A 3 by 2 uncompressed 24-bit picture whose pixel bytes count up from 100.
    shot_.Header.ImageType = 2;
    shot_.Header.Width = 3;
    shot_.Header.Height = 2;
    shot_.Header.PixelDepth = 24;
    shot_.SetPixelBuffer(3, 2, 3);
    std::iota(shot_.Pixels.begin(), shot_.Pixels.end(), uint8_t{100});
  }
  std::vector<uint8_t> Read(const char* name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  testing::TemporaryFolder folder_;
  std::string dir_ = folder_.path().string();
  TTGAImage shot_;
};

TEST_F(TGAImageTest, WritesHeaderFieldsLittleEndianThenPixels) {
  shot_.Header.XOrigin = 0x0102;
  shot_.Header.YOrigin = 0x0304;
  shot_.Header.ImageDescriptor = 0x20;
  ASSERT_TRUE(shot_.SaveToFile(dir_ + "\\shot.tga"));
  std::vector<uint8_t> expected = {0, 0, 2, 0, 0, 0, 0, 0, 2, 1, 4, 3, 3, 0, 2, 0, 24, 0x20};
  expected.resize(36);
  std::iota(expected.begin() + 18, expected.end(), uint8_t{100});
  EXPECT_EQ(Read("shot.tga"), expected);
  EXPECT_EQ(EntriesInDir(), 1u) << "no temporary file is left behind";

  std::array<uint8_t, TGAHeader::kSize> numbered{};
  std::iota(numbered.begin(), numbered.end(), uint8_t{1});
  EXPECT_EQ(TGAHeader::FromBytes(numbered).ColorMapLength, 0x0706);
  EXPECT_EQ(TGAHeader::FromBytes(numbered).ToBytes(), numbered);
}

TEST_F(TGAImageTest, PaletteOnlyForColourMapTypeOneAndNoPixelsWhenEncoded) {
  const struct {
    uint8_t color_map_type, image_type;
    size_t expected_size;
  } cases[] = {{1, 1, 18 + 6 + 6}, {0, 1, 18 + 6}, {2, 1, 18 + 6}, {1, 9, 18 + 6}, {0, 10, 18}};
  for (const auto& c : cases) {
    TTGAImage image;
    image.Header = {0, c.color_map_type, c.image_type, 0, 2, 24, 0, 0, 3, 2, 8, 0};
    image.Palette = {1, 2, 3, 4, 5, 6};
    image.SetPixelBuffer(3, 2, 1);
    ASSERT_TRUE(image.SaveToFile(dir_ + "/mapped.tga"));
    const std::vector<uint8_t> bytes = Read("mapped.tga");
    ASSERT_EQ(bytes.size(), c.expected_size) << int{c.color_map_type} << int{c.image_type};
    if (c.color_map_type == 1) {
      EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 18, bytes.begin() + 24), image.Palette);
    }
  }
}

TEST_F(TGAImageTest, FailureLeavesTheFileOnDiskUntouched) {
  std::ofstream(dir_ + "/kept.tga", std::ios::binary) << "keep";
  TTGAImage short_pixels = shot_;
  short_pixels.Pixels.pop_back();
  TTGAImage short_palette = shot_;
  short_palette.Header.ColorMapType = 1;
  short_palette.Header.ColorMapLength = 4;
  short_palette.Header.ColorMapEntrySize = 24;
  short_palette.Palette.assign(11, 0);
  TTGAImage huge_claim = shot_;
  huge_claim.Header.Width = huge_claim.Header.Height = 0xFFFF;
  huge_claim.Header.PixelDepth = 0xFF;
  for (const TTGAImage* image : {&short_pixels, &short_palette, &huge_claim}) {
    EXPECT_FALSE(image->SaveToFile(dir_ + "/kept.tga"));
    EXPECT_EQ(Read("kept.tga"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  }
  {
    // A disk that fills after the header: the old file stays, the part written goes.
    testing::FileSizeLimit full_disk(TGAHeader::kSize + 5);
    EXPECT_FALSE(shot_.SaveToFile(dir_ + "/kept.tga"));
  }
  EXPECT_EQ(Read("kept.tga"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(EntriesInDir(), 1u);

  EXPECT_FALSE(shot_.SaveToFile(dir_ + "/missing/shot.tga"));
  EXPECT_FALSE(shot_.SaveToFile(""));
  std::filesystem::create_directory(dir_ + "/folder.tga");
  EXPECT_FALSE(shot_.SaveToFile(dir_ + "/folder.tga"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/folder.tga"));
  EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(TGAImageTest, PixelBufferRefusesSizesNoHeaderCanDescribe) {
  EXPECT_EQ(shot_.Pixels.size(), 18u);
  for (const auto& [w, h, bpp] : {std::array{-1, 3, 3}, std::array{4, 65536, 3},
                                  std::array{4, 3, 32}, std::array{4, 3, -3}}) {
    shot_.SetPixelBuffer(w, h, bpp);
    EXPECT_EQ(shot_.PixelsAddress(), nullptr) << w << " " << h << " " << bpp;
  }
}

} // namespace
} // namespace meridia
