// The application's icon, cut from the program's own shot of the planet from orbit: the disk is
// found in the picture, everything around it (the black of space, the overlay's text) becomes
// transparent, and the square around the disk is scaled down by area to each icon size.
#pragma once

#include "imaging/Image.h"

#include <cstdint>
#include <vector>

namespace meridia::icon {

inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Top row first, left to right: top-down coordinates, as pictures are shown.
struct Disk {
  bool found = false;
  double center_x = 0;
  double center_y = 0;
  double radius = 0;
};

// RGBA bytes, top row first.
struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// The lit disk around the middle of a 24- or 32-bit shot (bottom row first, blue first): from the
// middle outwards along the row and the column until a run of dark pixels, so the sky's rim
// counts and the overlay's text, apart from the disk, does not. Not found when the middle is dark
// or a direction meets the picture's edge first.
Disk FindPlanetDisk(const TzoImage& shot);

// A size by size icon of the square around the disk; pixels outside the disk are transparent and
// the disk's edge is smoothed by the share of each pixel it covers.
RgbaPicture CutIcon(const TzoImage& shot, const Disk& disk, int size);

} // namespace meridia::icon
