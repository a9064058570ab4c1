#include "imaging/TGAImage.h"

#include "storage/File.h"
#include "storage/WholeFile.h"

namespace meridia {
namespace {

constexpr int kMaxSide = 65535;
constexpr int kMaxBytesPerPixel = 255 / 8;

void PutWord(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetWord(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

} // namespace

std::array<uint8_t, TGAHeader::kSize> TGAHeader::ToBytes() const {
  std::array<uint8_t, kSize> bytes{};
  bytes[0] = IdLength;
  bytes[1] = ColorMapType;
  bytes[2] = ImageType;
  PutWord(&bytes[3], ColorMapFirstEntry);
  PutWord(&bytes[5], ColorMapLength);
  bytes[7] = ColorMapEntrySize;
  PutWord(&bytes[8], XOrigin);
  PutWord(&bytes[10], YOrigin);
  PutWord(&bytes[12], Width);
  PutWord(&bytes[14], Height);
  bytes[16] = PixelDepth;
  bytes[17] = ImageDescriptor;
  return bytes;
}

TGAHeader TGAHeader::FromBytes(std::span<const uint8_t, kSize> bytes) {
  TGAHeader header;
  header.IdLength = bytes[0];
  header.ColorMapType = bytes[1];
  header.ImageType = bytes[2];
  header.ColorMapFirstEntry = GetWord(&bytes[3]);
  header.ColorMapLength = GetWord(&bytes[5]);
  header.ColorMapEntrySize = bytes[7];
  header.XOrigin = GetWord(&bytes[8]);
  header.YOrigin = GetWord(&bytes[10]);
  header.Width = GetWord(&bytes[12]);
  header.Height = GetWord(&bytes[14]);
  header.PixelDepth = bytes[16];
  header.ImageDescriptor = bytes[17];
  return header;
}

void TTGAImage::SetPixelBuffer(int w, int h, int bytes_per_pixel) {
  Pixels.clear();
  if (w < 0 || h < 0 || bytes_per_pixel < 0 || w > kMaxSide || h > kMaxSide ||
      bytes_per_pixel > kMaxBytesPerPixel) {
    return;
  }
  Pixels.assign(
      static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(bytes_per_pixel), 0);
}

uint8_t* TTGAImage::PixelsAddress() {
  return Pixels.empty() ? nullptr : Pixels.data();
}

bool TTGAImage::SaveToFile(std::string_view name) const {
  const size_t palette_size = Header.PaletteBytes();
  const size_t pixels_size =
      Header.ImageType < 9 ? size_t{Header.PixelDepth / 8u} * Header.Width * Header.Height : 0;
  if (name.empty() || Palette.size() < palette_size || Pixels.size() < pixels_size) {
    return false;
  }
  const std::array<uint8_t, TGAHeader::kSize> header = Header.ToBytes();
  // The writer only reads these; Transfer takes a mutable buffer for both directions.
  auto* header_bytes = const_cast<uint8_t*>(header.data());
  auto* palette = const_cast<uint8_t*>(Palette.data());
  auto* pixels = const_cast<uint8_t*>(Pixels.data());
  return WriteWholeFile(name, [&](TzoFile& file) {
    file.TransferBlock(header_bytes, static_cast<int64_t>(header.size()));
    file.TransferBlock(palette, static_cast<int64_t>(palette_size));
    file.TransferBlock(pixels, static_cast<int64_t>(pixels_size));
  });
}

} // namespace meridia
