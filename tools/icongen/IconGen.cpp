// meridia-icongen SHOT.tga FOLDER: the application icon from the flight tool's shot of the planet
// from orbit, as FOLDER/<N>x<N>/apps/meridia.png for each usual size. The build runs it; the
// cutting is in IconDesign.cpp.
#include "IconDesign.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Written beside the target and renamed over it, so that no half-written icon is ever installed.
bool SavePng(const meridia::icon::RgbaPicture& icon, const std::filesystem::path& target) {
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(icon.pixels.data()), icon.width,
                                         icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) {
    return false;
  }
  const std::filesystem::path part = target.string() + ".part";
  const bool written = IMG_SavePNG(surface, part.c_str()) == 0;
  SDL_FreeSurface(surface);
  std::error_code error;
  if (written) {
    std::filesystem::rename(part, target, error);
  }
  if (!written || error) {
    std::filesystem::remove(part, error);
    return false;
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: meridia-icongen SHOT.tga FOLDER\n", stderr);
    return 2;
  }
  meridia::TzoImage shot;
  if (!shot.LoadTGA(argv[1])) {
    std::fprintf(stderr, "meridia-icongen: cannot read %s\n", argv[1]);
    return 1;
  }
  const meridia::icon::Disk disk = meridia::icon::FindPlanetDisk(shot);
  if (!disk.found) {
    std::fprintf(stderr, "meridia-icongen: no planet in the middle of %s\n", argv[1]);
    return 1;
  }
  for (const int size : meridia::icon::kIconSizes) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const std::filesystem::path folder = std::filesystem::path(argv[2]) / name / "apps";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!SavePng(meridia::icon::CutIcon(shot, disk, size), folder / "meridia.png")) {
      std::fprintf(stderr, "meridia-icongen: cannot write %s\n", (folder / "meridia.png").c_str());
      return 1;
    }
  }
  return 0;
}
