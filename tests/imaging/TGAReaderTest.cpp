#include "imaging/TGAReader.h"

#include "imaging/TGAImage.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace meridia {
namespace {

using Bytes = std::vector<uint8_t>;

TGAHeader Header(uint8_t image_type, uint16_t w, uint16_t h, uint8_t depth,
                 uint8_t descriptor = 0) {
  TGAHeader header;
  header.ImageType = image_type;
  header.Width = w;
  header.Height = h;
  header.PixelDepth = depth;
  header.ImageDescriptor = descriptor;
  return header;
}

TGAHeader Mapped(uint8_t image_type, uint16_t w, uint16_t h, uint16_t first, uint16_t length,
                 uint8_t entry_size = 24) {
  TGAHeader header = Header(image_type, w, h, 8);
  header.ColorMapType = 1;
  header.ColorMapFirstEntry = first;
  header.ColorMapLength = length;
  header.ColorMapEntrySize = entry_size;
  return header;
}

Bytes File(const TGAHeader& header, const Bytes& after_header) {
  const auto head = header.ToBytes();
  Bytes file(head.size() + after_header.size());
  std::copy(head.begin(), head.end(), file.begin());
  std::copy(after_header.begin(), after_header.end(), file.begin() + head.size());
  return file;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Loaded {
  bool ok;
  TzoImage image;
};

Loaded Load(const Bytes& file) {
  Loaded loaded{false, {}};
  loaded.image.SetPixelFormat(24);
  loaded.image.SetSize(5, 5); // Whatever was there before must not leak into the result.
  loaded.ok = LoadTGAFromMemory(loaded.image, file);
  return loaded;
}

void ExpectShape(const TzoImage& image, int32_t w, int32_t h, int32_t bytes_per_pixel) {
  EXPECT_EQ(image.Width, w);
  EXPECT_EQ(image.Height, h);
  EXPECT_EQ(image.BytesPerPixel, bytes_per_pixel);
  EXPECT_EQ(image.Data.size(), static_cast<size_t>(w * h * bytes_per_pixel));
}

void ExpectEmpty(const TzoImage& image) {
  ExpectShape(image, 0, 0, 1);
  EXPECT_TRUE(image.Rows.empty());
}

// A 2 by 2 palette of four entries (stored blue, green, red) starting at entry 10.
const Bytes kPalette = {1, 2, 3, 11, 12, 13, 21, 22, 23, 31, 32, 33};

TEST(TGAReaderFormats, TrueColourIsKeptAsStored) {
  const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  Loaded rgb = Load(File(Header(2, 3, 2, 24), pixels));
  ASSERT_TRUE(rgb.ok);
  ExpectShape(rgb.image, 3, 2, 3);
  EXPECT_EQ(rgb.image.Data, pixels) << "bottom-left origin: rows stay as stored";

  Loaded high_colour = Load(File(Header(2, 2, 1, 16), {0x1F, 0x7C, 0xE0, 0x03}));
  ASSERT_TRUE(high_colour.ok);
  ExpectShape(high_colour.image, 2, 1, 2);
  EXPECT_EQ(high_colour.image.Data, (Bytes{0x1F, 0x7C, 0xE0, 0x03}));
}

TEST(TGAReaderFormats, GreyBecomesThreeEqualChannels) {
  const Bytes expected = {0, 0, 0, 90, 90, 90, 255, 255, 255};
  Loaded raw = Load(File(Header(3, 3, 1, 8), {0, 90, 255}));
  ASSERT_TRUE(raw.ok);
  ExpectShape(raw.image, 3, 1, 3);
  EXPECT_EQ(raw.image.Data, expected);

  // 0x00: one literal; 0x81: one pixel twice.
  Loaded encoded = Load(File(Header(11, 3, 1, 8), {0x00, 0, 0x81, 90}));
  ASSERT_TRUE(encoded.ok);
  EXPECT_EQ(encoded.image.Data, (Bytes{0, 0, 0, 90, 90, 90, 90, 90, 90}));
}

TEST(TGAReaderFormats, ColourMappedUsesStoredEntryOrder) {
  const Bytes indices = {10, 13, 12, 11};
  const Bytes expected = {1, 2, 3, 31, 32, 33, 21, 22, 23, 11, 12, 13};
  Loaded raw = Load(File(Mapped(1, 2, 2, 10, 4), Cat(kPalette, indices)));
  ASSERT_TRUE(raw.ok);
  ExpectShape(raw.image, 2, 2, 3);
  EXPECT_EQ(raw.image.Data, expected);

  Loaded encoded = Load(File(Mapped(9, 2, 2, 10, 4), Cat(kPalette, {0x03, 10, 13, 12, 11})));
  ASSERT_TRUE(encoded.ok);
  EXPECT_EQ(encoded.image.Data, expected);

  // A palette on a true-colour picture is passed over, not applied.
  TGAHeader with_palette = Mapped(2, 1, 1, 0, 4);
  with_palette.PixelDepth = 24;
  Loaded skipped = Load(File(with_palette, Cat(kPalette, {7, 8, 9})));
  ASSERT_TRUE(skipped.ok);
  EXPECT_EQ(skipped.image.Data, (Bytes{7, 8, 9}));
}

TEST(TGAReaderFormats, OtherPaletteEntrySizesAreRefusedKeepingThePixels) {
  for (const uint8_t entry_size : {16, 32, 15}) {
    const Bytes palette(4 * (entry_size / 8), 0xAA);
    Loaded loaded = Load(File(Mapped(1, 2, 2, 0, 4, entry_size), Cat(palette, {0, 1, 2, 3})));
    EXPECT_FALSE(loaded.ok) << int{entry_size};
    ExpectShape(loaded.image, 2, 2, 1);
    EXPECT_EQ(loaded.image.Data, (Bytes{0, 1, 2, 3})) << int{entry_size};
  }
}

TEST(TGAReaderFormats, PaletteIndexOutsideTheMapIsBlack) {
  // Below the first entry, one past the last, and far beyond the stored palette.
  Loaded loaded = Load(File(Mapped(1, 4, 1, 10, 4), Cat(kPalette, {9, 14, 255, 11})));
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.image.Data, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 12, 13}));

  Loaded no_entries = Load(File(Mapped(1, 1, 1, 0, 0), {0}));
  ASSERT_TRUE(no_entries.ok);
  EXPECT_EQ(no_entries.image.Data, (Bytes{0, 0, 0}));
}

