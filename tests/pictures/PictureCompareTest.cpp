// The tolerant comparison of reference pictures: what it lets through (rendering noise) and what
// it must not (moved shapes, missing areas, shifted colours); the reduction and the files.
#include "support/PictureCompare.h"
#include "pictures/PictureFiles.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

namespace meridia::testing {
namespace {

constexpr const PictureTolerance& kSuite = kReferenceTolerance;
constexpr int kWidth = 200, kHeight = 150;

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  return x ^ (x >> 16);
}

// A landscape-like scene: sky above a textured ground, with a dark "tree" whose place is given.
Picture Scene(int tree_x = 60) {
  Picture p{kWidth, kHeight, std::vector<uint8_t>(kWidth * kHeight * 3)};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* rgb = &p.Rgb[(y * kWidth + x) * 3];
      const int grain = static_cast<int>(Hash(y * kWidth + x) % 24);
      if (y < 60) {
        rgb[0] = 90, rgb[1] = static_cast<uint8_t>(140 + y), rgb[2] = 220;
      } else {
        rgb[0] = static_cast<uint8_t>(70 + grain), rgb[1] = static_cast<uint8_t>(110 + grain);
        rgb[2] = static_cast<uint8_t>(40 + grain / 2);
      }
      if (x >= tree_x && x < tree_x + 12 && y >= 40 && y < 76) {
        rgb[0] = 20, rgb[1] = 60, rgb[2] = 25;
      }
    }
  }
  return p;
}

// Adds delta (clamped) to every channel of every n-th pixel, alternating its sign.
void Noise(Picture& p, int every, int delta) {
  for (size_t pixel = 0, k = 0; pixel < p.Rgb.size() / 3; pixel += every, ++k) {
    for (int c = 0; c < 3; ++c) {
      const int value = p.Rgb[pixel * 3 + c] + (k % 2 ? delta : -delta);
      p.Rgb[pixel * 3 + c] = static_cast<uint8_t>(std::clamp(value, 0, 255));
    }
  }
}

void Fill(Picture& p, int x0, int y0, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      uint8_t* rgb = &p.Rgb[(y * p.Width + x) * 3];
      rgb[0] = r, rgb[1] = g, rgb[2] = b;
    }
  }
}

struct Case {
  const char* name;
  std::function<Picture()> actual;
  bool matches;
};

TEST(PictureCompare, PassesRenderingNoiseAndFailsChangedScenes) {
  const Picture expected = Scene();
  const auto noisy = [](int every, int delta) {
    return [=] {
      Picture p = Scene();
      Noise(p, every, delta);
      return p;
    };
  };
  const auto brighter = [](int levels) {
    return [=] {
      Picture p = Scene();
      for (uint8_t& v : p.Rgb) {
        v = static_cast<uint8_t>(v + levels);
      }
      return p;
    };
  };
  const Case cases[] = {
      {"the same picture", [] { return Scene(); }, true},
      {"+-3 levels on 1 % of the pixels", noisy(100, 3), true},
      {"+-3 levels on 10 % of the pixels", noisy(10, 3), true},
      {"+-20 levels on 2 % of the pixels, all under the level", noisy(50, 20), true},
      {"+-20 levels on 5 %: under the level, too much on the whole", noisy(20, 20), false},
      {"+-60 levels on 0.4 % of the pixels: few enough", noisy(250, 60), true},
      {"+-60 levels on 0.6 % of the pixels: too many", noisy(166, 60), false},
      {"+-3 levels on every pixel", noisy(1, 3), false},
      {"every pixel 1 level brighter: a shift spread thinly", brighter(1), false},
      {"the tree moved 4 pixels to the right", [] { return Scene(64); }, false},
      {"a ground patch of 20 by 10 pixels missing, black",
       [] {
         Picture p = Scene();
         Fill(p, 120, 100, 20, 10, 0, 0, 0);
         return p;
       },
       false},
      {"the ground's colour 12 levels redder",
       [] {
         Picture p = Scene();
         for (size_t pixel = 60 * kWidth; pixel < p.Rgb.size() / 3; ++pixel) {
           p.Rgb[pixel * 3] = static_cast<uint8_t>(p.Rgb[pixel * 3] + 12);
         }
         return p;
       },
       false},
      {"a smaller picture", [] { return BoxDownscale(Scene(), 2); }, false},
      {"no picture", [] { return Picture{}; }, false},
  };
  for (const Case& c : cases) {
    const PictureDifference difference = ComparePictures(expected, c.actual(), kSuite);
    EXPECT_EQ(difference.Matches, c.matches)
        << c.name << ": " << difference.Differing << " differing, mean " << difference.MeanLevel;
  }
}

TEST(PictureCompare, CountsDifferingPixelsByTheirLargestChannel) {
  const Picture expected = Scene();
  Picture actual = Scene();
  // Exactly at the level does not count; one over does, whichever channel.
  actual.Rgb[0] = static_cast<uint8_t>(actual.Rgb[0] + 24);
  actual.Rgb[4] = static_cast<uint8_t>(actual.Rgb[4] - 25);
  actual.Rgb[8] = static_cast<uint8_t>(actual.Rgb[8] + 25);
  const PictureDifference difference = ComparePictures(expected, actual, kSuite);
  EXPECT_TRUE(difference.SameSize);
  EXPECT_EQ(difference.Pixels, size_t{kWidth * kHeight});
  EXPECT_EQ(difference.Differing, 2u);
  EXPECT_EQ(difference.Largest, 25);
  EXPECT_DOUBLE_EQ(difference.MeanLevel, (24.0 + 25 + 25) / (kWidth * kHeight));
}

