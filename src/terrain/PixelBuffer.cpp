#include "terrain/PixelBuffer.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace meridia {

namespace {

// Spare bytes past the samples, kept for readers that fetch a few bytes beyond the last one.
constexpr size_t kSpareBytes = 64;

} // namespace

int32_t TypeSize(uint32_t data_type) {
  switch (data_type) {
  case kGlByte:
  case kGlUnsignedByte:
    return 1;
  case kGlShort:
  case kGlUnsignedShort:
    return 2;
  case kGlInt:
  case kGlUnsignedInt:
  case kGlFloat:
    return 4;
  case kGlDouble:
    return 8;
  default:
    return 0;
  }
}

void C3DBuffer::Allocate(int32_t width, int32_t height, int32_t depth, uint32_t data_type,
                         int32_t channels) {
  // Each factor is below 2^31, so the running product checked against the limit cannot wrap.
  const int64_t limit = std::numeric_limits<int32_t>::max();
  const int64_t element_size = static_cast<int64_t>(TypeSize(data_type)) * channels;
  bool valid = width >= 0 && height >= 0 && depth >= 0 && channels >= 0 && element_size <= limit;
  int64_t bytes = element_size;
  for (const int32_t factor : {width, height, depth}) {
    if (valid) {
      bytes *= factor;
      valid = bytes <= limit;
    }
  }
  if (!valid) {
#ifndef NDEBUG
    std::fprintf(stderr, "C3DBuffer::Allocate: invalid layout %d x %d x %d, %d channels\n", width,
                 height, depth, channels);
    std::abort();
#endif
    width = height = depth = channels = 0;
    bytes = 0;
  }
  Width = width;
  Height = height;
  Depth = depth;
  DataType = data_type;
  Channels = channels;
  ElementSize = TypeSize(data_type) * channels;
  Data.assign(static_cast<size_t>(bytes) + kSpareBytes, 0);
  DataRef = Data.data();
}

void CPixelBuffer::Allocate(int32_t width, int32_t height, int32_t depth, int32_t channels,
                            uint32_t format, uint32_t data_type) {
  C3DBuffer::Allocate(width, height, depth, data_type, channels);
  Format = format;
}

} // namespace meridia
