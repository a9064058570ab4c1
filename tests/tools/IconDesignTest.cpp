#include "IconDesign.h"

#include <gtest/gtest.h>

namespace meridia::icon {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

// A shot as the flight tool writes it (bottom row first, blue first), drawn top-down.
class Shot {
public:
  Shot(int w, int h) {
    image.SetPixelFormat(24);
    image.SetSize(w, h);
  }
  void Set(int x, int y_top, Rgb c) {
    uint8_t* p = image.PixelAt(x, image.Height - 1 - y_top);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  // Pixels whose centres lie within the circle.
  void Disk(double cx, double cy, double r, Rgb c) {
    for (int y = 0; y < image.Height; ++y) {
      for (int x = 0; x < image.Width; ++x) {
        const double dx = x + 0.5 - cx;
        const double dy = y + 0.5 - cy;
        if (dx * dx + dy * dy <= r * r) {
          Set(x, y, c);
        }
      }
    }
  }
  TzoImage image;
};

constexpr Rgb kSea{20, 100, 200};
constexpr Rgb kText{255, 255, 255};
constexpr Rgb kMark{250, 0, 0};

const uint8_t* IconPixel(const RgbaPicture& icon, int x, int y) {
  return &icon.pixels[(static_cast<size_t>(y) * static_cast<size_t>(icon.width) +
                       static_cast<size_t>(x)) *
                      4];
}

TEST(IconDesign, TheDiskIsCutOutOfSpaceAndText) {
  Shot shot(120, 90);
  shot.Disk(60, 45, 30, kSea);
  shot.Disk(60, 22, 4, kMark); // near the top of the planet
  // Overlay lines: one far off, one inside the square around the disk but outside the disk.
  for (int x = 2; x < 24; ++x) {
    shot.Set(x, 3, kText);
    shot.Set(x + 10, 17, kText);
  }
  const Disk disk = FindPlanetDisk(shot.image);
  ASSERT_TRUE(disk.found);
  EXPECT_NEAR(disk.center_x, 60, 1);
  EXPECT_NEAR(disk.center_y, 45, 1);
  EXPECT_NEAR(disk.radius, 30, 1);

  for (const int size : {16, 32}) {
    SCOPED_TRACE(size);
    const RgbaPicture icon = CutIcon(shot.image, disk, size);
    ASSERT_EQ(icon.width, size);
    ASSERT_EQ(icon.height, size);
    ASSERT_EQ(icon.pixels.size(), static_cast<size_t>(size * size * 4));
    for (const auto& [x, y] :
         {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}}) {
      EXPECT_EQ(IconPixel(icon, x, y)[3], 0) << x << "," << y;
    }
    // Right of the mark, where only the sea is.
    const uint8_t* sea = IconPixel(icon, size * 3 / 4, size / 2);
    EXPECT_EQ(sea[0], kSea.r);
    EXPECT_EQ(sea[1], kSea.g);
    EXPECT_EQ(sea[2], kSea.b);
    EXPECT_EQ(sea[3], 255);
    // Upright: the mark is in the upper part of the icon.
    EXPECT_GT(IconPixel(icon, size / 2, size * 2 / 15)[0], 150);
    EXPECT_LT(IconPixel(icon, size / 2, size * 13 / 15)[0], 100);
    // The rim is smoothed: some pixels are partly covered.
    int partial = 0;
    for (size_t i = 3; i < icon.pixels.size(); i += 4) {
      partial += icon.pixels[i] > 0 && icon.pixels[i] < 255;
    }
    EXPECT_GT(partial, size);
  }
}

TEST(IconDesign, NoPlanetNoIcon) {
  Shot dark(120, 90);
  EXPECT_FALSE(FindPlanetDisk(dark.image).found);
  Shot too_big(120, 90);
  too_big.Disk(60, 45, 80, kSea); // reaches the picture's edges
  EXPECT_FALSE(FindPlanetDisk(too_big.image).found);
  Shot tiny(4, 4);
  tiny.Disk(2, 2, 2, kSea);
  EXPECT_FALSE(FindPlanetDisk(tiny.image).found);
  EXPECT_TRUE(CutIcon(dark.image, FindPlanetDisk(dark.image), 16).pixels.empty());
}

} // namespace
} // namespace meridia::icon
