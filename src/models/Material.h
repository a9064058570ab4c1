// Texture files to OpenGL textures: a picture is decoded (content first, then its extension),
// its rows put bottom first in R, G, B(, A) order, and uploaded with a full mipmap chain,
// compressed when the driver can. Also the material module's lists, created at start and
// freed at exit, which nothing fills yet.
#pragma once

#include "decoders/DecodedBitmap.h"
#include "engine/QuickList.h"
#include "engine/StringList.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace meridia {

class TzoListBaseClass : public TzoQuickList {};
class TzoMaterialList : public TzoListBaseClass {};
class TzoTexturesList : public TzoListBaseClass {};

// Upload formats, as OpenGL numbers them.
inline constexpr uint32_t kTextureRGB = 0x1907;  // GL_RGB
inline constexpr uint32_t kTextureRGBA = 0x1908; // GL_RGBA

// Uploads ask for a compressed internal format whenever the driver offers S3TC.
inline bool CompressTextures = true;

// The material module's start and end: its four lists.
void MaterialInitialize();
void MaterialFinalize();
TzoMaterialList* MaterialList();
TzoTexturesList* TexturesList();
TzoMaterialList* SecondMaterialList();
TzoStringList* MaterialNames();

// Reads the file through the data manager and decodes it. A picture recognised only by its
// extension is logged as ".todo. old loader : " and the path. Empty when the file cannot be read
// or decoded; has_alpha tells a 32-bit result from a 24-bit one.
TDecodedBitmap LoadImageBitmap(std::string_view path, bool& has_alpha);

// The pixels as OpenGL takes them: rows bottom first, tightly packed.
struct TTexturePixels {
  int32_t Width = 0;
  int32_t Height = 0;
  uint32_t Format = kTextureRGB;
  std::vector<uint8_t> Pixels;
};
// 24-bit pictures become RGB; 32-bit ones RGBA, with alpha kept when use_alpha and 255 otherwise.
TTexturePixels TexturePixelsFromBitmap(const TDecodedBitmap& bitmap, bool use_alpha);

// A new mipmapped texture of the pixels, left bound; the internal format is compressed when
// compression is available and CompressTextures. Needs a current context.
uint32_t UploadTexture(uint16_t width, uint16_t height, uint32_t format, const uint8_t* pixels);
// False for a picture no texture can hold (a side over 65535); id is untouched then.
bool BitmapToTexture(const TDecodedBitmap& bitmap, uint32_t& id, bool use_alpha);
// False, id untouched, when the file cannot be read or decoded.
bool LoadTexture(std::string_view path, uint32_t& id);

} // namespace meridia
