// The Truevision TGA reader: turns a whole file's bytes into a TzoImage with row 0 at the bottom,
// grey and 24-bit colour-mapped pictures widened to blue, green, red. It reads nothing outside
// the bytes it is given, whatever their header claims.
#pragma once

#include "imaging/Image.h"

#include <cstdint>
#include <span>

namespace meridia {

// True when the picture was read. False, with the image left empty (0 by 0, one byte per
// pixel) and one log line, when the bytes cannot hold what the header describes: fewer than 18
// header bytes, a pixel depth under 8 bits, an identification field, palette or uncompressed
// pixel block running past the end, run-length packets that end before the picture is full, or
// a size above TzoImage::kMaxBytes. Also false, keeping the pixels as read, for a colour-mapped
// picture of 1 or 2 bytes a pixel whose palette entries are not 24-bit.
bool LoadTGAFromMemory(TzoImage& image, std::span<const uint8_t> bytes);

} // namespace meridia
