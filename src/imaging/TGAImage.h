// A Truevision TGA file record that the program fills and writes (screenshots). The header is
// kept as plain fields and turned into its 18 little-endian bytes explicitly; SaveToFile writes
// only what the buffers really hold and never leaves a partial file behind.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace meridia {

struct TGAHeader {
  static constexpr size_t kSize = 18;

  uint8_t IdLength = 0;
  uint8_t ColorMapType = 0; // 1: a colour map follows the header.
  uint8_t ImageType = 0;    // 2: uncompressed true colour; above 8: run-length encoded.
  uint16_t ColorMapFirstEntry = 0;
  uint16_t ColorMapLength = 0;   // In entries.
  uint8_t ColorMapEntrySize = 0; // In bits.
  uint16_t XOrigin = 0;
  uint16_t YOrigin = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PixelDepth = 0;      // In bits.
  uint8_t ImageDescriptor = 0; // 0x10: right-to-left; 0x20: top-to-bottom.

  std::array<uint8_t, kSize> ToBytes() const;
  static TGAHeader FromBytes(std::span<const uint8_t, kSize> bytes);
  // Bytes of the colour map after the header: whole bytes per entry, so a 15-bit entry takes 2.
  size_t PaletteBytes() const {
    return ColorMapType == 1 ? size_t{ColorMapLength} * ((ColorMapEntrySize + 7u) / 8u) : 0;
  }
};

class TTGAImage {
public:
  TGAHeader Header;
  std::vector<uint8_t> Palette;
  std::vector<uint8_t> Pixels;

  // Pixels becomes w * h * bytes_per_pixel zero bytes; sizes no TGA header can describe (negative,
  // a side above 65535, more than 31 bytes per pixel) leave it empty. The header is the caller's
  // to fill.
  void SetPixelBuffer(int w, int h, int bytes_per_pixel);

  // The first pixel byte, for reading the frame buffer straight in; null while Pixels is empty.
  uint8_t* PixelsAddress();

  // Writes the header, the palette when the colour map type is 1 and the pixels when the image
  // type is below 9, in the sizes the header gives. Fails, leaving the disk as it was, when Palette
  // or Pixels hold less than that or the file cannot be created (both silently), or when it
  // cannot be written to the end (the file layer logs the short write); a file already under
  // that name is replaced only by a complete one.
  bool SaveToFile(std::string_view name) const;
};

} // namespace meridia
