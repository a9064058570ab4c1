#include "decoders/ImageDecoders.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"
#include "support/TestPictures.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using testing::CardPixel;
using testing::TgaCard;
constexpr int kW = testing::kCardWidth, kH = testing::kCardHeight;

SDL_Surface* Card(bool alpha) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(
      0, kW, kH, 32, alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB888);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
      row[x] = alpha ? CardPixel(x, y) : (CardPixel(x, y) | 0xFF000000u);
    }
  }
  return s;
}

// The card's palette index: 0 grey, 1 red, 2 green, 3 blue.
uint8_t CardIndex(int x, int y) {
  const uint32_t rgb = CardPixel(x, y) & 0xFFFFFF;
  return rgb == 0xFF0000 ? 1 : rgb == 0x00FF00 ? 2 : rgb == 0x0000FF ? 3 : 0;
}
constexpr uint8_t kCardPalette[4][3] = {{128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// The same card as an 8-bit paletted surface.
SDL_Surface* PalettedCard() {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 8, SDL_PIXELFORMAT_INDEX8);
  const SDL_Color colors[4] = {
      {128, 128, 128, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
  SDL_SetPaletteColors(s->format->palette, colors, 0, 4);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      static_cast<uint8_t*>(s->pixels)[y * s->pitch + x] = CardIndex(x, y);
    }
  }
  return s;
}

Bytes PpmCard() {
  std::string text = "P6\n# a test card\n4 3\n255\n";
  Bytes file(text.begin(), text.end());
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const uint32_t p = CardPixel(x, y);
      file.insert(file.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                               static_cast<uint8_t>(p)});
    }
  }
  return file;
}

// Field writers for the files built here.
struct Writer {
  Bytes b;
  Writer& U8(uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Writer& LE16(uint32_t v) { return U8(v).U8(v >> 8); }
  Writer& LE32(uint32_t v) { return LE16(v).LE16(v >> 16); }
  Writer& BE16(uint32_t v) { return U8(v >> 8).U8(v); }
  Writer& BE32(uint32_t v) { return BE16(v >> 16).BE16(v); }
  Writer& Add(std::string_view text) { return Add(Bytes(text.begin(), text.end())); }
  Writer& Add(const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
  }
  Writer& Zeros(size_t n) { return Add(Bytes(n, 0)); }
};

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A little-endian TIFF with one directory, entries {tag, type, count, value} in the order given,
// then the data; a StripOffsets value of 0 points at the data.
Bytes Tiff(const std::vector<std::array<uint32_t, 4>>& entries, const Bytes& data) {
  Writer w;
  w.Add("II").LE16(42).LE32(8).LE16(static_cast<uint32_t>(entries.size()));
  for (auto [tag, type, count, value] : entries) {
    if (tag == 273 && value == 0) {
      value = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    }
    w.LE16(tag).LE16(type).LE32(count);
    (type == 3 ? w.LE16(value).LE16(0) : w.LE32(value));
  }
  return w.LE32(0).Add(data).b;
}

// The card as one uncompressed strip of red, green, blue, alpha, top row first. The alpha is
// declared associated, so libtiff hands the samples over unchanged.
Bytes TiffCard() {
  Writer pixels;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const uint32_t p = CardPixel(x, y);
      pixels.U8(p >> 16).U8(p >> 8).U8(p).U8(p >> 24);
    }
  }
  return Tiff({{256, 3, 1, kW},
               {257, 3, 1, kH},
               {258, 3, 1, 8},
               {259, 3, 1, 1},
               {262, 3, 1, 2},
               {273, 4, 1, 0},
               {277, 3, 1, 4},
               {278, 3, 1, kH},
               {279, 4, 1, kW * kH * 4},
               {338, 3, 1, 1}},
              pixels.b);
}

// A 128-byte PCX header of one 8-bit plane; the window from (0, 0) to (width - 1, height - 1).
Writer PcxHeader(int width, int height, bool run_length) {
  Writer w;
  w.U8(10).U8(5).U8(run_length ? 1 : 0).U8(8).LE16(0).LE16(0).LE16(width - 1).LE16(height - 1);
  return w.Zeros(65 - 12).U8(1).LE16(width).LE16(1).Zeros(128 - 70);
}

