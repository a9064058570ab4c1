#include "imaging/TGAImage.h"

#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

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

// A new, empty file beside the target, so that the rename over the target stays on one file
// system. O_EXCL keeps it from ever reusing a stranger's file.
std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporary_name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_name = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    const int fd = open(temporary_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::FILE* file = fdopen(fd, "wb");
      if (file == nullptr) {
        close(fd);
        unlink(temporary_name.c_str());
      }
      return file;
    }
    if (errno != EEXIST) {
      return nullptr;
    }
  }
  return nullptr;
}

bool WriteAll(std::FILE* file, const uint8_t* data, size_t size) {
  return size == 0 || std::fwrite(data, 1, size, file) == size;
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

  const std::string target = platform::NativePath(name);
  std::string temporary_name;
  std::FILE* file = CreateTemporaryBeside(target, temporary_name);
  if (file == nullptr) {
    return false;
  }
  const std::array<uint8_t, TGAHeader::kSize> header = Header.ToBytes();
  bool written = WriteAll(file, header.data(), header.size()) &&
                 WriteAll(file, Palette.data(), palette_size) &&
                 WriteAll(file, Pixels.data(), pixels_size) && std::fflush(file) == 0 &&
                 fsync(fileno(file)) == 0;
  written = std::fclose(file) == 0 && written;
  if (!written || std::rename(temporary_name.c_str(), target.c_str()) != 0) {
    unlink(temporary_name.c_str());
    return false;
  }
  return true;
}

} // namespace meridia
