#include "imaging/TGAReader.h"

#include "imaging/TGAImage.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <filesystem>
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
                 uint8_t entry_size = 24, uint8_t depth = 8) {
  TGAHeader header = Header(image_type, w, h, depth);
  header.ColorMapType = 1;
  header.ColorMapFirstEntry = first;
  header.ColorMapLength = length;
  header.ColorMapEntrySize = entry_size;
  return header;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes File(const TGAHeader& header, const Bytes& after_header) {
  const auto head = header.ToBytes();
  return Cat(Bytes(head.begin(), head.end()), after_header);
}

struct Loaded {
  bool ok;
  TzoImage image;
};

Loaded Load(const Bytes& file) {
  Loaded loaded{false, {}};
  loaded.image.SetPixelFormat(24);
  loaded.image.SetSize(5, 5); // whatever was there before must not leak into the result
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

TGAHeader WithId(TGAHeader header, uint8_t id_length) {
  header.IdLength = id_length;
  return header;
}

// Four palette entries (stored blue, green, red) from entry 10.
const Bytes kPalette = {1, 2, 3, 11, 12, 13, 21, 22, 23, 31, 32, 33};
const Bytes kMapped = {1, 2, 3, 31, 32, 33, 21, 22, 23, 11, 12, 13}; // indices 10 13 12 11

TEST(TGAReader, ReadsEveryFormat) {
  const struct {
    const char* name;
    Bytes file;
    Bytes expected;
  } table[] = {
      {"true colour as stored, bottom-left origin",
       File(Header(2, 3, 1, 24), {1, 2, 3, 4, 5, 6, 7, 8, 9}),
       {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"high colour as stored",
       File(Header(2, 2, 1, 16), {0x1F, 0x7C, 0xE0, 0x03}),
       {0x1F, 0x7C, 0xE0, 0x03}},
      {"grey to three channels",
       File(Header(3, 3, 1, 8), {0, 90, 255}),
       {0, 0, 0, 90, 90, 90, 255, 255, 255}},
      {"encoded grey",
       File(Header(11, 3, 1, 8), {0x00, 0, 0x81, 90}),
       {0, 0, 0, 90, 90, 90, 90, 90, 90}},
      {"mapped", File(Mapped(1, 4, 1, 10, 4), Cat(kPalette, {10, 13, 12, 11})), kMapped},
      {"encoded mapped", File(Mapped(9, 4, 1, 10, 4), Cat(kPalette, {0x03, 10, 13, 12, 11})),
       kMapped},
      {"palette on true colour passed over",
       File(Mapped(2, 1, 1, 0, 4, 24, 24), Cat(kPalette, {7, 8, 9})),
       {7, 8, 9}},
      // Below the first entry, one past the last, far beyond the stored palette.
      {"index outside the map is black",
       File(Mapped(1, 4, 1, 10, 4), Cat(kPalette, {9, 14, 255, 11})),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 12, 13}},
      {"map without entries", File(Mapped(1, 1, 1, 0, 0), {0}), {0, 0, 0}},
      {"identification passed over",
       File(WithId(Header(3, 2, 1, 8), 3), {'a', 'b', 'c', 40, 50}),
       {40, 40, 40, 50, 50, 50}},
      // Descriptor bits move whole pixels so that row 0 is the bottom one, left first.
      {"right-to-left", File(Header(2, 2, 1, 24, 0x10), {1, 2, 3, 4, 5, 6}), {4, 5, 6, 1, 2, 3}},
      {"top-down", File(Header(3, 1, 2, 8, 0x20), {1, 2}), {2, 2, 2, 1, 1, 1}},
      {"both", File(Header(3, 2, 2, 8, 0x30), {1, 2, 3, 4}), {4, 4, 4, 3, 3, 3, 2, 2, 2, 1, 1, 1}},
      {"alpha bits move nothing", File(Header(3, 2, 1, 8, 0x08), {1, 2}), {1, 1, 1, 2, 2, 2}},
      // Packets: 0x80 repeats once, 0x00 copies one literal; runs are cut at the picture's end.
      {"repeat then literals",
       File(Header(10, 4, 1, 24), {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}),
       {1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"repeat once", File(Header(10, 1, 1, 24), {0x80, 7, 8, 9}), {7, 8, 9}},
      {"repeat cut", File(Header(10, 3, 1, 24), {0xFF, 1, 2, 3}), {1, 2, 3, 1, 2, 3, 1, 2, 3}},
      {"literals cut",
       File(Header(10, 2, 1, 24), {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
       {1, 2, 3, 4, 5, 6}},
      {"second packet cut",
       File(Header(10, 3, 1, 24), {0x01, 1, 2, 3, 4, 5, 6, 0x85, 7, 8, 9}),
       {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"bytes after the picture ignored",
       File(Header(10, 1, 1, 24), {0x00, 1, 2, 3, 0x85, 4, 5, 6}),
       {1, 2, 3}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const Loaded loaded = Load(row.file);
    ASSERT_TRUE(loaded.ok);
    const auto header = TGAHeader::FromBytes(std::span<const uint8_t, 18>(row.file.data(), 18));
    const int32_t pixels = header.Width * header.Height;
    ExpectShape(loaded.image, header.Width, header.Height,
                static_cast<int32_t>(row.expected.size()) / pixels);
    EXPECT_EQ(loaded.image.Data, row.expected);
  }

  // A 300-pixel picture takes three packets: 128 + 128 + 44.
  Loaded long_run = Load(File(Header(11, 300, 1, 8), {0xFF, 1, 0xFF, 2, 0xFF, 3}));
  ASSERT_TRUE(long_run.ok);
  EXPECT_EQ(long_run.image.Data[3 * 127], 1);
  EXPECT_EQ(long_run.image.Data[3 * 128], 2);
  EXPECT_EQ(long_run.image.Data[3 * 299], 3);

  // Empty pictures read as empty.
  for (const auto& [w, h] : {std::pair<uint16_t, uint16_t>{0, 3}, {3, 0}}) {
    Loaded loaded = Load(File(Header(11, w, h, 8), {}));
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.image.DataSize, 0);
    EXPECT_EQ(loaded.image.Rows.size(), size_t{h});
  }
}

TEST(TGAReader, OtherPaletteEntrySizesAreRefusedKeepingThePixels) {
  for (const uint8_t entry_size : {16, 32, 15}) {
    const Bytes palette(4 * ((entry_size + 7) / 8), 0xAA); // 15 bits take two bytes
    Loaded loaded = Load(File(Mapped(1, 2, 2, 0, 4, entry_size), Cat(palette, {0, 1, 2, 3})));
    EXPECT_FALSE(loaded.ok) << int{entry_size};
    ExpectShape(loaded.image, 2, 2, 1);
    EXPECT_EQ(loaded.image.Data, (Bytes{0, 1, 2, 3})) << int{entry_size};
  }
}

TEST(TGAReader, SizesThatDoNotFitTheDataGiveAnEmptyImage) {
  const struct {
    const char* name;
    Bytes file;
  } table[] = {
      {"nothing", {}},
      {"header cut", Bytes(17, 0)},
      {"identification field past the end", File(WithId(Header(3, 1, 1, 8), 200), {1, 2, 3})},
      {"pixel depth 0", File(Header(2, 1, 1, 0), {1})},
      {"pixel depth 7", File(Header(3, 1, 1, 7), {1})},
      {"palette cut", File(Mapped(1, 1, 1, 0, 4), Bytes(11, 1))},
      {"palette longer than the file", File(Mapped(1, 1, 1, 0, 65535), {0})},
      {"raw pixels one byte short", File(Header(2, 2, 2, 24), Bytes(11, 1))},
      {"raw grey one pixel short", File(Header(3, 4, 1, 8), {1, 2, 3})},
      {"packets end before the picture", File(Header(11, 4, 1, 8), {0x81, 5})},
      {"repeat packet without its pixel", File(Header(10, 2, 1, 24), {0x81, 1, 2})},
      {"literal packet short", File(Header(10, 2, 1, 24), {0x01, 1, 2, 3, 4, 5})},
      {"huge raw picture on a few bytes", File(Header(2, 65535, 65535, 32), Bytes(64, 1))},
      {"huge encoded picture on a few bytes", File(Header(10, 65535, 65535, 32), Bytes(64, 0xFF))},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Loaded loaded = Load(row.file);
    EXPECT_FALSE(loaded.ok);
    ExpectEmpty(loaded.image);
  }
}

// Every prefix of a valid file either reads as the whole picture (when the missing tail was not
// needed) or is refused with an empty image; nothing in between, nothing outside the bytes.
TEST(TGAReader, EveryTruncatedPrefixIsRefusedCleanly) {
  const struct {
    const char* name;
    Bytes file;
  } table[] = {
      {"raw true colour", File(Header(2, 2, 2, 24), Bytes(12, 0x5A))},
      {"raw grey mirrored", File(Header(3, 3, 2, 8, 0x10), {1, 2, 3, 4, 5, 6})},
      {"encoded grey top-left", File(Header(11, 3, 3, 8, 0x20), {0x82, 7, 0x02, 1, 2, 3, 0x82, 8})},
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

TEST(TGAReader, LoadTGAReadsWhatTheWriterWroteAndLeavesTheImageOnFailure) {
  testing::TemporaryFolder folder;
  TTGAImage shot;
  shot.Header = Header(2, 2, 2, 24);
  shot.SetPixelBuffer(2, 2, 3);
  for (size_t i = 0; i < shot.Pixels.size(); ++i) {
    shot.Pixels[i] = static_cast<uint8_t>(200 - i);
  }
  ASSERT_TRUE(shot.SaveToFile(folder / "shot.tga"));
  TzoImage image;
  ASSERT_TRUE(image.LoadTGA(folder.path().string() + "\\shot.tga"));
  ExpectShape(image, 2, 2, 3);
  EXPECT_EQ(image.Data, shot.Pixels);
  // A true-colour picture may carry a colour map; 15-bit entries take two bytes each, in the
  // file and when skipped.
  shot.Header = Mapped(2, 2, 2, 0, 3, 15, 24);
  shot.Palette = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(shot.SaveToFile(folder / "mapped.tga"));
  EXPECT_EQ(std::filesystem::file_size(folder / "mapped.tga"), 18u + 6u + 12u);
  ASSERT_TRUE(image.LoadTGA(folder / "mapped.tga"));
  EXPECT_EQ(image.Data, shot.Pixels);

  std::filesystem::create_directory(folder / "folder.tga");
  for (const std::string& name : {folder / "missing.tga", folder / "folder.tga", std::string()}) {
    TzoImage kept;
    kept.SetSize(2, 3);
    EXPECT_FALSE(kept.LoadTGA(name)) << name;
    EXPECT_EQ(kept.DataSize, 6) << name;
  }
}

} // namespace
} // namespace meridia
