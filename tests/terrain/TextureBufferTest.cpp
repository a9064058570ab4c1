#include "terrain/TextureBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace meridia {
namespace {

TEST(TextureBuffer, TilesAreHandedOutInOrderAndTheLastReleasedComesBackFirst) {
  TTextureBuffer atlas(2048, 16, TTextureBuffer::WithoutTexture{});
  EXPECT_EQ(atlas.TileCount, 128 * 128);
  EXPECT_EQ(atlas.AcquireTile(), 0);
  EXPECT_EQ(atlas.AcquireTile(), 1);
  EXPECT_EQ(atlas.AcquireTile(), 2);
  atlas.ReleaseTile(0);
  atlas.ReleaseTile(2);
  EXPECT_EQ(atlas.TilesInUse, 1);
  EXPECT_EQ(atlas.AcquireTile(), 2);
  EXPECT_EQ(atlas.AcquireTile(), 0);
  EXPECT_EQ(atlas.AcquireTile(), 3);

  // Full: no tile, and nothing read past the stack.
  while (atlas.TilesInUse < atlas.TileCount) {
    atlas.AcquireTile();
  }
  EXPECT_EQ(atlas.AcquireTile(), TTextureBuffer::kNoTile);
  EXPECT_EQ(atlas.TilesInUse, atlas.TileCount);
  atlas.ReleaseTile(7);
  EXPECT_EQ(atlas.AcquireTile(), 7);
}

TEST(TextureBuffer, ATileGivenBackTwiceIsNeverHandedToTwoPatches) {
  TTextureBuffer atlas(64, 16, TTextureBuffer::WithoutTexture{});
  const int32_t a = atlas.AcquireTile(), b = atlas.AcquireTile();
  atlas.AcquireTile();
  EXPECT_TRUE(atlas.ReleaseTile(a));
  // Released again, never handed out, and no tile at all: each refused, nothing changes.
  for (const int32_t tile : {a, 9, -1, TTextureBuffer::kNoTile, atlas.TileCount}) {
    EXPECT_FALSE(atlas.ReleaseTile(tile)) << tile;
    EXPECT_EQ(atlas.TilesInUse, 2) << tile;
  }
  EXPECT_TRUE(atlas.IsHandedOut(b));
  EXPECT_FALSE(atlas.IsHandedOut(a));
  // Every tile handed out from here on is distinct.
  std::vector<int32_t> out = {b};
  for (int32_t tile; (tile = atlas.AcquireTile()) != TTextureBuffer::kNoTile;) {
    out.push_back(tile);
  }
  std::sort(out.begin(), out.end());
  EXPECT_EQ(std::adjacent_find(out.begin(), out.end()), out.end());
  EXPECT_EQ(out.size(), 15u);
}

} // namespace
} // namespace meridia
