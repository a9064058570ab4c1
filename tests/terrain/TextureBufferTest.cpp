#include "terrain/TextureBuffer.h"

#include <gtest/gtest.h>

namespace meridia {
namespace {

TEST(TextureBuffer, TilesAreHandedOutInOrderAndTheLastReleasedComesBackFirst) {
  TTextureBuffer atlas(2048, 16, TTextureBuffer::WithoutTexture{});
  EXPECT_EQ(atlas.TilesPerRow, 128);
  EXPECT_EQ(atlas.TileCount, 16384);
  for (int32_t id : atlas.TextureIds) {
    EXPECT_EQ(id, -1);
  }
  EXPECT_EQ(atlas.AcquireTile(), 0);
  EXPECT_EQ(atlas.AcquireTile(), 1);
  EXPECT_EQ(atlas.AcquireTile(), 2);
  atlas.ReleaseTile(0);
  atlas.ReleaseTile(2);
  EXPECT_EQ(atlas.TilesInUse, 1);
  EXPECT_EQ(atlas.AcquireTile(), 2);
  EXPECT_EQ(atlas.AcquireTile(), 0);
  EXPECT_EQ(atlas.AcquireTile(), 3);
  EXPECT_EQ(atlas.TilesInUse, 4);
}

TEST(TextureBuffer, AFullAtlasHandsOutNoTileAndNeverReadsPastItsStack) {
  TTextureBuffer atlas(64, 16, TTextureBuffer::WithoutTexture{});
  ASSERT_EQ(atlas.TileCount, 16);
  for (int32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(atlas.AcquireTile(), i);
  }
  EXPECT_EQ(atlas.AcquireTile(), TTextureBuffer::kNoTile);
  EXPECT_EQ(atlas.TilesInUse, 16);
  atlas.ReleaseTile(7);
  EXPECT_EQ(atlas.AcquireTile(), 7);
  // Without a texture uploads go nowhere, whatever the tile.
  const uint8_t pixels[16 * 16 * 3] = {};
  atlas.UploadTile(3, pixels);
  atlas.UploadTile(-1, pixels);
  atlas.UploadTile(16, pixels);
}

} // namespace
} // namespace meridia
