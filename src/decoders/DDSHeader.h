// The 128 bytes that open a DirectDraw Surface file: the "DDS " magic, then the 124-byte surface
// description with its 32-byte pixel format, as plain little-endian fields. The decoder reads
// files through it; whatever builds a DDS file (tests, seed corpora, benchmarks) writes one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace meridia {

struct DDSPixelFormat {
  static constexpr uint32_t kAlphaPixels = 0x1;   // AlphaMask is valid beside the colour masks
  static constexpr uint32_t kAlpha = 0x2;         // alpha only, in AlphaMask
  static constexpr uint32_t kFourCC = 0x4;        // FourCC names a compressed layout
  static constexpr uint32_t kRGB = 0x40;          // RedMask, GreenMask and BlueMask are valid
  static constexpr uint32_t kLuminance = 0x20000; // one grey channel, in RedMask

  uint32_t Size = 32;
  uint32_t Flags = 0;
  uint32_t FourCC = 0; // four characters, the first in the lowest byte
  uint32_t RGBBitCount = 0;
  uint32_t RedMask = 0;
  uint32_t GreenMask = 0;
  uint32_t BlueMask = 0;
  uint32_t AlphaMask = 0;
};

struct DDSHeader {
  static constexpr size_t kSize = 128;           // with the magic
  static constexpr uint32_t kMagic = 0x20534444; // "DDS "
  static constexpr uint32_t kDescriptionSize = 124;
  static constexpr uint32_t kCapsTexture = 0x1000;
  static constexpr uint32_t kCaps2CubeMap = 0x200;
  static constexpr uint32_t kCaps2Volume = 0x200000;

  uint32_t Magic = kMagic;
  uint32_t Size = kDescriptionSize;
  uint32_t Flags = 0x1007; // caps, height, width and pixel format are given
  uint32_t Height = 0;
  uint32_t Width = 0;
  uint32_t PitchOrLinearSize = 0;
  uint32_t Depth = 0;
  uint32_t MipMapCount = 0;
  DDSPixelFormat PixelFormat;
  uint32_t Caps = kCapsTexture;
  uint32_t Caps2 = 0;

  std::array<uint8_t, kSize> ToBytes() const;
  static DDSHeader FromBytes(std::span<const uint8_t, kSize> bytes);
};

// The code of four characters, "DXT1" -> its little-endian 32-bit value.
constexpr uint32_t MakeFourCC(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
         uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// The four characters of a code as text, each byte outside printable ASCII shown as '?'.
std::string FourCCText(uint32_t code);

} // namespace meridia
