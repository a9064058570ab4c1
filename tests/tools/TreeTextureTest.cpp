#include "TreeTextureDesign.h"

#include "imaging/Image.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdlib>

namespace meridia::treetexgen {
namespace {

int Luma(const Rgba& p) {
  return (p.Red * 3 + p.Green * 6 + p.Blue) / 10;
}

TEST(TreeTextures, WrittenPicturesReadBackWithTheirAlpha) {
  testing::TemporaryFolder folder;
  for (int kind = 0; kind < 2; ++kind) {
    ASSERT_TRUE(BuildBark(kind).SaveToFile(folder / (BarkName(kind) + ".tga")));
    ASSERT_TRUE(BuildLeaf(kind).SaveToFile(folder / (LeafName(kind) + ".tga")));
    TzoImage bark;
    ASSERT_TRUE(bark.LoadTGA(folder / (BarkName(kind) + ".tga")));
    EXPECT_EQ(bark.Width, kBarkSize);
    EXPECT_EQ(bark.BytesPerPixel, 3);
    TzoImage leaf;
    ASSERT_TRUE(leaf.LoadTGA(folder / (LeafName(kind) + ".tga")));
    ASSERT_EQ(leaf.Width, kLeafSize);
    ASSERT_EQ(leaf.BytesPerPixel, 4);
    const Rgba p = LeafPixel(kind, 64, 20);
    const uint8_t* stored = leaf.PixelAt(64, 20);
    EXPECT_EQ(stored[0], p.Blue);
    EXPECT_EQ(stored[2], p.Red);
    EXPECT_EQ(stored[3], p.Alpha);
  }
  EXPECT_EQ(BarkName(0), "2_bark");
  EXPECT_EQ(LeafName(1), "bt_leaf");
}

TEST(TreeTextures, BarkTilesWithoutSeamsAndStreaksAlongTheStem) {
  for (int kind = 0; kind < 2; ++kind) {
    long across = 0; // neighbours side by side
    long along = 0;  // neighbours one above the other
    int worst_step = 0;
    long red = 0, green = 0, blue = 0;
    for (int y = 0; y < kBarkSize; ++y) {
      for (int x = 0; x < kBarkSize; ++x) {
        const Rgba p = BarkPixel(kind, x, y);
        const int right = std::abs(Luma(BarkPixel(kind, x + 1, y)) - Luma(p));
        const int up = std::abs(Luma(BarkPixel(kind, x, y + 1)) - Luma(p));
        across += right;
        along += up;
        if (x < kBarkSize - 1 && y < kBarkSize - 1) {
          worst_step = std::max({worst_step, right, up});
        }
        red += p.Red;
        green += p.Green;
        blue += p.Blue;
      }
    }
    EXPECT_LT(2 * along, across) << "kind " << kind;
    // The seams (x 255 to 0, y 255 to 0) step no further than any neighbours inside.
    for (int i = 0; i < kBarkSize; ++i) {
      EXPECT_LE(std::abs(Luma(BarkPixel(kind, kBarkSize - 1, i)) - Luma(BarkPixel(kind, 0, i))),
                worst_step);
      EXPECT_LE(std::abs(Luma(BarkPixel(kind, i, kBarkSize - 1)) - Luma(BarkPixel(kind, i, 0))),
                worst_step);
    }
    const long pixels = long{kBarkSize} * kBarkSize;
    if (kind == 0) {
      EXPECT_GT(red, green + 15 * pixels) << "brown";
      EXPECT_GT(green, blue + 10 * pixels) << "brown";
    } else {
      EXPECT_LT(red - blue, 20 * pixels) << "grey";
      EXPECT_GT(blue, 90 * pixels) << "light grey";
    }
  }
}

TEST(TreeTextures, LeavesAreCutOutByTheirAlpha) {
  for (int kind = 0; kind < 2; ++kind) {
    int opaque = 0;
    int clear = 0;
    for (int y = 0; y < kLeafSize; ++y) {
      for (int x = 0; x < kLeafSize; ++x) {
        const Rgba p = LeafPixel(kind, x, y);
        opaque += p.Alpha > 127;
        clear += p.Alpha == 0;
        if (p.Alpha > 127 && p.Red < 80) {
          EXPECT_GT(p.Green, p.Red) << kind << " at " << x << "," << y;
        }
      }
    }
    const int pixels = kLeafSize * kLeafSize;
    // Enough foliage to read as a canopy, enough gaps to show a shape.
    EXPECT_GT(opaque, pixels / 6) << "kind " << kind;
    EXPECT_GT(clear, pixels / 4) << "kind " << kind;
    for (const auto& [x, y] : {std::pair{0, 0},
                               {kLeafSize - 1, 0},
                               {0, kLeafSize - 1},
                               {kLeafSize - 1, kLeafSize - 1}}) {
      EXPECT_EQ(LeafPixel(kind, x, y).Alpha, 0) << "corner " << x << "," << y;
    }
    // The stalk or twig stands at the bottom middle, where the cluster hangs from.
    EXPECT_EQ(LeafPixel(kind, kLeafSize / 2, 12).Alpha, 255) << "kind " << kind;
    // Clear texels carry a foliage green, not black, so filtering keeps the edges green.
    const Rgba outside = LeafPixel(kind, 0, 0);
    EXPECT_GT(outside.Green, outside.Red);
    EXPECT_GT(outside.Green, 60);
  }
}

} // namespace
} // namespace meridia::treetexgen