TEST(TGAReaderFormats, IdentificationFieldIsPassedOver) {
  TGAHeader header = Header(3, 2, 1, 8);
  header.IdLength = 3;
  Loaded loaded = Load(File(header, {'a', 'b', 'c', 40, 50}));
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.image.Data, (Bytes{40, 40, 40, 50, 50, 50}));
}

TEST(TGAReaderOrientation, DescriptorBitsPutRowZeroAtTheBottomLeft) {
  // 2 by 2 grey, stored as 1 2 / 3 4.
  const struct {
    uint8_t descriptor;
    Bytes expected; // The first channel of each pixel, row 0 first.
  } table[] = {
      {0x00, {1, 2, 3, 4}}, {0x10, {2, 1, 4, 3}}, {0x20, {3, 4, 1, 2}},
      {0x30, {4, 3, 2, 1}}, {0x08, {1, 2, 3, 4}}, // Alpha bits do not move pixels.
  };
  for (const auto& row : table) {
    Loaded loaded = Load(File(Header(3, 2, 2, 8, row.descriptor), {1, 2, 3, 4}));
    ASSERT_TRUE(loaded.ok);
    Bytes first_channels;
    for (size_t i = 0; i < loaded.image.Data.size(); i += 3) {
      first_channels.push_back(loaded.image.Data[i]);
    }
    EXPECT_EQ(first_channels, row.expected) << "descriptor " << int{row.descriptor};
  }

  // Pixels move whole: all channels of a 24-bit pixel stay together.
  Loaded rgb = Load(File(Header(2, 2, 1, 24, 0x10), {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rgb.image.Data, (Bytes{4, 5, 6, 1, 2, 3}));
}

TEST(TGAReaderPackets, RepeatAndLiteralCounts) {
  const struct {
    const char* name;
    uint16_t width;
    Bytes packets;
    Bytes expected;
  } table[] = {
      {"0x80 repeats once", 1, {0x80, 7, 8, 9}, {7, 8, 9}},
      {"0x00 copies one literal", 1, {0x00, 7, 8, 9}, {7, 8, 9}},
      {"repeat then literals",
       4,
       {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9},
       {1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"repeat cut at the end", 3, {0xFF, 1, 2, 3}, {1, 2, 3, 1, 2, 3, 1, 2, 3}},
      {"literals cut at the end", 2, {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6}},
      {"second packet cut",
       3,
       {0x01, 1, 2, 3, 4, 5, 6, 0x85, 7, 8, 9},
       {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"bytes after the picture ignored", 1, {0x00, 1, 2, 3, 0x85, 4, 5, 6}, {1, 2, 3}},
  };
  for (const auto& row : table) {
    Loaded loaded = Load(File(Header(10, row.width, 1, 24), row.packets));
    EXPECT_TRUE(loaded.ok) << row.name;
    EXPECT_EQ(loaded.image.Data, row.expected) << row.name;
  }

  // A 300-pixel picture takes three packets: 128 + 128 + 44.
  Loaded long_run = Load(File(Header(11, 300, 1, 8), {0xFF, 1, 0xFF, 2, 0xFF, 3}));
  ASSERT_TRUE(long_run.ok);
  EXPECT_EQ(long_run.image.Data[3 * 127], 1);
  EXPECT_EQ(long_run.image.Data[3 * 128], 2);
  EXPECT_EQ(long_run.image.Data[3 * 299], 3);
}

TEST(TGAReaderHostile, SizesThatDoNotFitTheDataGiveAnEmptyImage) {
  TGAHeader long_id = Header(3, 1, 1, 8);
  long_id.IdLength = 200;
  TGAHeader huge_raw = Header(2, 65535, 65535, 32);
  TGAHeader huge_encoded = Header(10, 65535, 65535, 32);
  const struct {
    const char* name;
    Bytes file;
  } table[] = {
      {"nothing", {}},
      {"header cut", Bytes(17, 0)},
      {"identification field past the end", File(long_id, {1, 2, 3})},
      {"pixel depth 0", File(Header(2, 1, 1, 0), {1})},
      {"pixel depth 7", File(Header(3, 1, 1, 7), {1})},
      {"palette cut", File(Mapped(1, 1, 1, 0, 4), Bytes(11, 1))},
      {"palette longer than the file", File(Mapped(1, 1, 1, 0, 65535), {0})},
      {"raw pixels one byte short", File(Header(2, 2, 2, 24), Bytes(11, 1))},
      {"raw grey one pixel short", File(Header(3, 4, 1, 8), {1, 2, 3})},
      {"packets end before the picture", File(Header(11, 4, 1, 8), {0x81, 5})},
      {"repeat packet without its pixel", File(Header(10, 2, 1, 24), {0x81, 1, 2})},
      {"literal packet short", File(Header(10, 2, 1, 24), {0x01, 1, 2, 3, 4, 5})},
      {"huge raw picture on a few bytes", File(huge_raw, Bytes(64, 1))},
      {"huge encoded picture on a few bytes", File(huge_encoded, Bytes(64, 0xFF))},
  };
  for (const auto& row : table) {
    Loaded loaded = Load(row.file);
    EXPECT_FALSE(loaded.ok) << row.name;
    SCOPED_TRACE(row.name);
    ExpectEmpty(loaded.image);
  }
}

TEST(TGAReaderHostile, EmptyPicturesAreReadAsEmpty) {
  for (const uint16_t w : {0, 3}) {
    const uint16_t h = w == 0 ? 3 : 0;
    Loaded loaded = Load(File(Header(11, w, h, 8), {}));
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.image.DataSize, 0);
    EXPECT_EQ(loaded.image.Rows.size(), size_t{h});
  }
}

// Every prefix of a valid file either reads as the whole picture (when the missing tail was not
// needed) or is refused with an empty image; nothing in between, nothing outside the bytes.
TEST(TGAReaderHostile, EveryTruncatedPrefixIsRefusedCleanly) {
  TGAHeader grey_top_left = Header(11, 3, 3, 8, 0x20);
  const struct {
    const char* name;
    Bytes file;
  } table[] = {
      {"raw true colour", File(Header(2, 2, 2, 24), Bytes(12, 0x5A))},
      {"raw grey mirrored", File(Header(3, 3, 2, 8, 0x10), {1, 2, 3, 4, 5, 6})},
      {"encoded grey top-left", File(grey_top_left, {0x82, 7, 0x02, 1, 2, 3, 0x82, 8})},
      {"raw mapped", File(Mapped(1, 2, 2, 10, 4), Cat(kPalette, {10, 11, 12, 13}))},
      {"encoded mapped", File(Mapped(9, 3, 2, 10, 4), Cat(kPalette, {0x82, 11, 0x02, 12, 13, 10}))},
      {"encoded true colour with trailing bytes",
       File(Header(10, 3, 1, 24), {0x81, 1, 2, 3, 0x00, 4, 5, 6, 0xEE, 0xEE})},
  };
  for (const auto& row : table) {
    const Loaded whole = Load(row.file);
    ASSERT_TRUE(whole.ok) << row.name;
    for (size_t length = 0; length < row.file.size(); ++length) {
      // A copy of exactly this length, so AddressSanitizer sees any read past it.
      const Bytes prefix(row.file.begin(), row.file.begin() + static_cast<ptrdiff_t>(length));
      const Loaded loaded = Load(prefix);
      SCOPED_TRACE(std::string(row.name) + ", first " + std::to_string(length) + " bytes");
      if (loaded.ok) {
        EXPECT_EQ(loaded.image.Data, whole.image.Data);
      } else {
        ExpectEmpty(loaded.image);
      }
    }
  }
}

class TGAReaderFileTest : public ::testing::Test {
protected:
  testing::TemporaryFolder folder_;
  std::string dir_ = folder_.path().string();
};

TEST_F(TGAReaderFileTest, LoadTGAReadsWhatTheWriterWrote) {
  TTGAImage shot;
  shot.Header = Header(2, 2, 2, 24);
  shot.SetPixelBuffer(2, 2, 3);
  for (size_t i = 0; i < shot.Pixels.size(); ++i) {
    shot.Pixels[i] = static_cast<uint8_t>(200 - i);
  }
  ASSERT_TRUE(shot.SaveToFile(dir_ + "\\shot.tga"));

  TzoImage image;
  ASSERT_TRUE(image.LoadTGA(dir_ + "\\shot.tga"));
  ExpectShape(image, 2, 2, 3);
  EXPECT_EQ(image.Data, shot.Pixels);
}

TEST_F(TGAReaderFileTest, MissingOrUnreadableFilesLeaveTheImageAlone) {
  std::filesystem::create_directory(dir_ + "/folder.tga");
  for (const std::string& name : {dir_ + "/missing.tga", dir_ + "/folder.tga", std::string()}) {
    TzoImage image;
    image.SetSize(2, 3);
    EXPECT_FALSE(image.LoadTGA(name)) << name;
    EXPECT_EQ(image.DataSize, 6) << name;
  }
}

} // namespace
} // namespace meridia
