#include "decoders/DDSDecoder.h"

#include "decoders/DDSHeader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia {
namespace {

using Bytes = std::vector<uint8_t>;
using BGRA = std::array<uint8_t, 4>;

DDSHeader Compressed(uint32_t width, uint32_t height, uint32_t fourcc) {
  DDSHeader header;
  header.Width = width;
  header.Height = height;
  header.PixelFormat.Flags = DDSPixelFormat::kFourCC;
  header.PixelFormat.FourCC = fourcc;
  return header;
}

DDSHeader Masked(uint32_t width, uint32_t height, uint32_t flags, uint32_t bits, uint32_t r,
                 uint32_t g, uint32_t b, uint32_t a) {
  DDSHeader header;
  header.Width = width;
  header.Height = height;
  header.PixelFormat = {32, flags, 0, bits, r, g, b, a};
  return header;
}

Bytes File(const DDSHeader& header, const Bytes& data) {
  const auto head = header.ToBytes();
  Bytes file(head.size() + data.size());
  std::copy(head.begin(), head.end(), file.begin());
  std::copy(data.begin(), data.end(), file.begin() + static_cast<ptrdiff_t>(head.size()));
  return file;
}

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// A colour block: two 565 end points and one two-bit index a pixel, pixel 0 first.
Bytes ColorBlock(uint32_t c0, uint32_t c1, const std::array<int, 16>& index) {
  Bytes block;
  Put16(block, c0);
  Put16(block, c1);
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    bits |= static_cast<uint32_t>(index[i]) << (2 * i);
  }
  Put32(block, bits);
  return block;
}