TEST(PictureCompare, FullSizeNoiseAlmostVanishesInTheReduction) {
  // The scene enlarged four times, then +-3 levels on 1 % of its pixels.
  const Picture scene = Scene();
  Picture full{800, 600, std::vector<uint8_t>(800 * 600 * 3)};
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      for (int c = 0; c < 3; ++c) {
        full.Rgb[(y * 800 + x) * 3 + c] = scene.Rgb[((y / 4) * kWidth + x / 4) * 3 + c];
      }
    }
  }
  EXPECT_EQ(BoxDownscale(full, 4).Rgb, scene.Rgb);
  Noise(full, 100, 3);
  const PictureDifference difference = ComparePictures(scene, BoxDownscale(full, 4), kSuite);
  EXPECT_TRUE(difference.Matches);
  EXPECT_LE(difference.Largest, 1);
}

TEST(PictureCompare, BoxDownscaleRoundsBlockMeans) {
  // 4 by 2, reduced by 2: the blocks' means, halves rounded up.
  const Picture in{4, 2, {0, 0, 0, 1, 0, 0, 10, 20, 30, 10, 20, 31, //
                          1, 0, 0, 0, 0, 0, 10, 20, 30, 10, 20, 30}};
  const Picture out = BoxDownscale(in, 2);
  EXPECT_EQ(out.Width, 2);
  EXPECT_EQ(out.Height, 1);
  EXPECT_EQ(out.Rgb, (std::vector<uint8_t>{1, 0, 0, 10, 20, 30}));
  EXPECT_EQ(BoxDownscale(in, 1).Rgb, in.Rgb);
  EXPECT_FALSE(BoxDownscale(in, 3).Valid());
  EXPECT_FALSE(BoxDownscale(in, 0).Valid());
  EXPECT_FALSE(BoxDownscale(Picture{4, 2, std::vector<uint8_t>(23)}, 2).Valid());
}

TEST(PictureCompare, TheDifferencePictureMarksWhatIsOverTheLevelInRed) {
  const Picture expected{2, 1, {120, 120, 120, 120, 120, 120}};
  const Picture actual{2, 1, {122, 120, 120, 120, 160, 120}};
  const Picture difference = DifferencePicture(expected, actual, 24);
  // Under the level: the dimmed grey (30) with the difference sixteen times in yellow.
  EXPECT_EQ(difference.Rgb, (std::vector<uint8_t>{62, 62, 30, 255, 0, 0}));
  EXPECT_FALSE(DifferencePicture(expected, Picture{1, 1, {0, 0, 0}}, 24).Valid());
}

// A 3 by 2 shot as the flight tool writes it: bottom row first, blue green red.
std::string ShotBytes() {
  std::string file(18, '\0');
  file[2] = 2, file[12] = 3, file[14] = 2, file[16] = 24;
  const uint8_t bottom_then_top[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  file.append(reinterpret_cast<const char*>(bottom_then_top), sizeof bottom_then_top);
  return file;
}

TEST(PictureFiles, ShotsAreReadTopRowFirstInRgbAndEveryTruncationIsRefused) {
  TemporaryFolder folder;
  const std::string shot = ShotBytes();
  std::ofstream(folder / "shot.tga", std::ios::binary) << shot;
  const Picture picture = LoadTgaShot(folder / "shot.tga");
  ASSERT_TRUE(picture.Valid());
  EXPECT_EQ(picture.Width, 3);
  EXPECT_EQ(picture.Height, 2);
  EXPECT_EQ(picture.Rgb, (std::vector<uint8_t>{13, 12, 11, 16, 15, 14, 19, 18, 17, //
                                               3, 2, 1, 6, 5, 4, 9, 8, 7}));
  for (size_t size = 0; size < shot.size(); ++size) {
    std::ofstream(folder / "cut.tga", std::ios::binary | std::ios::trunc) << shot.substr(0, size);
    EXPECT_FALSE(LoadTgaShot(folder / "cut.tga").Valid()) << size << " bytes";
  }
  std::string compressed = shot;
  compressed[2] = 10;
  std::ofstream(folder / "rle.tga", std::ios::binary) << compressed;
  EXPECT_FALSE(LoadTgaShot(folder / "rle.tga").Valid());
}

TEST(PictureFiles, PngKeepsEveryByte) {
  TemporaryFolder folder;
  const Picture scene = Scene();
  ASSERT_TRUE(SavePng(scene, folder / "scene.png"));
  const Picture back = LoadPng(folder / "scene.png");
  EXPECT_EQ(back.Width, kWidth);
  EXPECT_EQ(back.Height, kHeight);
  EXPECT_TRUE(back.Rgb == scene.Rgb);
  EXPECT_FALSE(SavePng(Picture{}, folder / "empty.png"));
  std::ofstream(folder / "bad.png", std::ios::binary) << "\x89PNG\r\n";
  EXPECT_FALSE(LoadPng(folder / "bad.png").Valid());
}

} // namespace
} // namespace meridia::testing
