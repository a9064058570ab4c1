// The patch texture atlas: one square OpenGL texture cut into equal tiles, handed out and taken
// back through a stack of free tile numbers. Entries of FreeTiles below TilesInUse are handed
// out; the rest are free, the last released on top.
#pragma once

#include "engine/Object.h"

#include <array>
#include <cstddef>
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
  // 0 .. TileCount - 1 is ignored. With alternate textures the bytes are kept until BeginFrame.
  void UploadTile(int32_t tile, const uint8_t* pixels);

  // Updating a texture that the driver still draws an earlier frame with makes the update wait
  // for that frame. With a second texture of the same size, drawn in alternate frames, each
  // upload reaches each texture at the start of the first frame drawn with it, when the driver
  // has long finished the frame before last: the same texels as with one texture, frame for
  // frame, without the wait. Needs a current OpenGL context and comes before the first upload;
  // false, and nothing changes, without a texture, after an upload or when already in use.
  bool UseAlternateTextures();
  // The start of a frame, before anything draws with the atlas: with alternate textures,
  // TextureIds[0] becomes the other texture and receives every upload it has not had yet.
  void BeginFrame();

private:
  struct QueuedUpload {
    int32_t tile;
    std::vector<uint8_t> pixels;
  };

  int32_t CreateAtlas(int32_t atlas_size);
  void WriteTile(int32_t texture, int32_t tile, const uint8_t* pixels) const;

  std::vector<bool> handed_out_;
  int32_t atlas_size_ = 0;
  int32_t other_texture_ = kNoTexture;
  // Uploads that one of the textures has not had; the first `applied_to_current_` of them are
  // already in TextureIds[0].
  std::vector<QueuedUpload> queued_;
  size_t applied_to_current_ = 0;
  bool uploaded_ = false;
};

// The process-wide atlas of the planet's patches; null before the planet builds one.
TTextureBuffer* TextureAtlas();
void SetTextureAtlas(TTextureBuffer* atlas);

} // namespace meridia
