// A picture as the decoders hand it over: rows top first, tightly packed, pixels in the byte
// order blue, green, red and, for 32 bits, alpha. Empty when nothing was decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace meridia {

// No decoder makes a picture larger than this, whatever a header claims: 16384 by 16384.
inline constexpr int64_t kMaxDecodedPixels = int64_t{1} << 28;

struct TDecodedBitmap {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0; // 24 or 32; 0 when empty
  std::vector<uint8_t> Pixels;

  bool IsEmpty() const { return Width <= 0 || Height <= 0 || Pixels.empty(); }
  int32_t BytesPerPixel() const { return BitsPerPixel / 8; }
  size_t RowBytes() const {
    return static_cast<size_t>(Width) * static_cast<size_t>(BitsPerPixel / 8);
  }
  const uint8_t* Row(int32_t y) const {
    return Pixels.data() + static_cast<size_t>(y) * RowBytes();
  }
  uint8_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * RowBytes(); }
  // Sets the size and format with zeroed pixels; false, and empty, for a size no decoder may
  // make (non-positive sides, more than kMaxDecodedPixels, or bits other than 24 and 32).
  bool Allocate(int32_t width, int32_t height, int32_t bits) {
    *this = TDecodedBitmap();
    if (width <= 0 || height <= 0 || (bits != 24 && bits != 32) ||
        int64_t{width} * height > kMaxDecodedPixels) {
      return false;
    }
    Width = width;
    Height = height;
    BitsPerPixel = bits;
    Pixels.assign(RowBytes() * static_cast<size_t>(height), 0);
    return true;
  }
};

} // namespace meridia
