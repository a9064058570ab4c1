#include "IconDesign.h"

#include <algorithm>
#include <cmath>

namespace meridia::icon {
namespace {

// Space is black; the darkest lit ground and the rim's glow stay above this.
constexpr int kDarkLevel = 16;
// The gap between the disk and the overlay's lines is wider than this; the lit disk has no dark
// run this long along its middle row or column.
constexpr int kDarkRun = 6;

bool Dark(const TzoImage& shot, int x, int y_top) {
  const uint8_t* pixel = shot.PixelAt(x, shot.Height - 1 - y_top);
  return std::max({pixel[0], pixel[1], pixel[2]}) < kDarkLevel;
}

// The first pixel of the first dark run met walking from (x, y) by (dx, dy); -1 when the walk
// reaches the picture's edge first.
int DarkRunAt(const TzoImage& shot, int x, int y, int dx, int dy) {
  int run = 0;
  for (int step = 0;; ++step) {
    const int px = x + dx * step;
    const int py = y + dy * step;
    if (px < 0 || py < 0 || px >= shot.Width || py >= shot.Height) {
      return -1;
    }
    run = Dark(shot, px, py) ? run + 1 : 0;
    if (run == kDarkRun) {
      return step - kDarkRun + 1;
    }
  }
}

} // namespace

Disk FindPlanetDisk(const TzoImage& shot) {
  Disk disk;
  if (shot.BytesPerPixel < 3 || shot.Width < 2 * kDarkRun || shot.Height < 2 * kDarkRun) {
    return disk;
  }
  const int x = shot.Width / 2;
  const int y = shot.Height / 2;
  if (Dark(shot, x, y)) {
    return disk;
  }
  const int left = DarkRunAt(shot, x, y, -1, 0);
  const int right = DarkRunAt(shot, x, y, 1, 0);
  const int up = DarkRunAt(shot, x, y, 0, -1);
  const int down = DarkRunAt(shot, x, y, 0, 1);
  if (left < 0 || right < 0 || up < 0 || down < 0) {
    return disk;
  }
  // The lit pixels run from x - left + 1 to x + right - 1, both walks counting pixel x itself.
  disk.center_x = x + (right - left + 1) / 2.0;
  disk.center_y = y + (down - up + 1) / 2.0;
  disk.radius = std::max(left + right - 1, up + down - 1) / 2.0;
  disk.found = disk.radius >= kDarkRun;
  return disk;
}

RgbaPicture CutIcon(const TzoImage& shot, const Disk& disk, int size) {
  RgbaPicture icon;
  if (!disk.found || size <= 0 || shot.BytesPerPixel < 3) {
    return icon;
  }
  icon.width = size;
  icon.height = size;
  icon.pixels.assign(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
  const double side = 2 * disk.radius;
  const double left = disk.center_x - disk.radius;
  const double top = disk.center_y - disk.radius;
  // About one sample per shot pixel, so that every pixel of the disk counts once.
  const int samples = std::max(4, static_cast<int>(std::ceil(side / size)));
  const double step = side / size / samples;
  for (int oy = 0; oy < size; ++oy) {
    for (int ox = 0; ox < size; ++ox) {
      double sum[3] = {0, 0, 0};
      int inside = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const double px = left + (ox * samples + sx + 0.5) * step;
          const double py = top + (oy * samples + sy + 0.5) * step;
          const double dx = px - disk.center_x;
          const double dy = py - disk.center_y;
          if (dx * dx + dy * dy > disk.radius * disk.radius) {
            continue;
          }
          const int ix = std::clamp(static_cast<int>(px), 0, shot.Width - 1);
          const int iy = std::clamp(static_cast<int>(py), 0, shot.Height - 1);
          const uint8_t* pixel = shot.PixelAt(ix, shot.Height - 1 - iy);
          sum[0] += pixel[2];
          sum[1] += pixel[1];
          sum[2] += pixel[0];
          ++inside;
        }
      }
      uint8_t* out = &icon.pixels[(static_cast<size_t>(oy) * static_cast<size_t>(size) +
                                   static_cast<size_t>(ox)) *
                                  4];
      if (inside == 0) {
        continue;
      }
      for (int c = 0; c < 3; ++c) {
        out[c] = static_cast<uint8_t>(std::lround(sum[c] / inside));
      }
      out[3] = static_cast<uint8_t>(std::lround(255.0 * inside / (samples * samples)));
    }
  }
  return icon;
}

} // namespace meridia::icon