// The card as run-length lines of single literal indices, then the 256-colour palette.
Bytes PcxCard() {
  Writer w = PcxHeader(kW, kH, true);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      w.U8(CardIndex(x, y));
    }
  }
  w.U8(12);
  for (const auto& rgb : kCardPalette) {
    w.U8(rgb[0]).U8(rgb[1]).U8(rgb[2]);
  }
  return w.Zeros(3 * (256 - 4)).b;
}

// An icon directory entry and its bitmap header: 32-bit pixels, the height counting the mask.
Writer IcoBitmapHeader(int width, int rows) {
  Writer w;
  w.LE32(40).LE32(width).LE32(2 * rows).LE16(1).LE16(32);
  return w.Zeros(24);
}

// The card as a one-entry icon: rows bottom first in blue, green, red, alpha, then mask rows
// whose set bits keep the stored alpha.
Bytes IcoCard() {
  Writer w;
  w.LE16(0).LE16(1).LE16(1).U8(kW).U8(kH).U8(0).U8(0).LE16(1).LE16(32).LE32(0).LE32(22);
  w.Add(IcoBitmapHeader(kW, kH).b);
  for (int y = kH - 1; y >= 0; --y) {
    for (int x = 0; x < kW; ++x) {
      w.LE32(CardPixel(x, y));
    }
  }
  for (int y = 0; y < kH; ++y) {
    w.LE32(0xFFFFFFFF);
  }
  return w.b;
}

Bytes IffChunk(const char* id, const Bytes& data) {
  Writer w;
  w.Add(id).BE32(static_cast<uint32_t>(data.size())).Add(data);
  return (data.size() % 2 != 0 ? w.U8(0) : w).b;
}

Bytes Bmhd(int width, int height, int planes, int compression = 0) {
  Writer w;
  w.BE16(width).BE16(height).BE32(0).U8(planes).U8(0).U8(compression).U8(0).BE16(0);
  return IffChunk("BMHD", w.U8(1).U8(1).BE16(width).BE16(height).b);
}

Bytes Iff(const char* kind, const std::vector<Bytes>& chunks) {
  Writer body;
  body.Add(kind);
  for (const Bytes& chunk : chunks) {
    body.Add(chunk);
  }
  Writer w;
  return w.Add("FORM").BE32(static_cast<uint32_t>(body.b.size())).Add(body.b).b;
}

// The card as a packed 8-bit IFF picture; the reader widens lines to 16 pixels.
Bytes IffCard() {
  Writer palette, pixels;
  for (const auto& rgb : kCardPalette) {
    palette.U8(rgb[0]).U8(rgb[1]).U8(rgb[2]);
  }
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < 16; ++x) {
      pixels.U8(x < kW ? CardIndex(x, y) : 0);
    }
  }
  return Iff("PBM ", {Bmhd(kW, kH, 8), IffChunk("CMAP", palette.b), IffChunk("BODY", pixels.b)});
}

struct Fixture {
  const char* name; // file name given to the decoder
  Bytes bytes;
  const char* format;
  bool by_content;
  int bits;
  bool exact;     // lossless: every pixel as drawn
  bool whole;     // uncompressed: no shorter prefix decodes
  int width = kW; // as decoded
};

std::vector<Fixture> Fixtures() {
  testing::TemporaryFolder folder;
  auto saved = [&](SDL_Surface* s, const char* name, int (*save)(SDL_Surface*, const char*)) {
    const std::string path = folder / name;
    EXPECT_EQ(save(s, path.c_str()), 0) << name << ": " << SDL_GetError();
    SDL_FreeSurface(s);
    return ReadFile(path);
  };
  auto png = [](SDL_Surface* s, const char* path) { return IMG_SavePNG(s, path); };
  auto jpg = [](SDL_Surface* s, const char* path) { return IMG_SaveJPG(s, path, 100); };
  auto bmp = [](SDL_Surface* s, const char* path) { return SDL_SaveBMP(s, path); };
  return {
      {"card.png", saved(Card(false), "a.png", png), "png", true, 24, true, false},
      {"card.png", saved(Card(true), "b.png", png), "png", true, 32, true, false},
      {"card.jpg", saved(Card(false), "c.jpg", jpg), "jpeg", true, 24, false, false},
      {"card.bmp", saved(Card(false), "d.bmp", bmp), "bmp", true, 24, true, true},
      {"card.bmp", saved(PalettedCard(), "e.bmp", bmp), "bmp", true, 24, true, true},
      {"card.TGA", TgaCard(false), "tga", false, 24, true, true},
      {"dir.x/card.tga", TgaCard(true), "tga", false, 24, true, false},
      {"card.ppm", PpmCard(), "pnm", true, 24, true, true},
      {"card.tif", TiffCard(), "tiff", true, 32, true, true},
      {"card.pcx", PcxCard(), "pcx", true, 24, true, false},
      {"card.ico", IcoCard(), "ico", true, 32, true, true},
      {"card.iff", IffCard(), "iff", true, 24, true, true, 16},
  };
}

