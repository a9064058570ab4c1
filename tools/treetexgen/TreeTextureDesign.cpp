#include "TreeTextureDesign.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

// Every picture comes from a local hash (never the shared generator), so the files are the same
// on every build. Bark is value noise on lattices whose periods divide the picture, stretched
// along the stem so that it reads as streaks; leaves are shapes in unit coordinates, sampled 4 by
// 4 per pixel for their coverage.

namespace meridia::treetexgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(const Rgb& c, double s) {
  return {c.r * s, c.g * s, c.b * s};
}

uint8_t Channel(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

double Unit(uint32_t h) {
  return static_cast<double>(h) / 4294967296.0;
}

int Wrap(int i, int period) {
  const int r = i % period;
  return r < 0 ? r + period : r;
}

// Value noise in [0, 1) on a lattice that repeats every px cells across and py cells up.
double PeriodicNoise(double x, double y, int px, int py, uint32_t seed) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  const double tx = SmoothStep(0.0, 1.0, x - fx);
  const double ty = SmoothStep(0.0, 1.0, y - fy);
  auto at = [&](int dx, int dy) { return Unit(Hash(Wrap(ix + dx, px), Wrap(iy + dy, py), seed)); };
  const double bottom = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
  const double top = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
  return bottom + (top - bottom) * ty;
}

// Octaves of periodic noise over the unit square, (u, v) in [0, 1); cells x cells_y at the
// first octave. Normalised to [0, 1).
double Fbm(double u, double v, int cells_x, int cells_y, int octaves, uint32_t seed) {
  double sum = 0;
  double weight = 1;
  double total = 0;
  for (int o = 0; o < octaves; ++o) {
    const int px = cells_x << o;
    const int py = cells_y << o;
    sum += weight * PeriodicNoise(u * px, v * py, px, py, seed + static_cast<uint32_t>(o));
    total += weight;
    weight *= 0.5;
  }
  return sum / total;
}

struct BarkStyle {
  Rgb dark, mid, light;
  int streaks;   // streak cells around the stem
  double furrow; // share of the surface in furrows
  uint32_t seed;
};

constexpr BarkStyle kBark[2] = {
    {{44, 30, 21}, {92, 66, 45}, {138, 106, 76}, 12, 0.42, 11},
    {{66, 64, 60}, {124, 120, 112}, {176, 172, 162}, 20, 0.30, 23},
};

// Distance from p to the segment a-b, in unit coordinates.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by,
                       double* along = nullptr) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  const double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
  if (along != nullptr) {
    *along = t;
  }
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// What a leaf sample hits: whether it is inside, and its colour there.
struct Hit {
  bool inside = false;
  Rgb color{0, 0, 0};
};

constexpr Rgb kBroadLeafFill{72, 128, 46};
constexpr Rgb kNeedleFill{40, 90, 48};

// Kind 0: five ovate leaves on short stalks, fanned up from one point near the bottom.
Hit BroadLeaves(double x, double y) {
  struct Leaf {
    double angle_degrees, length;
  };
  constexpr std::array<Leaf, 5> kLeaves = {
      {{90, 0.50}, {56, 0.44}, {124, 0.44}, {22, 0.36}, {158, 0.36}}};
  constexpr double kBaseX = 0.5;
  constexpr double kBaseY = 0.08;
  constexpr double kStalk = 0.07;
  Hit hit;
  for (size_t i = 0; i < kLeaves.size(); ++i) {
    const double a = kLeaves[i].angle_degrees * kPi / 180.0;
    const double dx = std::cos(a);
    const double dy = std::sin(a);
    const double sx = kBaseX + dx * kStalk;
    const double sy = kBaseY + dy * kStalk;
    // Leaf-local: t along the midrib (0 at the stalk, 1 at the tip), s across it.
    const double rx = x - sx;
    const double ry = y - sy;
    const double t = (rx * dx + ry * dy) / kLeaves[i].length;
    const double s = (-rx * dy + ry * dx) / kLeaves[i].length;
    if (t >= 0 && t <= 1) {
      // Widest a little below the middle, pointed at the tip.
      const double half_width = 0.26 * std::pow(std::sin(kPi * std::pow(t, 0.75)), 0.85);
      if (std::fabs(s) <= half_width) {
        const double edge = std::fabs(s) / std::max(half_width, 1e-6);
        Rgb c = Mix(Rgb{58, 112, 36}, Rgb{98, 158, 60}, 0.35 + 0.45 * edge);
        if (std::fabs(s) < 0.012) {
          c = Rgb{70, 118, 44}; // the midrib
        } else if (std::fabs(std::fmod(t * 9.0 + std::fabs(s) * 6.0, 1.0) - 0.5) < 0.06) {
          c = Scale(c, 0.9); // side veins running out toward the tip
        }
        c = Scale(c, 0.92 + 0.16 * Unit(Hash(static_cast<int>(i), 7, 3)));
        hit = {true, c};
      }
    }
    if (SegmentDistance(x, y, kBaseX, kBaseY, sx, sy) < 0.012) {
      hit = {true, Rgb{84, 96, 40}};
    }
  }
  return hit;
}

// Kind 1: a straight twig up the middle with needles leaning up and out on both sides.
struct Needle {
  double ax, ay, bx, by;
  double shade;
};