// An interpolated-alpha block: end points and one three-bit code a pixel.
Bytes AlphaBlock(uint8_t a0, uint8_t a1, const std::array<int, 16>& code) {
  Bytes block = {a0, a1};
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    bits |= static_cast<uint64_t>(code[i]) << (3 * i);
  }
  for (int i = 0; i < 6; ++i) {
    block.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  return block;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr std::array<int, 16> kColumnIndex = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
constexpr std::array<int, 16> kEachCode = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
constexpr uint32_t kRed565 = 0xf800, kBlue565 = 0x001f;

struct Result {
  bool ok;
  TDecodedBitmap bitmap;
  std::string error;
};

Result Decode(const Bytes& file) {
  Result result{false, {}, "untouched"};
  result.bitmap.Allocate(3, 3, 24); // whatever was there before must not survive a failure
  result.ok = DecodeDDS(file, result.bitmap, result.error);
  return result;
}

BGRA At(const TDecodedBitmap& bitmap, int x, int y) {
  const uint8_t* p = bitmap.Row(y) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

// Decodes and compares every pixel of a 4-wide picture, rows top first.
void ExpectPixels(const Bytes& file, int width, const std::vector<BGRA>& expected) {
  const Result r = Decode(file);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.bitmap.BitsPerPixel, 32);
  ASSERT_EQ(r.bitmap.Width, width);
  ASSERT_EQ(static_cast<size_t>(r.bitmap.Width * r.bitmap.Height), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
    EXPECT_EQ(At(r.bitmap, x, y), expected[i]) << "pixel " << x << "," << y;
  }
  EXPECT_EQ(r.error, "untouched");
}

std::vector<BGRA> RepeatRows(const std::vector<BGRA>& row, int rows) {
  std::vector<BGRA> all;
  for (int i = 0; i < rows; ++i) {
    all.insert(all.end(), row.begin(), row.end());
  }
  return all;
}

TEST(DDSDecoderTest, DXT1FourColourModeInterpolatesThirds) {
  // colour0 > colour1: red, blue and the two colours a third of the way between them.
  const Bytes file =
      File(Compressed(4, 4, MakeFourCC("DXT1")), ColorBlock(kRed565, kBlue565, kColumnIndex));
  ExpectPixels(
      file, 4,
      RepeatRows({{0, 0, 255, 255}, {255, 0, 0, 255}, {85, 0, 170, 255}, {170, 0, 85, 255}}, 4));
}

TEST(DDSDecoderTest, DXT1ThreeColourModeHasTransparentBlack) {
  // colour0 <= colour1: the midpoint, then transparent black for index 3, also when equal.
  ExpectPixels(
      File(Compressed(4, 4, MakeFourCC("DXT1")), ColorBlock(kBlue565, kRed565, kColumnIndex)), 4,
      RepeatRows({{255, 0, 0, 255}, {0, 0, 255, 255}, {128, 0, 128, 255}, {0, 0, 0, 0}}, 4));
  ExpectPixels(
      File(Compressed(4, 4, MakeFourCC("DXT1")), ColorBlock(0xffff, 0xffff, kColumnIndex)), 4,
      RepeatRows({{255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}, {0, 0, 0, 0}},
                 4));
}

TEST(DDSDecoderTest, DXT3TakesFourBitAlphaAndAlwaysFourColours) {
  Bytes alpha; // pixel i gets alpha i * 17
  for (int i = 0; i < 8; ++i) {
    alpha.push_back(static_cast<uint8_t>(2 * i | (2 * i + 1) << 4));
  }
  // colour0 < colour1 would be DXT1's three-colour mode; here index 3 is still a colour.
  const Bytes file = File(Compressed(4, 4, MakeFourCC("DXT3")),
                          Cat(alpha, ColorBlock(kBlue565, kRed565, kColumnIndex)));
  const BGRA colours[4] = {{255, 0, 0, 0}, {0, 0, 255, 0}, {170, 0, 85, 0}, {85, 0, 170, 0}};
  std::vector<BGRA> expected;
  for (int i = 0; i < 16; ++i) {
    BGRA pixel = colours[i % 4];
    pixel[3] = static_cast<uint8_t>(i * 17);
    expected.push_back(pixel);
  }
  ExpectPixels(file, 4, expected);
}

TEST(DDSDecoderTest, DXT5InterpolatesAlphaInBothModes) {
  struct Case {
    uint8_t a0, a1;
    std::array<uint8_t, 8> alphas; // by code
  };
  const Case cases[] = {
      // alpha0 > alpha1: sevenths, rounded to nearest.
      {255, 0, {255, 0, 219, 182, 146, 109, 73, 36}},
      // alpha0 <= alpha1: fifths, then 0 and 255.
      {40, 240, {40, 240, 80, 120, 160, 200, 0, 255}},
      {7, 7, {7, 7, 7, 7, 7, 7, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.a0} << " " << int{c.a1});
    const Bytes file =
        File(Compressed(4, 4, MakeFourCC("DXT5")),
             Cat(AlphaBlock(c.a0, c.a1, kEachCode), ColorBlock(0xffff, 0xffff, kColumnIndex)));
    std::vector<BGRA> expected;
    for (int i = 0; i < 16; ++i) {
      expected.push_back({255, 255, 255, c.alphas[static_cast<size_t>(kEachCode[i])]});
    }
    ExpectPixels(file, 4, expected);
  }
}

TEST(DDSDecoderTest, PremultipliedFormatsAreDividedByAlpha) {
  // A grey of 66, 65, 66 under alpha 136 (DXT2) or from an alpha block (DXT4) is straight
  // 124, 122, 124; white under alpha 17 saturates; alpha 0 and 255 keep the colour as stored.
  const uint32_t grey = 8u << 11 | 16u << 5 | 8u;
  Bytes alpha(8, 0);
  alpha[0] = 0xf8; // pixels 0 and 1: alpha 136 and 255
  alpha[1] = 0x01; // pixels 2 and 3: alpha 17 and 0
  const Bytes dxt2 =
      File(Compressed(4, 1, MakeFourCC("DXT2")),
           Cat(alpha, ColorBlock(grey, 0xffff, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
  ExpectPixels(dxt2, 4,
               {{124, 122, 124, 136}, {66, 65, 66, 255}, {255, 255, 255, 17}, {66, 65, 66, 0}});
  const Bytes dxt4 = File(Compressed(4, 1, MakeFourCC("DXT4")),
                          Cat(AlphaBlock(136, 0, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
                              ColorBlock(grey, grey, {})));
  ExpectPixels(dxt4, 4,
               {{124, 122, 124, 136}, {66, 65, 66, 0}, {124, 122, 124, 136}, {124, 122, 124, 136}});
  // The same blocks as DXT3 and DXT5 keep the colour as stored.
  Bytes dxt3 = dxt2;
  dxt3[84 + 3] = '3'; // the FourCC's last character
  EXPECT_EQ(At(Decode(dxt3).bitmap, 0, 0), (BGRA{66, 65, 66, 136}));
}

TEST(DDSDecoderTest, BitMaskLayoutsWidenEveryChannelToEightBits) {
  using F = DDSPixelFormat;
  struct Case {
    const char* name;
    DDSHeader header;
    Bytes pixels;
    std::vector<BGRA> expected;
  };
  const Case cases[] = {
      {"565",
       Masked(4, 1, F::kRGB, 16, 0xf800, 0x07e0, 0x001f, 0),
       {0x00, 0xf8, 0xe0, 0x07, 0x10, 0x00, 0x00, 0x04},
       {{0, 0, 255, 255}, {0, 255, 0, 255}, {132, 0, 0, 255}, {0, 130, 0, 255}}},
      {"4444",
       Masked(2, 1, F::kRGB | F::kAlphaPixels, 16, 0x0f00, 0x00f0, 0x000f, 0xf000),
       {0x21, 0x84, 0xff, 0x0f},
       {{17, 34, 68, 136}, {255, 255, 255, 0}}},
      {"1555",
       Masked(2, 1, F::kRGB | F::kAlphaPixels, 16, 0x7c00, 0x03e0, 0x001f, 0x8000),
       {0x00, 0xfc, 0x1f, 0x00},
       {{0, 0, 255, 255}, {255, 0, 0, 0}}},
      {"A8B8G8R8",
       Masked(1, 1, F::kRGB | F::kAlphaPixels, 32, 0xff, 0xff00, 0xff0000, 0xff000000),
       {0x11, 0x22, 0x33, 0x44},
       {{0x33, 0x22, 0x11, 0x44}}},
      // An alpha mask without the alpha flag is not alpha: X8R8G8B8 stays opaque.
      {"X8R8G8B8",
       Masked(1, 1, F::kRGB, 32, 0xff0000, 0xff00, 0xff, 0xff000000),
       {0x11, 0x22, 0x33, 0x00},
       {{0x11, 0x22, 0x33, 255}}},
      {"A2R10G10B10",
       Masked(2, 1, F::kRGB | F::kAlphaPixels, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000),
       {0xff, 0x03, 0x00, 0x40, 0x00, 0x00, 0x00, 0xa0},
       {{255, 0, 0, 85}, {0, 0, 128, 170}}},
      {"R8G8B8",
       Masked(2, 1, F::kRGB, 24, 0xff0000, 0xff00, 0xff, 0),
       {1, 2, 3, 4, 5, 6},
       {{1, 2, 3, 255}, {4, 5, 6, 255}}},
      {"R3G3B2",
       Masked(2, 1, F::kRGB, 8, 0xe0, 0x1c, 0x03, 0),
       {0xe3, 0x1c},
       {{255, 0, 255, 255}, {0, 255, 0, 255}}},
      {"L8",
       Masked(2, 1, F::kLuminance, 8, 0xff, 0, 0, 0),
       {9, 200},
       {{9, 9, 9, 255}, {200, 200, 200, 255}}},
      {"A8L8",
       Masked(1, 1, F::kLuminance | F::kAlphaPixels, 16, 0xff, 0, 0, 0xff00),
       {77, 66},
       {{77, 77, 77, 66}}},
      {"L16",
       Masked(1, 1, F::kLuminance, 16, 0xffff, 0, 0, 0),
       {0x80, 0x80},
       {{128, 128, 128, 255}}},
      {"A8", Masked(1, 1, F::kAlpha, 8, 0, 0, 0, 0xff), {99}, {{0, 0, 0, 99}}},
      {"A8 without a mask", Masked(1, 1, F::kAlpha, 8, 0, 0, 0, 0), {98}, {{0, 0, 0, 98}}},
      // Mask bits beyond the pixel's own bits are ignored rather than read from the next pixel.
      {"mask past the pixel",
       Masked(2, 1, F::kRGB, 16, 0xff0000, 0xff00, 0xff, 0),
       {0x12, 0x34, 0x56, 0x78},
       {{0x12, 0x34, 0x00, 255}, {0x56, 0x78, 0x00, 255}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectPixels(File(c.header, c.pixels), static_cast<int>(c.header.Width), c.expected);
  }
}

TEST(DDSDecoderTest, EdgeBlocksAreCutAndRowZeroIsTheTop) {
  // 5 by 6 DXT1: two by two blocks, each one colour (red, blue / green, white); the header's
  // first row is the top of the picture.
  const std::array<int, 16> zeros{};
  const Bytes data = Cat(Cat(ColorBlock(kRed565, 0, zeros), ColorBlock(kBlue565, 0, zeros)),
                         Cat(ColorBlock(0x07e0, 0, zeros), ColorBlock(0xffff, 0, zeros)));
  const Result r = Decode(File(Compressed(5, 6, MakeFourCC("DXT1")), data));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.bitmap.Width, 5);
  ASSERT_EQ(r.bitmap.Height, 6);
  ASSERT_EQ(r.bitmap.Pixels.size(), 5u * 6u * 4u);
  const BGRA red{0, 0, 255, 255}, blue{255, 0, 0, 255}, green{0, 255, 0, 255},
      white{255, 255, 255, 255};
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 5; ++x) {
      const BGRA& expected = y < 4 ? (x < 4 ? red : blue) : (x < 4 ? green : white);
      EXPECT_EQ(At(r.bitmap, x, y), expected) << x << "," << y;
    }
  }
  // The same for a bit-mask layout: the first stored row is row 0.
  const Bytes rows = {0, 0, 255, 255, 255, 0, 0, 255};
  ExpectPixels(File(Masked(1, 2, DDSPixelFormat::kRGB | DDSPixelFormat::kAlphaPixels, 32, 0xff0000,
                           0xff00, 0xff, 0xff000000),
                    rows),
               1, {red, blue});
}

TEST(DDSDecoderTest, RefusalsNameTheirReason) {
  const Bytes block(8, 0);
  const Bytes dxt1 = File(Compressed(4, 4, MakeFourCC("DXT1")), block);
  auto with = [&](auto change) {
    DDSHeader header = Compressed(4, 4, MakeFourCC("DXT1"));
    change(header);
    return File(header, block);
  };
  Bytes bad_magic = dxt1;
  bad_magic[0] = 'd';
  Bytes short_description = dxt1;
  short_description[4] = 123;
  const std::string invalid = "Invalid DDS file", caps = "Unsupported DDSCAPS settings";
  struct Case {
    const char* name;
    Bytes file;
    std::string error;
  };
  const Case cases[] = {
      {"empty", {}, invalid},
      {"header cut", Bytes(dxt1.begin(), dxt1.begin() + 100), invalid},
      {"magic", bad_magic, invalid},
      {"description size", short_description, invalid},
      {"zero width", with([](DDSHeader& h) { h.Width = 0; }), invalid},
      {"zero height", with([](DDSHeader& h) { h.Height = 0; }), invalid},
      {"sides of 2^32 - 1", with([](DDSHeader& h) { h.Width = h.Height = 0xffffffff; }), invalid},
      {"side of 2^31", with([](DDSHeader& h) { h.Height = 0x80000000; }), invalid},
      {"above the pixel cap", with([](DDSHeader& h) {
         h.Width = 16385;
         h.Height = 16384;
       }),
       invalid},
      {"data one block short", with([](DDSHeader& h) { h.Width = 5; }), invalid},
      {"bit count 12", File(Masked(1, 1, DDSPixelFormat::kRGB, 12, 0xf00, 0xf0, 0xf, 0), {0, 0}),
       invalid},
      {"bit count 64", File(Masked(1, 1, DDSPixelFormat::kRGB, 64, 1, 2, 4, 0), Bytes(8, 0)),
       invalid},
      {"no layout flag", File(Masked(1, 1, 0, 32, 1, 2, 4, 0), Bytes(4, 0)), invalid},
      {"cube map", with([](DDSHeader& h) { h.Caps2 = 0xfe00; }), caps},
      {"volume", with([](DDSHeader& h) { h.Caps2 = DDSHeader::kCaps2Volume; }), caps},
      {"DX10", with([](DDSHeader& h) { h.PixelFormat.FourCC = MakeFourCC("DX10"); }),
       "Unsupported compression type: DX10"},
      {"ATI2", with([](DDSHeader& h) { h.PixelFormat.FourCC = MakeFourCC("ATI2"); }),
       "Unsupported compression type: ATI2"},
      {"a number", with([](DDSHeader& h) { h.PixelFormat.FourCC = 113; }),
       "Unsupported compression type: q???"},
      {"high bytes", with([](DDSHeader& h) { h.PixelFormat.FourCC = 0xff7f2044; }),
       "Unsupported compression type: D ??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = Decode(c.file);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_TRUE(r.bitmap.IsEmpty());
    EXPECT_TRUE(r.bitmap.Pixels.empty());
  }
}

TEST(DDSDecoderTest, ContentTestNeedsMagicAndDescriptionSize) {
  const auto header = Compressed(4, 4, MakeFourCC("DXT1")).ToBytes();
  EXPECT_TRUE(IsDDS(Bytes(header.begin(), header.begin() + 8)));
  EXPECT_FALSE(IsDDS(Bytes(header.begin(), header.begin() + 7)));
  Bytes other = {'D', 'D', 'S', ' ', 0, 0, 0, 124};
  EXPECT_FALSE(IsDDS(other));
  other = {'D', 'D', 'S', ' ', 124, 0, 0, 0};
  EXPECT_TRUE(IsDDS(other));
  other[3] = 0;
  EXPECT_FALSE(IsDDS(other));
}

// Files written by ImageMagick, against its own reading of them: equal but for the rounding of
// interpolated values, which it truncates and we round to nearest.
TEST(DDSDecoderTest, AgreesWithAnotherReaderOnItsFiles) {
  auto read = [](const std::string& name) {
    std::ifstream in(std::string(MERIDIA_DECODER_FIXTURES) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  for (const char* name : {"dxt1-12x10", "dxt5-12x10"}) {
    SCOPED_TRACE(name);
    const Result r = Decode(read(std::string(name) + ".dds"));
    const Bytes rgba = read(std::string(name) + ".rgba");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.bitmap.Width, 12);
    ASSERT_EQ(r.bitmap.Height, 10);
    ASSERT_EQ(rgba.size(), r.bitmap.Pixels.size());
    int rounded = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
      const uint8_t* ours = &r.bitmap.Pixels[i];
      const int ours_rgba[4] = {ours[2], ours[1], ours[0], ours[3]};
      for (size_t c = 0; c < 4; ++c) {
        const int difference = ours_rgba[c] - rgba[i + c];
        ASSERT_TRUE(difference == 0 || difference == 1) << "byte " << i + c;
        rounded += difference;
      }
    }
    EXPECT_GT(rounded, 0); // the files do hold interpolated values
  }
}

TEST(DDSDecoderTest, EveryTruncatedFileIsRefused) {
  using F = DDSPixelFormat;
  const Bytes alpha_and_colour = Cat(AlphaBlock(200, 10, kEachCode), ColorBlock(1, 2, {}));
  Bytes two_blocks = Cat(alpha_and_colour, alpha_and_colour);
  const Bytes files[] = {
      File(Compressed(5, 3, MakeFourCC("DXT1")), Bytes(16, 0x5a)),
      File(Compressed(3, 6, MakeFourCC("DXT3")), two_blocks),
      File(Compressed(8, 1, MakeFourCC("DXT5")), two_blocks),
      File(Masked(3, 2, F::kRGB, 16, 0xf800, 0x07e0, 0x001f, 0), Bytes(12, 0x33)),
      File(Masked(2, 3, F::kRGB, 24, 0xff0000, 0xff00, 0xff, 0), Bytes(18, 0x44)),
      File(Masked(3, 1, F::kRGB | F::kAlphaPixels, 32, 0xff0000, 0xff00, 0xff, 0xff000000),
           Bytes(12, 0x55)),
      File(Masked(5, 1, F::kLuminance, 8, 0xff, 0, 0, 0), Bytes(5, 0x66)),
  };
  for (const Bytes& file : files) {
    ASSERT_TRUE(Decode(file).ok);
    for (size_t size = 0; size < file.size(); ++size) {
      const Result r = Decode(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(size)));
      ASSERT_FALSE(r.ok) << size;
      EXPECT_EQ(r.error, "Invalid DDS file") << size;
      EXPECT_TRUE(r.bitmap.Pixels.empty()) << size;
    }
  }
}

} // namespace
} // namespace meridia
