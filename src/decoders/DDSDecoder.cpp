// Layout: Microsoft's DirectDraw Surface description (DDS_HEADER, DDS_PIXELFORMAT); blocks: the
// S3TC formats as the EXT_texture_compression_s3tc extension defines them.
#include "decoders/DDSDecoder.h"

#include "decoders/DDSHeader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace meridia {
namespace {

constexpr const char* kInvalid = "Invalid DDS file";
constexpr const char* kUnsupportedCaps = "Unsupported DDSCAPS settings";

uint32_t Read16(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}

uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool Fail(TDecodedBitmap& out, std::string& error, std::string message) {
  out = TDecodedBitmap();
  error = std::move(message);
  return false;
}

// ---- S3TC blocks ---------------------------------------------------------------------------

// A decoded 4 by 4 block: 16 pixels of blue, green, red, alpha in rows.
using Tile = std::array<uint8_t, 64>;

enum class BlockKind { DXT1, ExplicitAlpha, InterpolatedAlpha };

struct BlockFormat {
  BlockKind Kind;
  size_t Bytes;
  bool Premultiplied;
};

// The 565 colour widened to 8 bits a channel by repeating its top bits, so that 0 and the
// maximum map onto 0 and 255.
void Expand565(uint32_t c, uint8_t* bgra) {
  const uint32_t r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  bgra[0] = static_cast<uint8_t>(b << 3 | b >> 2);
  bgra[1] = static_cast<uint8_t>(g << 2 | g >> 4);
  bgra[2] = static_cast<uint8_t>(r << 3 | r >> 2);
  bgra[3] = 255;
}

// The colour half of every block. Only DXT1 has the three-colour mode (colour0 <= colour1) with
// transparent black as its fourth entry; the alpha formats always interpolate four colours.
void DecodeColors(const uint8_t* block, bool three_color_mode_allowed, Tile& tile) {
  const uint32_t c0 = Read16(block), c1 = Read16(block + 2);
  uint8_t palette[4][4];
  Expand565(c0, palette[0]);
  Expand565(c1, palette[1]);
  if (c0 > c1 || !three_color_mode_allowed) {
    for (int i = 0; i < 3; ++i) {
      const int a = palette[0][i], b = palette[1][i];
      palette[2][i] = static_cast<uint8_t>((2 * a + b + 1) / 3);
      palette[3][i] = static_cast<uint8_t>((a + 2 * b + 1) / 3);
    }
    palette[2][3] = palette[3][3] = 255;
  } else {
    for (int i = 0; i < 3; ++i) {
      palette[2][i] = static_cast<uint8_t>((palette[0][i] + palette[1][i] + 1) / 2);
    }
    palette[2][3] = 255;
    std::memset(palette[3], 0, 4);
  }
  const uint32_t indices = Read32(block + 4);
  for (int i = 0; i < 16; ++i) {
    std::memcpy(&tile[4 * i], palette[(indices >> (2 * i)) & 3], 4);
  }
}

// DXT2 and DXT3: four bits of alpha a pixel, first pixel in the lowest bits.
void DecodeExplicitAlpha(const uint8_t* block, Tile& tile) {
  for (int i = 0; i < 8; ++i) {
    tile[8 * i + 3] = static_cast<uint8_t>((block[i] & 15) * 17);
    tile[8 * i + 7] = static_cast<uint8_t>((block[i] >> 4) * 17);
  }
}

// DXT4 and DXT5: two end points and three-bit indices. alpha0 > alpha1 gives six interpolated
// values between them; otherwise four, plus 0 and 255.
void DecodeInterpolatedAlpha(const uint8_t* block, Tile& tile) {
  const int a0 = block[0], a1 = block[1];
  uint8_t alphas[8] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
  if (a0 > a1) {
    for (int k = 1; k <= 6; ++k) {
      alphas[k + 1] = static_cast<uint8_t>(((7 - k) * a0 + k * a1 + 3) / 7);
    }
  } else {
    for (int k = 1; k <= 4; ++k) {
      alphas[k + 1] = static_cast<uint8_t>(((5 - k) * a0 + k * a1 + 2) / 5);
    }
    alphas[6] = 0;
    alphas[7] = 255;
  }
  uint64_t indices = 0;
  for (int i = 0; i < 6; ++i) {
    indices |= uint64_t{block[2 + i]} << (8 * i);
  }
  for (int i = 0; i < 16; ++i) {
    tile[4 * i + 3] = alphas[(indices >> (3 * i)) & 7];
  }
}

// Premultiplied colour divided back by alpha; colour under zero alpha has no meaning and is kept.
void Unpremultiply(TDecodedBitmap& bitmap) {
  for (size_t i = 0; i < bitmap.Pixels.size(); i += 4) {
    const uint32_t a = bitmap.Pixels[i + 3];
    if (a == 0 || a == 255) {
      continue;
    }
    for (size_t c = 0; c < 3; ++c) {
      const uint32_t value = (bitmap.Pixels[i + c] * 255u + a / 2) / a;
      bitmap.Pixels[i + c] = static_cast<uint8_t>(std::min(value, 255u));
    }
  }
}

void DecodeBlocks(const uint8_t* data, const BlockFormat& format, TDecodedBitmap& out) {
  const int32_t blocks_x = (out.Width + 3) / 4, blocks_y = (out.Height + 3) / 4;
  Tile tile;
  for (int32_t by = 0; by < blocks_y; ++by) {
    const int32_t rows = std::min(4, out.Height - 4 * by);
    for (int32_t bx = 0; bx < blocks_x; ++bx) {
      const uint8_t* block = data + (static_cast<size_t>(by) * static_cast<size_t>(blocks_x) +
                                     static_cast<size_t>(bx)) *
                                        format.Bytes;
      switch (format.Kind) {
      case BlockKind::DXT1:
        DecodeColors(block, true, tile);
        break;
      case BlockKind::ExplicitAlpha:
        DecodeColors(block + 8, false, tile);
        DecodeExplicitAlpha(block, tile);
        break;
      case BlockKind::InterpolatedAlpha:
        DecodeColors(block + 8, false, tile);
        DecodeInterpolatedAlpha(block, tile);
        break;
      }
      // Blocks on the right and bottom edges of a side that is no multiple of 4 are cut.
      const size_t row_bytes = static_cast<size_t>(std::min(4, out.Width - 4 * bx)) * 4;
      for (int32_t y = 0; y < rows; ++y) {
        std::memcpy(out.Row(4 * by + y) + static_cast<size_t>(bx) * 16, &tile[16 * y], row_bytes);
      }
    }
  }
  if (format.Premultiplied) {
    Unpremultiply(out);
  }
}

// ---- Bit-mask layouts ----------------------------------------------------------------------

// One channel of a bit-mask layout: its bits taken down to the lowest and scaled from their own
// range to 0..255 with rounding. Masks need not be contiguous; a zero mask gives `missing`.
// Channels of up to 8 bits, nearly all of them, are looked up in a table.
class Channel {
public:
  Channel(uint32_t mask, uint8_t missing) : Mask(mask) {
    if (mask != 0) {
      Shift = std::countr_zero(mask);
      Max = mask >> Shift;
    }
    if (Max < Table.size()) {
      for (uint32_t v = 0; v <= Max; ++v) {
        Table[v] = Max == 0 ? missing : Scale(v);
      }
    }
  }