std::vector<Needle> MakeNeedles() {
  constexpr double kBottom = 0.04;
  constexpr double kTop = 0.96;
  std::vector<Needle> needles;
  int index = 0;
  for (double t = 0.07; t < 0.95; t += 0.032, ++index) {
    const double py = kBottom + (kTop - kBottom) * t;
    const double reach = 0.36 * (1.0 - 2.2 * (t - 0.45) * (t - 0.45));
    for (int side = -1; side <= 1; side += 2) {
      const uint32_t h = Hash(index, side, 41);
      const double lean = (50.0 + 14.0 * Unit(h)) * kPi / 180.0;
      needles.push_back({0.5, py, 0.5 + side * std::sin(lean) * reach, py + std::cos(lean) * reach,
                         Unit(h >> 7)});
    }
  }
  return needles;
}

Hit Needles(double x, double y) {
  static const std::vector<Needle> needles = MakeNeedles();
  Hit hit;
  for (const Needle& n : needles) {
    if (y < n.ay - 0.02 || y > n.by + 0.02) {
      continue; // needles lean up: this one comes nowhere near
    }
    double along = 0;
    if (SegmentDistance(x, y, n.ax, n.ay, n.bx, n.by, &along) < 0.011 * (1.1 - 0.5 * along)) {
      hit = {true, Mix(Rgb{28, 72, 38}, Rgb{58, 112, 62}, 0.3 * along + 0.5 * n.shade)};
    }
  }
  if (std::fabs(x - 0.5) < 0.016 && y >= 0.04 && y <= 0.96) {
    hit = {true, Rgb{92, 70, 44}};
  }
  return hit;
}

} // namespace

std::string BarkName(int kind) {
  return kind == 0 ? "2_bark" : "bt_bark";
}

std::string LeafName(int kind) {
  return kind == 0 ? "2_leaf" : "bt_leaf";
}

Rgba BarkPixel(int kind, int x, int y) {
  const BarkStyle& style = kBark[kind == 0 ? 0 : 1];
  const double u = Wrap(x, kBarkSize) / static_cast<double>(kBarkSize);
  const double v = Wrap(y, kBarkSize) / static_cast<double>(kBarkSize);
  // Long plates between furrows: cells many times taller than wide.
  const double plates = Fbm(u, v, style.streaks, 1, 4, style.seed);
  const double furrow = SmoothStep(style.furrow - 0.08, style.furrow + 0.06, plates);
  // Fine vertical grain on the plates.
  const double grain = Fbm(u, v, 4 * style.streaks, 8, 3, style.seed + 100);
  const double tone = Fbm(u, v, 3, 3, 2, style.seed + 200);
  Rgb c = Mix(style.mid, style.light, std::clamp(0.2 + 0.9 * (grain - 0.5) + 0.6 * tone, 0.0, 1.0));
  c = Mix(style.dark, c, furrow);
  return {Channel(c.r), Channel(c.g), Channel(c.b), 255};
}

Rgba LeafPixel(int kind, int x, int y) {
  constexpr int kSamples = 4;
  int covered = 0;
  Rgb sum{0, 0, 0};
  for (int j = 0; j < kSamples; ++j) {
    for (int i = 0; i < kSamples; ++i) {
      const double px = (x + (i + 0.5) / kSamples) / kLeafSize;
      const double py = (y + (j + 0.5) / kSamples) / kLeafSize;
      const Hit hit = kind == 0 ? BroadLeaves(px, py) : Needles(px, py);
      if (hit.inside) {
        ++covered;
        sum = {sum.r + hit.color.r, sum.g + hit.color.g, sum.b + hit.color.b};
      }
    }
  }
  // Uncovered texels carry the foliage's own colour, so filtering never darkens the edges.
  const Rgb c =
      covered > 0 ? Scale(sum, 1.0 / covered) : (kind == 0 ? kBroadLeafFill : kNeedleFill);
  const double alpha = 255.0 * covered / (kSamples * kSamples);
  return {Channel(c.r), Channel(c.g), Channel(c.b), Channel(alpha)};
}

namespace {

TTGAImage Picture(int size, int bytes_per_pixel, const auto& pixel) {
  TTGAImage image;
  image.Header.ImageType = 2;
  image.Header.Width = static_cast<uint16_t>(size);
  image.Header.Height = static_cast<uint16_t>(size);
  image.Header.PixelDepth = static_cast<uint8_t>(8 * bytes_per_pixel);
  image.Header.ImageDescriptor = bytes_per_pixel == 4 ? 8 : 0; // alpha bits; bottom-left origin
  image.SetPixelBuffer(size, size, bytes_per_pixel);
  size_t at = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Rgba p = pixel(x, y);
      image.Pixels[at++] = p.Blue;
      image.Pixels[at++] = p.Green;
      image.Pixels[at++] = p.Red;
      if (bytes_per_pixel == 4) {
        image.Pixels[at++] = p.Alpha;
      }
    }
  }
  return image;
}

} // namespace

TTGAImage BuildBark(int kind) {
  return Picture(kBarkSize, 3, [kind](int x, int y) { return BarkPixel(kind, x, y); });
}

TTGAImage BuildLeaf(int kind) {
  return Picture(kLeafSize, 4, [kind](int x, int y) { return LeafPixel(kind, x, y); });
}

} // namespace meridia::treetexgen
