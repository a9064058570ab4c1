#include "pictures/PictureFiles.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace meridia::testing {

Picture LoadTgaShot(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  constexpr size_t kHeader = 18;
  if (bytes.size() < kHeader) {
    return {};
  }
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(bytes[at]); };
  const int id_length = byte(0);
  const int width = byte(12) | byte(13) << 8;
  const int height = byte(14) | byte(15) << 8;
  const bool top_first = (byte(17) & 0x20) != 0;
  const size_t start = kHeader + id_length;
  const size_t size = static_cast<size_t>(width) * height * 3;
  if (byte(1) != 0 || byte(2) != 2 || byte(16) != 24 || width == 0 || height == 0 ||
      bytes.size() < start + size) {
    return {};
  }
  Picture picture{width, height, std::vector<uint8_t>(size)};
  for (int row = 0; row < height; ++row) {
    const size_t from = start + static_cast<size_t>(row) * width * 3;
    uint8_t* to = &picture.Rgb[static_cast<size_t>(top_first ? row : height - 1 - row) * width * 3];
    for (int x = 0; x < width; ++x) {
      to[x * 3 + 0] = byte(from + x * 3 + 2);
      to[x * 3 + 1] = byte(from + x * 3 + 1);
      to[x * 3 + 2] = byte(from + x * 3 + 0);
    }
  }
  return picture;
}

Picture LoadPng(const std::filesystem::path& path) {
  SDL_Surface* loaded = IMG_Load(path.c_str());
  if (loaded == nullptr) {
    return {};
  }
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(loaded);
  if (rgb == nullptr) {
    return {};
  }
  Picture picture{rgb->w, rgb->h, std::vector<uint8_t>(static_cast<size_t>(rgb->w) * rgb->h * 3)};
  SDL_LockSurface(rgb);
  for (int row = 0; row < rgb->h; ++row) {
    std::memcpy(&picture.Rgb[static_cast<size_t>(row) * rgb->w * 3],
                static_cast<const uint8_t*>(rgb->pixels) + static_cast<size_t>(row) * rgb->pitch,
                static_cast<size_t>(rgb->w) * 3);
  }
  SDL_UnlockSurface(rgb);
  SDL_FreeSurface(rgb);
  return picture;
}

bool SavePng(const Picture& picture, const std::filesystem::path& path) {
  if (!picture.Valid()) {
    return false;
  }
  // SDL only reads the pixels through the surface; the cast never leads to a write.
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(picture.Rgb.data()), picture.Width, picture.Height, 24,
      picture.Width * 3, SDL_PIXELFORMAT_RGB24);
  if (surface == nullptr) {
    return false;
  }
  const bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
  SDL_FreeSurface(surface);
  return saved;
}

} // namespace meridia::testing