  bool IsTabled() const { return Max < Table.size(); }
  uint8_t Tabled(uint32_t pixel) const { return Table[(pixel & Mask) >> Shift]; }
  uint8_t operator()(uint32_t pixel) const {
    return IsTabled() ? Tabled(pixel) : Scale((pixel & Mask) >> Shift);
  }

private:
  uint8_t Scale(uint32_t v) const {
    return static_cast<uint8_t>((uint64_t{v} * 255 + Max / 2) / Max);
  }

  uint32_t Mask;
  int Shift = 0;
  uint32_t Max = 0;
  std::array<uint8_t, 256> Table{};
};

struct MaskLayout {
  uint32_t BytesPerPixel;
  Channel Red, Green, Blue, Alpha;
};

// The layout the pixel format describes, its masks cut to the pixel's bits; false when masks of
// 32 bits cannot describe it (a bit count other than 8, 16, 24 or 32, or no layout flag at all).
bool MaskLayoutOf(const DDSPixelFormat& pf, MaskLayout& layout) {
  const uint32_t bits = pf.RGBBitCount;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return false;
  }
  const uint32_t used = bits == 32 ? 0xffffffffu : (uint32_t{1} << bits) - 1;
  const bool has_alpha = (pf.Flags & DDSPixelFormat::kAlphaPixels) != 0;
  const Channel alpha(has_alpha ? pf.AlphaMask & used : 0, 255);
  if (pf.Flags & DDSPixelFormat::kRGB) {
    layout = {bits / 8, Channel(pf.RedMask & used, 0), Channel(pf.GreenMask & used, 0),
              Channel(pf.BlueMask & used, 0), alpha};
  } else if (pf.Flags & DDSPixelFormat::kLuminance) {
    const Channel grey(pf.RedMask & used, 0);
    layout = {bits / 8, grey, grey, grey, alpha};
  } else if (pf.Flags & DDSPixelFormat::kAlpha) {
    // Some writers leave the mask of an alpha-only surface empty: then the whole pixel is alpha.
    const uint32_t mask = pf.AlphaMask & used;
    const Channel none(0, 0);
    layout = {bits / 8, none, none, none, Channel(mask != 0 ? mask : used, 255)};
  } else {
    return false;
  }
  return true;
}

