#include "terrain/TextureBuffer.h"

#include "platform/GLContext.h"
#include "storage/Log.h"

#include <GL/gl.h>

#include <numeric>
#include <string>

namespace meridia {
namespace {

TTextureBuffer* g_atlas = nullptr;

} // namespace

TTextureBuffer* TextureAtlas() {
  return g_atlas;
}

void SetTextureAtlas(TTextureBuffer* atlas) {
  g_atlas = atlas;
}

TTextureBuffer::TTextureBuffer(int32_t atlas_size, int32_t tile_size, WithoutTexture)
    : TilesPerRow(atlas_size / tile_size), TileSize(tile_size), atlas_size_(atlas_size) {
  TileCount = TilesPerRow * TilesPerRow;
  FreeTiles.resize(static_cast<size_t>(TileCount));
  std::iota(FreeTiles.begin(), FreeTiles.end(), 0);
  handed_out_.assign(static_cast<size_t>(TileCount), false);
}

TTextureBuffer::TTextureBuffer(int32_t atlas_size, int32_t tile_size)
    : TTextureBuffer(atlas_size, tile_size, WithoutTexture{}) {
  TextureIds[0] = CreateAtlas(atlas_size);
}

TTextureBuffer::~TTextureBuffer() {
  // An atlas outliving its context has nothing left to delete.
  if (!platform::HasCurrentGLContext()) {
    return;
  }
  for (const int32_t id : TextureIds) {
    if (id != kNoTexture) {
      const auto name = static_cast<GLuint>(id);
      glDeleteTextures(1, &name);
    }
  }
  if (other_texture_ != kNoTexture) {
    const auto name = static_cast<GLuint>(other_texture_);
    glDeleteTextures(1, &name);
  }
}

int32_t TTextureBuffer::CreateAtlas(int32_t atlas_size) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  // Until a tile is built its texels are black.
  const std::vector<uint8_t> zeros(static_cast<size_t>(atlas_size) * atlas_size * 3, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, atlas_size, atlas_size, 0, GL_RGB, GL_UNSIGNED_BYTE,
               zeros.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return static_cast<int32_t>(name);
}

int32_t TTextureBuffer::AcquireTile() {
  // With every tile out the patch stays untextured and keeps borrowing its ancestor's tile.
  if (TilesInUse >= TileCount) {
    return kNoTile;
  }
  const int32_t tile = FreeTiles[static_cast<size_t>(TilesInUse++)];
  handed_out_[static_cast<size_t>(tile)] = true;
  return tile;
}

bool TTextureBuffer::ReleaseTile(int32_t tile) {
  // A tile given back twice would sit on the stack twice and later be handed to two patches.
  if (tile < 0 || tile >= TileCount || !handed_out_[static_cast<size_t>(tile)]) {
    LogWrite("Atlas tile released but not handed out : " + std::to_string(tile));
    return false;
  }
  handed_out_[static_cast<size_t>(tile)] = false;
  FreeTiles[static_cast<size_t>(--TilesInUse)] = tile;
  return true;
}

bool TTextureBuffer::IsHandedOut(int32_t tile) const {
  return tile >= 0 && tile < TileCount && handed_out_[static_cast<size_t>(tile)];
}

void TTextureBuffer::UploadTile(int32_t tile, const uint8_t* pixels) {
  if (tile < 0 || tile >= TileCount || TextureIds[0] == kNoTexture) {
    return;
  }
  uploaded_ = true;
  if (other_texture_ == kNoTexture) {
    WriteTile(TextureIds[0], tile, pixels);
    return;
  }
  queued_.push_back({tile, std::vector<uint8_t>(pixels, pixels + TileSize * TileSize * 3)});
}

void TTextureBuffer::WriteTile(int32_t texture, int32_t tile, const uint8_t* pixels) const {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glTexSubImage2D(GL_TEXTURE_2D, 0, (tile % TilesPerRow) * TileSize,
                  (tile / TilesPerRow) * TileSize, TileSize, TileSize, GL_RGB, GL_UNSIGNED_BYTE,
                  pixels);
}

bool TTextureBuffer::UseAlternateTextures() {
  // Both textures start black; after an upload the second would need the first's texels.
  if (TextureIds[0] == kNoTexture || other_texture_ != kNoTexture || uploaded_) {
    return false;
  }
  other_texture_ = CreateAtlas(atlas_size_);
  return true;
}

void TTextureBuffer::BeginFrame() {
  if (other_texture_ == kNoTexture) {
    return;
  }
  std::swap(TextureIds[0], other_texture_);
  // The texture now drawn with lacks every queued upload; the other lacks only those queued
  // after it last received them.
  for (const QueuedUpload& upload : queued_) {
    WriteTile(TextureIds[0], upload.tile, upload.pixels.data());
  }
  queued_.erase(queued_.begin(),
                queued_.begin() + static_cast<std::ptrdiff_t>(applied_to_current_));
  applied_to_current_ = queued_.size();
}

} // namespace meridia
