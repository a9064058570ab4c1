#include "decoders/DDSHeader.h"

namespace meridia {
namespace {

// The byte offsets of the fields, the magic at 0.
constexpr size_t kPixelFormatAt = 76;
constexpr size_t kCapsAt = 108;

uint32_t Read32(std::span<const uint8_t, DDSHeader::kSize> bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

void Write32(std::array<uint8_t, DDSHeader::kSize>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

} // namespace

std::array<uint8_t, DDSHeader::kSize> DDSHeader::ToBytes() const {
  std::array<uint8_t, kSize> bytes{}; // the reserved words stay zero
  const uint32_t fields[] = {Magic, Size,       Flags, Height, Width, PitchOrLinearSize,
                             Depth, MipMapCount};
  for (size_t i = 0; i < std::size(fields); ++i) {
    Write32(bytes, 4 * i, fields[i]);
  }
  const DDSPixelFormat& pf = PixelFormat;
  const uint32_t format[] = {pf.Size,    pf.Flags,     pf.FourCC,   pf.RGBBitCount,
                             pf.RedMask, pf.GreenMask, pf.BlueMask, pf.AlphaMask};
  for (size_t i = 0; i < std::size(format); ++i) {
    Write32(bytes, kPixelFormatAt + 4 * i, format[i]);
  }
  Write32(bytes, kCapsAt, Caps);
  Write32(bytes, kCapsAt + 4, Caps2);
  return bytes;
}

DDSHeader DDSHeader::FromBytes(std::span<const uint8_t, kSize> bytes) {
  DDSHeader h;
  h.Magic = Read32(bytes, 0);
  h.Size = Read32(bytes, 4);
  h.Flags = Read32(bytes, 8);
  h.Height = Read32(bytes, 12);
  h.Width = Read32(bytes, 16);
  h.PitchOrLinearSize = Read32(bytes, 20);
  h.Depth = Read32(bytes, 24);
  h.MipMapCount = Read32(bytes, 28);
  DDSPixelFormat& pf = h.PixelFormat;
  pf.Size = Read32(bytes, kPixelFormatAt);
  pf.Flags = Read32(bytes, kPixelFormatAt + 4);
  pf.FourCC = Read32(bytes, kPixelFormatAt + 8);
  pf.RGBBitCount = Read32(bytes, kPixelFormatAt + 12);
  pf.RedMask = Read32(bytes, kPixelFormatAt + 16);
  pf.GreenMask = Read32(bytes, kPixelFormatAt + 20);
  pf.BlueMask = Read32(bytes, kPixelFormatAt + 24);
  pf.AlphaMask = Read32(bytes, kPixelFormatAt + 28);
  h.Caps = Read32(bytes, kCapsAt);
  h.Caps2 = Read32(bytes, kCapsAt + 4);
  return h;
}

std::string FourCCText(uint32_t code) {
  std::string text(4, '?');
  for (size_t i = 0; i < 4; ++i) {
    const auto c = static_cast<uint8_t>(code >> (8 * i));
    if (c >= 0x20 && c < 0x7f) {
      text[i] = static_cast<char>(c);
    }
  }
  return text;
}

} // namespace meridia
