#include "imaging/Image.h"

#include "imaging/TGAReader.h"
#include "storage/File.h"
#include "storage/Log.h"

#include <algorithm>
#include <string>

namespace meridia {
namespace {

// Whether w by h pixels of bytes_per_pixel bytes, with their row table, stay within kMaxBytes.
// Every product is checked before the next one is formed, so nothing overflows on the way; a
// zero byte count still counts one byte a pixel so that PixelCount and RowSize stay in range.
bool SizeFits(int32_t w, int32_t h, int32_t bytes_per_pixel) {
  if (w < 0 || h < 0 || bytes_per_pixel < 0) {
    return false;
  }
  const uint64_t unit = static_cast<uint64_t>(std::max(bytes_per_pixel, 1));
  const uint64_t row_bytes = static_cast<uint64_t>(w) * unit;
  if (row_bytes > TzoImage::kMaxBytes) {
    return false;
  }
  const uint64_t pixel_bytes = row_bytes * static_cast<uint64_t>(h);
  const uint64_t table_bytes = static_cast<uint64_t>(h) * sizeof(size_t);
  return pixel_bytes <= TzoImage::kMaxBytes && table_bytes <= TzoImage::kMaxBytes - pixel_bytes;
}

// The whole file through the file layer, which logs a missing one. A file too big for any image
// is refused before anything is allocated for it.
bool ReadWholeFile(std::string_view name, std::vector<uint8_t>& bytes) {
  TzoFile file;
  if (!file.OpenRead(name, false)) {
    return false;
  }
  const int64_t size = file.GetSize();
  if (size < 0 || static_cast<uint64_t>(size) > TzoImage::kMaxBytes) {
    LogWrite("File too large for an image : " + std::string(name));
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  file.TransferBuffer(bytes.data(), static_cast<int32_t>(size));
  file.Close();
  return true;
}

} // namespace

void TzoImage::SetSize(int32_t w, int32_t h) {
  if (!SizeFits(w, h, BytesPerPixel)) {
    w = 0;
    h = 0;
  }
  Width = w;
  Height = h;
  PixelCount = w * h;
  RowSize = w * BytesPerPixel;
  DataSize = PixelCount * BytesPerPixel;
  Data.resize(static_cast<size_t>(DataSize));
  Rows.resize(static_cast<size_t>(h));
  for (size_t i = 0; i < Rows.size(); ++i) {
    Rows[i] = i * static_cast<size_t>(RowSize);
  }
}

void TzoImage::SetPixelFormat(int32_t format) {
  int32_t bytes_per_pixel = format;
  switch (format) {
  case 8:
    bytes_per_pixel = 1;
    break;
  case 24:
    bytes_per_pixel = 3;
    break;
  case 32:
    bytes_per_pixel = 4;
    break;
  default:
    break;
  }
  if (bytes_per_pixel < 0 || bytes_per_pixel > kMaxBytesPerPixel) {
    *this = TzoImage();
    return;
  }
  BytesPerPixel = bytes_per_pixel;
  SetSize(Width, Height);
}

void TzoImage::MirrorRows() {
  const size_t pixel = static_cast<size_t>(BytesPerPixel);
  const size_t width = static_cast<size_t>(Width);
  if (pixel == 0) {
    return;
  }
  for (int32_t y = 0; y < Height; ++y) {
    uint8_t* row = RowAt(y);
    for (size_t left = 0, right = width - 1; left < width / 2; ++left, --right) {
      std::swap_ranges(row + left * pixel, row + (left + 1) * pixel, row + right * pixel);
    }
  }
}

void TzoImage::FlipVertical() {
  for (int32_t top = Height - 1, bottom = 0; bottom < Height / 2; ++bottom, --top) {
    std::swap_ranges(RowAt(bottom), RowAt(bottom) + RowSize, RowAt(top));
  }
}

bool TzoImage::LoadFromFile(std::string_view name, Loader loader) {
  std::vector<uint8_t> bytes;
  if (loader == nullptr || !ReadWholeFile(name, bytes)) {
    return false;
  }
  return loader(*this, bytes);
}

bool TzoImage::LoadTGA(std::string_view name) {
  return LoadFromFile(name, LoadTGAFromMemory);
}

} // namespace meridia
