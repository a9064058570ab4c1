// The terrain colour map's design: a pure function from a (column, row) of the 256 by 2048
// picture to a colour, and the picture built from it. Columns run by |sin latitude| (0 at the
// equator, 255 at the pole), rows by height (row = height * 2047, row 0 at the bottom).
#pragma once

#include "imaging/TGAImage.h"

#include <cstdint>

namespace meridia::cmapgen {

constexpr int kColorMapWidth = 256;
constexpr int kColorMapHeight = 2048;

struct Color {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
};

// Deterministic: the same column and row give the same colour in every run and on every
// machine that rounds floats the same way. Out-of-range arguments are clamped to the picture.
Color ColorMapPixel(int column, int row);

// The whole picture as an uncompressed 24-bit TGA record with bottom-left origin (descriptor
// 0), pixels in blue, green, red order.
TTGAImage BuildColorMap();

} // namespace meridia::cmapgen
