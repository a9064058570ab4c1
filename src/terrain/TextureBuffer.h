// The patch texture atlas: one square OpenGL texture cut into equal tiles, handed out and taken
// back through a stack of free tile numbers. Entries of FreeTiles below TilesInUse are handed
// out; the rest are free, the last released on top.
#pragma once

#include "engine/Object.h"

#include <array>
#include <cstdint>
#include <vector>

namespace meridia {

class TTextureBuffer : public TObject {
public:
  static constexpr int32_t kNoTile = -1;
  static constexpr int32_t kNoTexture = -1;

  // Creates the atlas texture; needs a current OpenGL context.
  TTextureBuffer(int32_t atlas_size, int32_t tile_size);
  // The tile bookkeeping alone, without a texture: uploads go nowhere.
  struct WithoutTexture {};
  TTextureBuffer(int32_t atlas_size, int32_t tile_size, WithoutTexture);
  ~TTextureBuffer() override;

  int32_t TilesPerRow = 0;
  int32_t TileSize = 0;
  // Entry 0 is the atlas; the others are never generated.
  std::array<int32_t, 6> TextureIds{kNoTexture, kNoTexture, kNoTexture,
                                    kNoTexture, kNoTexture, kNoTexture};
  std::vector<int32_t> FreeTiles;
  int32_t TileCount = 0;
  int32_t TilesInUse = 0;

  // kNoTile when every tile is handed out.
  int32_t AcquireTile();
  // Gives a handed-out tile back. Refused with a log line, and false, for a tile that is not
  // out (never handed out, already released, or no tile at all).
  bool ReleaseTile(int32_t tile);
  bool IsHandedOut(int32_t tile) const;
  // Replaces the tile's texels with TileSize² RGB bytes, row by row; a tile outside
  // 0 .. TileCount - 1 is ignored.
  void UploadTile(int32_t tile, const uint8_t* pixels);

private:
  void CreateAtlas(int32_t atlas_size);

  std::vector<bool> handed_out_;
};

// The process-wide atlas of the planet's patches; null before the planet builds one.
TTextureBuffer* TextureAtlas();
void SetTextureAtlas(TTextureBuffer* atlas);

} // namespace meridia
