#include "GalaxyTextureDesign.h"

#include "backdrop/GalaxyTextures.h"
#include "imaging/Image.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <string>

namespace meridia::galaxytexgen {
namespace {

int Brightness(const Rgba& p) {
  return p.Red + p.Green + p.Blue;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct Glow {
  const char* name;
  int size;
  std::function<Rgba(int, int)> pixel;
};

// Every glow: brightest in the middle, never brighter further out along a row or a column from
// the middle, black at the border, mirror-symmetric, and not a dim speck.
void ExpectSoftGlow(const Glow& glow) {
  SCOPED_TRACE(glow.name);
  const int n = glow.size, mid = n / 2;
  const int peak = Brightness(glow.pixel(mid, mid));
  EXPECT_GT(peak, 3 * 200) << "a bright middle";
  int lit = 0;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const Rgba p = glow.pixel(x, y);
      ASSERT_LE(Brightness(p), peak);
      ASSERT_EQ(Brightness(p), Brightness(glow.pixel(n - 1 - x, y))) << x << "," << y;
      ASSERT_EQ(Brightness(p), Brightness(glow.pixel(x, n - 1 - y))) << x << "," << y;
      lit += Brightness(p) > 30;
      if (x >= mid && x + 1 < n) {
        ASSERT_GE(Brightness(p), Brightness(glow.pixel(x + 1, y))) << x << "," << y;
      }
    }
    EXPECT_EQ(Brightness(glow.pixel(0, y)), 0);
    EXPECT_EQ(Brightness(glow.pixel(y, 0)), 0);
  }
  EXPECT_GT(lit, n * n / 8) << "soft: the glow spreads well beyond its middle";
}

TEST(GalaxyTextures, FramesAndStarsAreSoftGlowsThatFadeOutAtTheirEdges) {
  for (int i = 0; i < kFrameCount; ++i) {
    ExpectSoftGlow({"frame", kFrameSize, [i](int x, int y) { return FramePixel(i, x, y); }});
  }
  for (int i = 0; i < kStarCount; ++i) {
    ExpectSoftGlow({"star", kStarSize, [i](int x, int y) { return StarPixel(i, x, y); }});
  }
  // Four different frames and four different stars.
  for (int i = 1; i < kFrameCount; ++i) {
    const Rgba a = FramePixel(i, 40, 64), b = FramePixel(i - 1, 40, 64);
    EXPECT_FALSE(a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue) << i;
  }
  for (int i = 1; i < kStarCount; ++i) {
    const Rgba a = StarPixel(i, 28, 32), b = StarPixel(i - 1, 28, 32);
    EXPECT_FALSE(a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue) << i;
  }
}

TEST(GalaxyTextures, SmokeIsASoftCloudCutOutByAlpha) {
  const int n = kSmokeSize;
  long total = 0, total_sq = 0, inner = 0;
  int opaque_enough = 0;
  for (int y = 0; y < n; ++y) {
    EXPECT_EQ(SmokePixel(0, y).Alpha, 0);
    EXPECT_EQ(SmokePixel(n - 1, y).Alpha, 0);
    EXPECT_EQ(SmokePixel(y, 0).Alpha, 0);
    for (int x = 0; x < n; ++x) {
      const Rgba p = SmokePixel(x, y);
      EXPECT_GE(std::min({p.Red, p.Green, p.Blue}), 190) << "light grey everywhere";
      const double dx = x + 0.5 - n / 2.0, dy = y + 0.5 - n / 2.0;
      if (dx * dx + dy * dy < (n / 4.0) * (n / 4.0)) {
        total += p.Alpha;
        total_sq += long{p.Alpha} * p.Alpha;
        ++inner;
        opaque_enough += p.Alpha > 100;
      }
    }
  }
  const double mean = static_cast<double>(total) / inner;
  const double spread = std::sqrt(static_cast<double>(total_sq) / inner - mean * mean);
  EXPECT_GT(mean, 90.0);
  EXPECT_LT(mean, 240.0);
  EXPECT_GT(spread, 8.0) << "wisps, not a flat disc";
  EXPECT_GT(opaque_enough, inner / 2);
}

TEST(GalaxyTextures, WrittenUnderTheNamesTheBackdropLoads) {
  testing::TemporaryFolder folder;
  std::vector<std::string> written;
  auto write = [&](const TTGAImage& image, const std::string& stem) {
    ASSERT_TRUE(image.SaveToFile(folder / (stem + ".tga")));
    written.push_back("base/textures/galaxy/" + stem + ".tga");
  };
  for (int i = 0; i < kFrameCount; ++i) {
    write(BuildFrame(i), FrameName(i));
  }
  for (int i = 0; i < kStarCount; ++i) {
    write(BuildStar(i), StarName(i));
  }
  write(BuildSmoke(), SmokeName());
  ASSERT_EQ(written.size(), kGalaxyTextureFiles.size());
  for (size_t i = 0; i < written.size(); ++i) {
    // The data manager matches the folder names' letter case.
    EXPECT_EQ(written[i], Lower(kGalaxyTextureFiles[i]));
  }

  TzoImage frame;
  ASSERT_TRUE(frame.LoadTGA(folder / (FrameName(2) + ".tga")));
  EXPECT_EQ(frame.Width, kFrameSize);
  EXPECT_EQ(frame.BytesPerPixel, 3);
  const Rgba p = FramePixel(2, 50, 70);
  EXPECT_EQ(frame.PixelAt(50, 70)[0], p.Blue);
  EXPECT_EQ(frame.PixelAt(50, 70)[2], p.Red);
  TzoImage smoke;
  ASSERT_TRUE(smoke.LoadTGA(folder / (SmokeName() + ".tga")));
  ASSERT_EQ(smoke.Width, kSmokeSize);
  ASSERT_EQ(smoke.BytesPerPixel, 4);
  EXPECT_EQ(smoke.PixelAt(60, 70)[3], SmokePixel(60, 70).Alpha);
  TzoImage star;
  ASSERT_TRUE(star.LoadTGA(folder / (StarName(3) + ".tga")));
  EXPECT_EQ(star.Height, kStarSize);
}

} // namespace
} // namespace meridia::galaxytexgen
