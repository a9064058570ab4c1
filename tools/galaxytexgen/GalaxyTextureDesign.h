// The backdrop's nine pictures, designed here and written by the build: four frames and four
// stars, soft glows on black that fade to nothing at their edges (they are meant to be added onto
// the sky), and one smoke picture, a soft cloud whose alpha is its density.
#pragma once

#include "imaging/TGAImage.h"

#include <cstdint>
#include <string>

namespace meridia::galaxytexgen {

constexpr int kFrameSize = 128;
constexpr int kStarSize = 64;
constexpr int kSmokeSize = 128;
constexpr int kFrameCount = 4;
constexpr int kStarCount = 4;

struct Rgba {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Alpha = 255;
};

// index 0 to 3. Black from the inscribed circle outward; symmetric about both middle lines.
Rgba FramePixel(int index, int x, int y);
Rgba StarPixel(int index, int x, int y);
// Grey-white; alpha 0 from the inscribed circle outward.
Rgba SmokePixel(int x, int y);

// Frames and stars 24-bit, smoke 32-bit; bottom-left origin, blue, green, red(, alpha) order.
TTGAImage BuildFrame(int index);
TTGAImage BuildStar(int index);
TTGAImage BuildSmoke();

// File name stems below base/textures/galaxy: "frame1" .. "frame4", "star1" .. "star4",
// "smoke2".
std::string FrameName(int index);
std::string StarName(int index);
std::string SmokeName();

} // namespace meridia::galaxytexgen
