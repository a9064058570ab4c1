// TzoImage: the engine's plain in-memory raster, interleaved bytes of BytesPerPixel channels, row
// 0 the bottom row of the picture. Invariant: Data holds exactly DataSize bytes and Rows holds
// Height row offsets into it; a size that cannot be held leaves the image empty instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace meridia {

class TzoImage {
public:
  // Turns a whole file's bytes into the image; returns whether the picture was understood.
  using Loader = bool (*)(TzoImage& image, std::span<const uint8_t> bytes);

  // The most bytes an image may hold (pixels and row table together). Sizes read from files
  // are hostile; above this they are refused rather than trusted with an allocation.
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;
  // Above this a "pixel format" is nonsense: the widest channel layout the program meets is 4.
  static constexpr int32_t kMaxBytesPerPixel = 64;

  int32_t RowSize = 0;  // Width * BytesPerPixel.
  int32_t DataSize = 0; // Width * Height * BytesPerPixel.
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BytesPerPixel = 1;
  int32_t PixelCount = 0; // Width * Height.
  std::vector<uint8_t> Data;
  // Offsets rather than pointers: a copied or moved image keeps rows into its own Data.
  std::vector<size_t> Rows;

  // Existing bytes survive up to the new length, new bytes are zero. A negative size, or one
  // whose bytes overflow or exceed kMaxBytes, leaves the image empty (0 by 0, no data) with its
  // BytesPerPixel unchanged.
  void SetSize(int32_t w, int32_t h);
  void SetWidth(int32_t w) { SetSize(w, Height); }
  void SetHeight(int32_t h) { SetSize(Width, h); }

  // 8 -> 1, 24 -> 3, 32 -> 4 bytes per pixel; any other value is a byte count itself. The data is
  // resized, not converted. A byte count outside 0..kMaxBytesPerPixel empties the image and
  // brings back the constructed state.
  void SetPixelFormat(int32_t format);

  // Unchecked, like pointer arithmetic: callers stay within 0..Height-1 and 0..Width-1.
  uint8_t* RowAt(int32_t i) { return Data.data() + Rows[static_cast<size_t>(i)]; }
  const uint8_t* RowAt(int32_t i) const { return Data.data() + Rows[static_cast<size_t>(i)]; }
  uint8_t* PixelAt(int32_t x, int32_t y) { return Data.data() + PixelOffset(x, y); }
  const uint8_t* PixelAt(int32_t x, int32_t y) const { return Data.data() + PixelOffset(x, y); }

  // Reverses the pixels of every row, all channels of a pixel moving together.
  void MirrorRows();
  // Swaps row i with row Height - 1 - i; an odd middle row stays.
  void FlipVertical();

  // Reads the whole file and hands its bytes to loader. False when the file cannot be read (the
  // image is then left as it was), otherwise the loader's result.
  bool LoadFromFile(std::string_view name, Loader loader);
  // LoadFromFile with the TGA reader.
  bool LoadTGA(std::string_view name);

private:
  size_t PixelOffset(int32_t x, int32_t y) const {
    return (static_cast<size_t>(x) + static_cast<size_t>(y) * static_cast<size_t>(Width)) *
           static_cast<size_t>(BytesPerPixel);
  }
};

} // namespace meridia
