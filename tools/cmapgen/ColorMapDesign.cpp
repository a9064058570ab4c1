#include "ColorMapDesign.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

// The picture, bottom to top (height 0 to 1):
// - Rows 0..1023 are sea: the water line is height 0.5, where trees and buildings begin. Deep
//   navy at the bottom lightens to blue and then to a turquoise shallow band near row 1023. The
//   sea floor's negative heights clamp to row 0, so rows 0 and 1 are kept identical: the reader
//   extrapolates from them and must not leave the byte range.
// - From row 1024 land: a narrow beach, lowland greens (to ~1200), forest (to ~1400), highland
//   olive and brown (to ~1550), grey rock (to ~1780) and snow above; heights over 1 clamp to the
//   top rows, which are near-white.
// - Toward the pole (right-hand columns) the snow line comes down to the coast, vegetation fades
//   to tundra, and from about |sin latitude| 0.86 the sea turns to ice.
// Every change is a smooth ramp because the map is sampled bilinearly; a faint value noise from a
// local hash (never the shared generator) keeps large areas from looking flat.

namespace meridia::cmapgen {
namespace {

constexpr int kWaterLineRow = 1024;

struct Rgb {
  double r, g, b;
};

struct Stop {
  double at;
  Rgb color;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Piecewise smooth ramp through the stops (sorted by position); flat beyond the ends.
Rgb Ramp(std::span<const Stop> stops, double x) {
  if (x <= stops.front().at) {
    return stops.front().color;
  }
  for (size_t i = 1; i < stops.size(); ++i) {
    if (x <= stops[i].at) {
      const double t = SmoothStep(stops[i - 1].at, stops[i].at, x);
      return Mix(stops[i - 1].color, stops[i].color, t);
    }
  }
  return stops.back().color;
}

// By depth below the water line: 0 at the coast, 1 at row 0.
constexpr std::array<Stop, 5> kSea = {{
    {0.00, {72, 158, 170}},
    {0.05, {40, 112, 160}},
    {0.30, {22, 66, 132}},
    {0.75, {12, 32, 86}},
    {0.92, {9, 24, 70}},
}};

// Sea ice: brighter and whiter over shallow water, a little bluer over deep water.
constexpr std::array<Stop, 3> kIce = {{
    {0.00, {232, 238, 244}},
    {0.10, {218, 228, 238}},
    {1.00, {200, 214, 230}},
}};

// By land height, 0 at the water line and 1 at the top row. The ground's bands end in rock at
// kSnowLine, where snow begins at the equator; snow is laid over them separately.
constexpr double kSnowLine = 0.74;
constexpr double kBeach = 0.022;
constexpr std::array<Stop, 11> kTemperateLand = {{
    {0.000, {204, 190, 140}},
    {0.008, {196, 182, 130}},
    {kBeach, {124, 152, 72}},
    {0.090, {98, 142, 60}},
    {0.170, {72, 122, 48}},
    {0.240, {46, 98, 38}},
    {0.360, {40, 84, 34}},
    {0.450, {98, 96, 58}},
    {0.530, {122, 98, 70}},
    {0.630, {120, 112, 104}},
    {kSnowLine, {150, 146, 142}},
}};

constexpr Rgb kDryLowland = {176, 156, 100};

// The same bands in a cold climate: grey shingle, tundra, bare ground and rock.
constexpr std::array<Stop, 6> kColdLand = {{
    {0.000, {168, 164, 150}},
    {kBeach, {128, 130, 98}},
    {0.200, {112, 112, 86}},
    {0.450, {110, 100, 82}},
    {0.630, {118, 114, 110}},
    {kSnowLine, {150, 148, 146}},
}};

// Fresh snow, whiter the higher it lies.
constexpr std::array<Stop, 2> kSnow = {{
    {0.0, {232, 236, 240}},
    {1.0, {250, 251, 253}},
}};

uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ 0x5BD1E995u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// Smooth value noise in [-1, 1] on a lattice of cell_x by cell_y pixels.
double ValueNoise(int column, int row, int cell_x, int cell_y) {
  const double fx = static_cast<double>(column) / cell_x;
  const double fy = static_cast<double>(row) / cell_y;
  const uint32_t ix = static_cast<uint32_t>(fx);
  const uint32_t iy = static_cast<uint32_t>(fy);
  const double tx = SmoothStep(0.0, 1.0, fx - ix);
  const double ty = SmoothStep(0.0, 1.0, fy - iy);
  const auto corner = [](uint32_t x, uint32_t y) { return Hash(x, y) / 2147483647.5 - 1.0; };
  const double bottom = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * tx;
  const double top = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * tx;
  return bottom + (top - bottom) * ty;
}

Rgb SeaColor(double latitude, int row) {
  const double depth = static_cast<double>(kWaterLineRow - 1 - row) / (kWaterLineRow - 1);
  Rgb water = Ramp(kSea, depth);
  // Cold water is greyer before it freezes.
  const Rgb grey = {water.g * 0.8, water.g * 0.9, water.b};
  water = Mix(water, grey, 0.35 * SmoothStep(0.55, 0.86, latitude));
  return Mix(water, Ramp(kIce, depth), SmoothStep(0.86, 0.93, latitude));
}

// Where snow begins, in land height: at kSnowLine up to 25 degrees of latitude, then falling
// smoothly to just above the beach at 82 degrees and beyond.
double SnowLine(double latitude) {
  constexpr double kDegrees = 180.0 / 3.14159265358979323846;
  const double angle = std::asin(std::clamp(latitude, 0.0, 1.0)) * kDegrees;
  return kSnowLine - (kSnowLine - 0.035) * SmoothStep(25.0, 82.0, angle);
}

Rgb LandColor(double latitude, int row) {
  const double height =
      static_cast<double>(row - kWaterLineRow) / (kColorMapHeight - 1 - kWaterLineRow);
  // The ground's bands are squeezed under a lower snow line, at most six-fold so that each keeps
  // a few rows; the beach keeps its width. Near the pole only beach and tundra fit under it.
  const double snow_line = SnowLine(latitude);
  const double squeeze = std::min((kSnowLine - kBeach) / std::max(snow_line - kBeach, 1e-6), 6.0);
  const double band =
      height <= kBeach ? height : std::min(kBeach + (height - kBeach) * squeeze, kSnowLine);
  Rgb ground = Ramp(kTemperateLand, band);
  // A dry belt around 25 degrees turns the lowlands toward ochre, fading out up the slopes.
  const double dry = 0.35 * std::exp(-std::pow((latitude - 0.42) / 0.13, 2.0)) *
                     (1.0 - SmoothStep(0.10, 0.30, band)) * SmoothStep(0.0, kBeach, band);
  ground = Mix(ground, kDryLowland, dry);
  ground = Mix(ground, Ramp(kColdLand, band), SmoothStep(0.62, 0.88, latitude));
  // Snow fades in over about 60 rows around the snow line, whatever the latitude.
  constexpr double kSnowFade = 0.03;
  const double snow = SmoothStep(snow_line - kSnowFade, snow_line + kSnowFade, height);
  return Mix(ground, Ramp(kSnow, height), snow);
}

uint8_t ToByte(double value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

} // namespace

Color ColorMapPixel(int column, int row) {
  column = std::clamp(column, 0, kColorMapWidth - 1);
  // Row 0 repeats row 1 so that extrapolating below the sea floor stays in range.
  row = std::clamp(row, 1, kColorMapHeight - 1);
  const double latitude = static_cast<double>(column) / (kColorMapWidth - 1);
  const bool sea = row < kWaterLineRow;
  Rgb color = sea ? SeaColor(latitude, row) : LandColor(latitude, row);

  // Broad, faint brightness variation plus a finer one; weaker at sea and on snow.
  const double noise =
      0.75 * ValueNoise(column, row, 40, 80) + 0.25 * ValueNoise(column, row, 12, 12);
  const double lightness = (color.r + color.g + color.b) / (3 * 255.0);
  const double amplitude = (sea ? 4.0 : 7.0) * (1.0 - SmoothStep(0.75, 0.95, lightness));
  const double tint = 0.5 * amplitude * ValueNoise(column + 977, row, 24, 64);
  return {ToByte(color.r + amplitude * noise + tint), ToByte(color.g + amplitude * noise),
          ToByte(color.b + amplitude * noise - tint)};
}

TTGAImage BuildColorMap() {
  TTGAImage image;
  image.Header.ImageType = 2;
  image.Header.Width = kColorMapWidth;
  image.Header.Height = kColorMapHeight;
  image.Header.PixelDepth = 24;
  image.Header.ImageDescriptor = 0;
  image.SetPixelBuffer(kColorMapWidth, kColorMapHeight, 3);
  uint8_t* pixel = image.PixelsAddress();
  for (int row = 0; row < kColorMapHeight; ++row) {
    for (int column = 0; column < kColorMapWidth; ++column) {
      const Color color = ColorMapPixel(column, row);
      *pixel++ = color.Blue;
      *pixel++ = color.Green;
      *pixel++ = color.Red;
    }
  }
  return image;
}

} // namespace meridia::cmapgen