class ImageDecoders : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterImageDecoders(); }
};

TEST_F(ImageDecoders, EachFormatGivesTheCardTopRowFirstInBlueGreenRedOrder) {
  for (const Fixture& f : Fixtures()) {
    SCOPED_TRACE(std::string(f.format) + " " + f.name);
    TDecodeResult result;
    ASSERT_TRUE(DecodeImage(f.bytes, f.name, result)) << result.Error;
    EXPECT_EQ(result.Format, f.format);
    EXPECT_EQ(result.ByContent, f.by_content);
    const TDecodedBitmap& b = result.Bitmap;
    ASSERT_EQ(b.Width, f.width);
    ASSERT_EQ(b.Height, kH);
    ASSERT_EQ(b.BitsPerPixel, f.bits);
    if (!f.exact) {
      // Lossy chroma smears single pixels: the marked corners keep only their strongest
      // channel, which still tells orientation and channel order apart.
      const int corners[3][3] = {{0, 0, 2}, {kW - 1, 0, 1}, {0, kH - 1, 0}}; // x, y, channel
      for (const auto& c : corners) {
        const uint8_t* p = b.Row(c[1]) + c[0] * b.BytesPerPixel();
        for (int other = 0; other < 3; ++other) {
          if (other != c[2]) {
            EXPECT_GT(p[c[2]], p[other]) << c[0] << "," << c[1];
          }
        }
      }
      continue;
    }
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const uint8_t* p = b.Row(y) + x * b.BytesPerPixel();
        const uint32_t want = CardPixel(x, y);
        EXPECT_EQ(p[0], want & 0xFF) << x << "," << y;
        EXPECT_EQ(p[1], (want >> 8) & 0xFF) << x << "," << y;
        EXPECT_EQ(p[2], (want >> 16) & 0xFF) << x << "," << y;
        if (f.bits == 32) {
          EXPECT_EQ(p[3], want >> 24) << x << "," << y;
        }
      }
    }
  }
}

TEST_F(ImageDecoders, ContentBeatsTheExtensionWhichServesOnlyWhenNoSignatureMatches) {
  const std::vector<Fixture> fixtures = Fixtures();
  const Bytes& png = fixtures[0].bytes;
  TDecodeResult result;
  ASSERT_TRUE(DecodeImage(png, "base/textures/bark.JPG", result));
  EXPECT_EQ(result.Format, "png");
  EXPECT_TRUE(result.ByContent);

  const Bytes junk(64, 0x5A);
  const struct {
    const char* name;
    const char* format; // the format chosen, empty when none
  } cases[] = {
      {"junk.png", "png"}, {"junk.jpe", "jpeg"}, {"junk.dds", "dds"}, {"junk.psd", "psd"},
      {"junk.vda", "tga"}, {"junk.xyz", ""},     {"junk", ""},        {"junk.d/x", ""},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(DecodeImage(junk, c.name, result)) << c.name;
    EXPECT_EQ(result.Format, c.format) << c.name;
    EXPECT_FALSE(result.ByContent) << c.name;
    EXPECT_FALSE(result.Error.empty()) << c.name;
    EXPECT_TRUE(result.Bitmap.IsEmpty()) << c.name;
  }
  // Every extension of the published list names a format.
  for (const char* ext :
       {"bmp", "ico", "wmf", "emf", "jfif", "jpg",  "jpe", "jpeg", "rle", "dib",
        "win", "vst", "vda", "tga", "icb",  "tiff", "tif", "fax",  "eps", "pcx",
        "pcc", "scr", "rpf", "rla", "sgi",  "rgba", "rgb", "psd",  "pdd", "ppm",
        "pgm", "pbm", "cel", "pic", "pcd",  "cut",  "psp", "png",  "iff", "dds"}) {
    EXPECT_NE(FormatByExtension(ext), nullptr) << ext;
  }
}

