#include "terrain/TextureBuffer.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace meridia
