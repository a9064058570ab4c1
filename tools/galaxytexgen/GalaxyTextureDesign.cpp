#include "GalaxyTextureDesign.h"

#include <algorithm>
#include <cmath>

// Glows are radial profiles with no noise, so they are exactly symmetric; the smoke's density is
// value noise from a local hash (never the shared generator), so the files are the same on every
// build.

namespace meridia::galaxytexgen {
namespace {

struct Rgb {
  double r, g, b;
};

uint8_t Channel(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// Distance of the pixel centre from the picture centre, 1 at the inscribed circle.
double Radius(int size, int x, int y) {
  const double half = size / 2.0;
  const double dx = (x + 0.5 - half) / half;
  const double dy = (y + 0.5 - half) / half;
  return std::sqrt(dx * dx + dy * dy);
}

// 1 at the centre, 0 from radius 1 on, with a zero slope there: no visible rim.
double Fade(double r) {
  const double t = std::clamp(1.0 - r * r, 0.0, 1.0);
  return t * t;
}

Rgba Glow(const Rgb& tint, double brightness) {
  const double b = std::clamp(brightness, 0.0, 1.0);
  return {Channel(tint.r * b), Channel(tint.g * b), Channel(tint.b * b), 255};
}

// Frames: broad glows, each with its own tint and falloff.
constexpr Rgb kFrameTints[kFrameCount] = {
    {255, 250, 240}, {170, 200, 255}, {255, 215, 160}, {235, 190, 255}};
constexpr double kFrameCores[kFrameCount] = {6.0, 3.0, 10.0, 4.5};

// Stars: a small hot core in a faint halo.
constexpr Rgb kStarTints[kStarCount] = {
    {255, 255, 255}, {200, 220, 255}, {255, 235, 190}, {255, 200, 170}};
constexpr double kStarCores[kStarCount] = {40.0, 28.0, 60.0, 34.0};

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 2246822519u ^
               seed * 3266489917u;
  h ^= h >> 15;
  h *= 668265263u;
  h ^= h >> 13;
  return h;
}

double Lattice(int x, int y, uint32_t seed) {
  return static_cast<double>(Hash(x, y, seed)) / 4294967296.0;
}

double SmoothStep(double t) {
  return t * t * (3.0 - 2.0 * t);
}

double ValueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const double tx = SmoothStep(x - fx), ty = SmoothStep(y - fy);
  const double bottom =
      Lattice(ix, iy, seed) + (Lattice(ix + 1, iy, seed) - Lattice(ix, iy, seed)) * tx;
  const double top =
      Lattice(ix, iy + 1, seed) + (Lattice(ix + 1, iy + 1, seed) - Lattice(ix, iy + 1, seed)) * tx;
  return bottom + (top - bottom) * ty;
}

// Four octaves in [0, 1) over the unit square; the finest cells are 8 pixels wide, so the cloud
// stays soft.
double Cloud(double u, double v) {
  double sum = 0, weight = 1, total = 0, cells = 2;
  for (uint32_t octave = 0; octave < 4; ++octave) {
    sum += weight * ValueNoise(u * cells, v * cells, 17 + octave);
    total += weight;
    weight *= 0.5;
    cells *= 2;
  }
  return sum / total;
}

std::string Numbered(const char* stem, int index) {
  return stem + std::to_string(index + 1);
}

TTGAImage Picture(int size, int bytes_per_pixel) {
  TTGAImage image;
  image.Header.ImageType = 2;
  image.Header.Width = static_cast<uint16_t>(size);
  image.Header.Height = static_cast<uint16_t>(size);
  image.Header.PixelDepth = static_cast<uint8_t>(bytes_per_pixel * 8);
  image.Header.ImageDescriptor = bytes_per_pixel == 4 ? 8 : 0; // alpha bits
  image.SetPixelBuffer(size, size, bytes_per_pixel);
  return image;
}

template <typename PixelFunction>
TTGAImage Fill(int size, int bytes_per_pixel, PixelFunction pixel) {
  TTGAImage image = Picture(size, bytes_per_pixel);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Rgba p = pixel(x, y);
      uint8_t* out = &image.Pixels[(static_cast<size_t>(y) * size + x) * bytes_per_pixel];
      out[0] = p.Blue;
      out[1] = p.Green;
      out[2] = p.Red;
      if (bytes_per_pixel == 4) {
        out[3] = p.Alpha;
      }
    }
  }
  return image;
}

} // namespace

Rgba FramePixel(int index, int x, int y) {
  const int i = std::clamp(index, 0, kFrameCount - 1);
  const double r = Radius(kFrameSize, x, y);
  const double fade = Fade(r);
  // A wide soft body and a brighter middle, both inside the fade.
  const double brightness = fade * (0.55 + 0.45 * std::exp(-kFrameCores[i] * r * r));
  return Glow(kFrameTints[i], brightness);
}

Rgba StarPixel(int index, int x, int y) {
  const int i = std::clamp(index, 0, kStarCount - 1);
  const double r = Radius(kStarSize, x, y);
  const double brightness = Fade(r) * (0.25 + 0.75 * std::exp(-kStarCores[i] * r * r));
  return Glow(kStarTints[i], brightness);
}

Rgba SmokePixel(int x, int y) {
  const double r = Radius(kSmokeSize, x, y);
  const double u = (x + 0.5) / kSmokeSize, v = (y + 0.5) / kSmokeSize;
  const double density = Cloud(u, v);
  // Denser towards the middle, thinned by the noise into wisps.
  const double alpha = Fade(r) * std::clamp(0.25 + 1.1 * density, 0.0, 1.0);
  const double shade = 200.0 + 55.0 * density;
  const uint8_t grey = Channel(shade);
  return {grey, grey, Channel(shade + 6.0), Channel(alpha * 255.0)};
}

TTGAImage BuildFrame(int index) {
  return Fill(kFrameSize, 3, [index](int x, int y) { return FramePixel(index, x, y); });
}

TTGAImage BuildStar(int index) {
  return Fill(kStarSize, 3, [index](int x, int y) { return StarPixel(index, x, y); });
}

TTGAImage BuildSmoke() {
  return Fill(kSmokeSize, 4, [](int x, int y) { return SmokePixel(x, y); });
}

std::string FrameName(int index) {
  return Numbered("frame", index);
}

std::string StarName(int index) {
  return Numbered("star", index);
}

std::string SmokeName() {
  return "smoke2";
}

} // namespace meridia::galaxytexgen