TEST_F(ImageDecoders, HeadersThatClaimMorePixelsThanTheFileCanHoldAreRefusedBeforeDecoding) {
  std::vector<Fixture> fixtures = Fixtures();
  auto set16 = [](Bytes& b, size_t at, uint32_t v, bool big_endian) {
    b[at + (big_endian ? 1 : 0)] = static_cast<uint8_t>(v);
    b[at + (big_endian ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
  };
  Bytes png = fixtures[0].bytes; // IHDR width and height, big-endian 32 bits
  set16(png, 16, 0x7FFF, true);
  set16(png, 20, 0x7FFF, true);
  Bytes huge_png = png; // sides whose product overflows 64 bits
  std::fill(huge_png.begin() + 16, huge_png.begin() + 24, 0xFF);
  Bytes bmp = fixtures[3].bytes; // BITMAPINFOHEADER width and height
  set16(bmp, 18, 30000, false);
  set16(bmp, 22, 30000, false);
  Bytes tga = fixtures[5].bytes;
  set16(tga, 12, 65535, false);
  set16(tga, 14, 65535, false);
  Bytes ppm = {'P', '6', ' ', '9', '9', '9', '9', '9', ' ', '9', '9', '9', '9', '9', ' ', '1'};
  for (const auto& [name, bytes] :
       std::vector<std::pair<const char*, Bytes>>{{"a.png", png},
                                                  {"huge.png", huge_png},
                                                  {"b.bmp", bmp},
                                                  {"c.tga", tga},
                                                  {"d.ppm", ppm}}) {
    TDecodeResult result;
    EXPECT_FALSE(DecodeImage(bytes, name, result)) << name;
    EXPECT_NE(result.Error.find("does not fit the file"), std::string::npos)
        << name << ": " << result.Error;
  }
  // A PCX header whose line length reads negative as the loader's signed word.
  Bytes pcx(128 + 12, 0);
  pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[8] = 3, pcx[10] = 2, pcx[65] = 1;
  set16(pcx, 66, 0xFFD6, false);
  TDecodeResult result;
  EXPECT_FALSE(DecodeImage(pcx, "x.pcx", result));
  EXPECT_EQ(result.Format, "pcx");
  EXPECT_EQ(result.Error, "header damaged or truncated: 1 planes of -42 bytes a line");

  EXPECT_EQ(MostPixelsFor(0), 4096);
  EXPECT_EQ(MostPixelsFor(size_t{1} << 40), kMaxDecodedPixels);
}

uint32_t Crc32(const Bytes& bytes) {
  uint32_t crc = ~0u;
  for (const uint8_t byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) {
      crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
  }
  return ~crc;
}

Bytes PngChunk(const char* type, const Bytes& data) {
  const Bytes typed = Writer().Add(type).Add(data).b;
  Writer w;
  return w.BE32(static_cast<uint32_t>(data.size())).Add(typed).BE32(Crc32(typed)).b;
}

// A grey baseline JPEG whose Huffman tables hold one code each, for a DC difference of 0 and for
// end-of-block, so that each 8 by 8 block takes two bits: `data` bytes of them follow.
Bytes FlatJpeg(int width, int height, size_t data) {
  Writer w;
  w.BE16(0xFFD8).BE16(0xFFDB).BE16(67).U8(0).Add(Bytes(64, 1));
  w.BE16(0xFFC0).BE16(11).U8(8).BE16(height).BE16(width).U8(1).U8(1).U8(0x11).U8(0);
  for (const uint32_t table : {0x00, 0x10}) {
    w.BE16(0xFFC4).BE16(20).U8(table).U8(1).Zeros(15).U8(0);
  }
  w.BE16(0xFFDA).BE16(8).U8(1).U8(1).U8(0).U8(0).U8(63).U8(0);
  return w.Zeros(data).BE16(0xFFD9).b;
}

// Headers that claim what the file cannot back, each within the bound on every file of its size,
// so that only the format's own check stands between it and the decoder's allocation.
TEST_F(ImageDecoders, HostileHeadersAreRefusedBeforeTheDecoderAllocates) {
  const Bytes zeros100(100, 0);
  const Bytes tga_header = Writer().Zeros(2).U8(2).Zeros(9).LE16(8192).LE16(8192).U8(32).U8(0x20).b;
  Writer rle_tga;
  rle_tga.Zeros(2).U8(10).Zeros(9).LE16(1024).LE16(1024).U8(24).U8(0);
  for (int i = 0; i < 25; ++i) {
    rle_tga.U8(0xFF).U8(1).U8(2).U8(3);
  }
  Writer mapped_tga; // 256 palette entries of 3 bytes, then 1000 of the 1024 indices
  mapped_tga.U8(0).U8(1).U8(1).LE16(0).LE16(256).U8(24).Zeros(4).LE16(32).LE16(32).U8(8).U8(0);
  mapped_tga.Zeros(768 + 1000);
  auto bmp = [](uint32_t offset, int width, int height, size_t rows) {
    Writer w;
    w.Add("BM").LE32(0).LE32(0).LE32(offset).LE32(40).LE32(width).LE32(height).LE16(1).LE16(24);
    return w.Zeros(24).Zeros(rows).b;
  };
  Writer pcx_runs = PcxHeader(1024, 1024, true); // one run of "0 times", which this reader takes
  pcx_runs.U8(0xC0).U8(0x55).U8(12).Zeros(768);  // for the rest of the picture
  Writer png_idat;
  png_idat.Add(Bytes(kPngSignature.begin(), kPngSignature.end()));
  png_idat.Add(PngChunk("IHDR", Writer().BE32(2000).BE32(2000).U8(1).Zeros(4).b));
  png_idat.Add(PngChunk("IDAT", Bytes(300, 0))).Add(PngChunk("IEND", {}));
  Writer camg; // read as four bytes, then a BMHD chunk that other readers pass over
  camg.Zeros(4).Add(Bmhd(1024, 1024, 8));
  Writer ico_listed; // listed as 16 by 16, a whole 32 by 32 bitmap there
  ico_listed.LE16(0).LE16(1).LE16(1).U8(16).U8(16).U8(0).U8(0).LE16(1).LE16(32).LE32(0).LE32(22);
  ico_listed.Add(IcoBitmapHeader(32, 32).b).Zeros(32 * (128 + 4));
  Writer ico_two; // a whole 1 by 1 entry of 16 colours; the reader takes the 256-colour one
  ico_two.LE16(0).LE16(1).LE16(2).U8(1).U8(1).U8(16).U8(0).LE16(1).LE16(32).LE32(0).LE32(38);
  ico_two.U8(0).U8(0).U8(0).U8(0).LE16(1).LE16(32).LE32(0).LE32(86);
  ico_two.Add(IcoBitmapHeader(1, 1).b).Zeros(8).Add(IcoBitmapHeader(256, 256).b);
  const Bytes tiff_twice = Tiff({{256, 4, 1, 1024},
                                 {256, 3, 1, 4},
                                 {257, 4, 1, 1024},
                                 {257, 3, 1, 4},
                                 {258, 3, 1, 8},
                                 {262, 3, 1, 1},
                                 {273, 4, 1, 0},
                                 {279, 4, 1, 16}},
                                Bytes(16, 0));
  const Bytes tiff_short =
      Tiff({{256, 3, 1, 1024}, {257, 3, 1, 1024}, {262, 3, 1, 1}, {273, 4, 1, 0}}, Bytes(16, 0));
  const Bytes tiff_wide = Tiff({{256, 3, 1, 1500},
                                {257, 3, 1, 1500},
                                {258, 3, 1, 16},
                                {259, 3, 1, 8},
                                {262, 3, 1, 2},
                                {273, 4, 1, 0},
                                {277, 3, 1, 4},
                                {279, 4, 1, 16},
                                {338, 3, 1, 2}},
                               Bytes(16, 0));
  std::string ppm_text = "P3 200 200 255\n";
  for (int i = 0; i < 1000; ++i) {
    ppm_text += "1 ";
  }

  const struct {
    const char* name; // the file name given, which picks the format of a file without signature
    Bytes bytes;
    const char* refusal; // part of the error
  } cases[] = {
      {"tga.tga", Writer().Add(tga_header).Zeros(4096 - 18).b, "bytes of pixel data needed"},
      {"rle.tga", rle_tga.b, "bytes of run-length packets needed"},
      {"mapped.tga", mapped_tga.b, "1024 bytes of pixel data needed, 1000 there"},
      {"rows.bmp", bmp(54, 512, 512, 4), "bytes of pixel rows needed"},
      {"offset.bmp", bmp(154, 16, 16, 768), "768 bytes of pixel rows needed, 668 there"},
      {"lines.pcx", PcxHeader(512, 512, false).Add(zeros100).b, "bytes of pixel lines needed"},
      {"runs.pcx", pcx_runs.b, "bytes of run-length lines needed"},
      {"p6.ppm", Writer().Add("P6 512 512 255\n").Zeros(10).b, "bytes of pixel rows needed"},
      {"p3.ppm", Writer().Add(ppm_text).b, "240000 bytes of text samples needed, 2000 there"},
      {"idat.png", png_idat.b, "bytes of deflated rows needed"},
      {"scan.jpg", FlatJpeg(1024, 1024, 16), "bytes of entropy-coded data needed"},
      {"twice.iff",
       Iff("ILBM", {Bmhd(4, 4, 8), Bmhd(1024, 1024, 8), IffChunk("BODY", Bytes(64, 0))}),
       "two BMHD chunks"},
      {"camg.iff",
       Iff("ILBM", {Bmhd(4, 4, 8), IffChunk("CAMG", camg.b), IffChunk("BODY", Bytes(64, 0))}),
       "CAMG chunk of 32 bytes"},
      {"planes.iff", Iff("ILBM", {Bmhd(2048, 64, 0), IffChunk("BODY", {})}), "no bit planes"},
      {"lines.iff", Iff("ILBM", {Bmhd(256, 256, 8), IffChunk("BODY", zeros100)}),
       "bytes of bit-plane lines needed"},
      {"runs.iff", Iff("ILBM", {Bmhd(256, 256, 1, 1), IffChunk("BODY", zeros100)}),
       "bytes of run-length lines needed"},
      {"listed.ico", ico_listed.b, "icon entry 0 is listed as 16 x 16"},
      {"two.ico", ico_two.b, "bytes of icon bitmap needed"},
      {"twice.tif", tiff_twice, "tag 256 listed twice"},
      {"short.tif", tiff_short, "bytes of uncompressed samples needed"},
      {"wide.tif", tiff_wide, "bytes of decoded samples"},
  };
  for (const auto& c : cases) {
    TDecodeResult result;
    EXPECT_FALSE(DecodeImage(c.bytes, c.name, result)) << c.name;
    EXPECT_NE(result.Error.find(c.refusal), std::string::npos) << c.name << ": " << result.Error;
    EXPECT_TRUE(result.Bitmap.IsEmpty()) << c.name;
  }
}

TEST_F(ImageDecoders, EveryTruncatedPrefixEndsCleanly) {
  for (const Fixture& f : Fixtures()) {
    for (size_t length = 0; length < f.bytes.size(); ++length) {
      const Bytes prefix(f.bytes.begin(), f.bytes.begin() + static_cast<ptrdiff_t>(length));
      TDecodeResult result;
      const bool decoded = DecodeImage(prefix, f.name, result);
      EXPECT_FALSE(decoded && f.whole) << f.name << " cut to " << length << " bytes";
      if (decoded) {
        // Some formats decode what is there; a result is always a whole picture.
        EXPECT_EQ(result.Bitmap.Pixels.size(),
                  result.Bitmap.RowBytes() * static_cast<size_t>(result.Bitmap.Height));
      } else {
        EXPECT_TRUE(result.Bitmap.IsEmpty());
      }
    }
  }
}

} // namespace
} // namespace meridia