template <size_t kBytesPerPixel, bool kTabled>
void DecodeMaskedRows(const uint8_t* data, const MaskLayout& layout, TDecodedBitmap& out) {
  const size_t row_bytes = static_cast<size_t>(out.Width) * kBytesPerPixel;
  for (int32_t y = 0; y < out.Height; ++y) {
    const uint8_t* in = data + static_cast<size_t>(y) * row_bytes;
    uint8_t* pixel = out.Row(y);
    for (int32_t x = 0; x < out.Width; ++x, in += kBytesPerPixel, pixel += 4) {
      uint32_t value = 0;
      for (size_t b = 0; b < kBytesPerPixel; ++b) {
        value |= uint32_t{in[b]} << (8 * b);
      }
      if constexpr (kTabled) {
        pixel[0] = layout.Blue.Tabled(value);
        pixel[1] = layout.Green.Tabled(value);
        pixel[2] = layout.Red.Tabled(value);
        pixel[3] = layout.Alpha.Tabled(value);
      } else {
        pixel[0] = layout.Blue(value);
        pixel[1] = layout.Green(value);
        pixel[2] = layout.Red(value);
        pixel[3] = layout.Alpha(value);
      }
    }
  }
}

template <size_t kBytesPerPixel>
void DecodeMaskedAs(const uint8_t* data, const MaskLayout& layout, TDecodedBitmap& out) {
  if (layout.Red.IsTabled() && layout.Green.IsTabled() && layout.Blue.IsTabled() &&
      layout.Alpha.IsTabled()) {
    DecodeMaskedRows<kBytesPerPixel, true>(data, layout, out);
  } else {
    DecodeMaskedRows<kBytesPerPixel, false>(data, layout, out);
  }
}

void DecodeMasked(const uint8_t* data, const MaskLayout& layout, TDecodedBitmap& out) {
  switch (layout.BytesPerPixel) {
  case 1:
    return DecodeMaskedAs<1>(data, layout, out);
  case 2:
    return DecodeMaskedAs<2>(data, layout, out);
  case 3:
    return DecodeMaskedAs<3>(data, layout, out);
  default:
    return DecodeMaskedAs<4>(data, layout, out);
  }
}

} // namespace

bool IsDDS(std::span<const uint8_t> bytes) {
  return bytes.size() >= 8 && Read32(bytes.data()) == DDSHeader::kMagic &&
         Read32(bytes.data() + 4) == DDSHeader::kDescriptionSize;
}

bool DecodeDDS(std::span<const uint8_t> bytes, TDecodedBitmap& out, std::string& error) {
  if (bytes.size() < DDSHeader::kSize || !IsDDS(bytes)) {
    return Fail(out, error, kInvalid);
  }
  const DDSHeader header = DDSHeader::FromBytes(bytes.first<DDSHeader::kSize>());
  // A side of 2^31 or more, or a picture no decoder may make, is refused before anything is
  // sized from it, so every product below stays far from overflow.
  if (header.Width == 0 || header.Height == 0 ||
      uint64_t{header.Width} * header.Height > uint64_t{kMaxDecodedPixels}) {
    return Fail(out, error, kInvalid);
  }
  if (header.Caps2 & (DDSHeader::kCaps2CubeMap | DDSHeader::kCaps2Volume)) {
    return Fail(out, error, kUnsupportedCaps);
  }

  const DDSPixelFormat& pf = header.PixelFormat;
  const uint64_t width = header.Width, height = header.Height;
  BlockFormat blocks{};
  MaskLayout layout{0, Channel(0, 0), Channel(0, 0), Channel(0, 0), Channel(0, 0)};
  uint64_t needed = 0;
  const bool compressed = (pf.Flags & DDSPixelFormat::kFourCC) != 0;
  if (compressed) {
    switch (pf.FourCC) {
    case MakeFourCC("DXT1"):
      blocks = {BlockKind::DXT1, 8, false};
      break;
    case MakeFourCC("DXT2"):
    case MakeFourCC("DXT3"):
      blocks = {BlockKind::ExplicitAlpha, 16, pf.FourCC == MakeFourCC("DXT2")};
      break;
    case MakeFourCC("DXT4"):
    case MakeFourCC("DXT5"):
      blocks = {BlockKind::InterpolatedAlpha, 16, pf.FourCC == MakeFourCC("DXT4")};
      break;
    default:
      return Fail(out, error, "Unsupported compression type: " + FourCCText(pf.FourCC));
    }
    needed = (width + 3) / 4 * ((height + 3) / 4) * blocks.Bytes;
  } else {
    if (!MaskLayoutOf(pf, layout)) {
      return Fail(out, error, kInvalid);
    }
    needed = width * height * layout.BytesPerPixel;
  }
  if (bytes.size() - DDSHeader::kSize < needed ||
      !out.Allocate(static_cast<int32_t>(header.Width), static_cast<int32_t>(header.Height), 32)) {
    return Fail(out, error, kInvalid);
  }
  const uint8_t* data = bytes.data() + DDSHeader::kSize;
  if (compressed) {
    DecodeBlocks(data, blocks, out);
  } else {
    DecodeMasked(data, layout, out);
  }
  return true;
}

} // namespace meridia
