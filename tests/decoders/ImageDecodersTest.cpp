#include "decoders/ImageDecoders.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"
#include "support/TestPictures.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <fstream>
#include <iterator>
#include <string>
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

// The same card as an 8-bit paletted surface: index 0 grey, 1 red, 2 green, 3 blue.
SDL_Surface* PalettedCard() {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 8, SDL_PIXELFORMAT_INDEX8);
  const SDL_Color colors[4] = {
      {128, 128, 128, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
  SDL_SetPaletteColors(s->format->palette, colors, 0, 4);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const uint32_t rgb = CardPixel(x, y) & 0xFFFFFF;
      static_cast<uint8_t*>(s->pixels)[y * s->pitch + x] = rgb == 0xFF0000   ? 1
                                                           : rgb == 0x00FF00 ? 2
                                                           : rgb == 0x0000FF ? 3
                                                                             : 0;
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

struct Fixture {
  const char* name; // file name given to the decoder
  Bytes bytes;
  const char* format;
  bool by_content;
  int bits;
  bool exact; // lossless: every pixel as drawn
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
      {"card.png", saved(Card(false), "a.png", png), "png", true, 24, true},
      {"card.png", saved(Card(true), "b.png", png), "png", true, 32, true},
      {"card.jpg", saved(Card(false), "c.jpg", jpg), "jpeg", true, 24, false},
      {"card.bmp", saved(Card(false), "d.bmp", bmp), "bmp", true, 24, true},
      {"card.bmp", saved(PalettedCard(), "e.bmp", bmp), "bmp", true, 24, true},
      {"card.TGA", TgaCard(false), "tga", false, 24, true},
      {"dir.x/card.tga", TgaCard(true), "tga", false, 24, true},
      {"card.ppm", PpmCard(), "pnm", true, 24, true},
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
    ASSERT_EQ(b.Width, kW);
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
  EXPECT_EQ(result.Error, "header damaged or truncated");

  EXPECT_EQ(MostPixelsFor(0), 4096);
  EXPECT_EQ(MostPixelsFor(size_t{1} << 40), kMaxDecodedPixels);
}

TEST_F(ImageDecoders, EveryTruncatedPrefixEndsCleanly) {
  for (const Fixture& f : Fixtures()) {
    for (size_t length = 0; length < f.bytes.size(); ++length) {
      const Bytes prefix(f.bytes.begin(), f.bytes.begin() + static_cast<ptrdiff_t>(length));
      TDecodeResult result;
      if (DecodeImage(prefix, f.name, result)) {
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
