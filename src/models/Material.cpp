#include "models/Material.h"

#include "decoders/ImageDecoders.h"
#include "gl/GLImplementation.h"
#include "storage/DataManager.h"
#include "storage/Log.h"
#include "storage/MemoryStream.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <memory>
#include <string>

namespace meridia {
namespace {

struct MaterialLists {
  std::unique_ptr<TzoMaterialList> materials;
  std::unique_ptr<TzoTexturesList> textures;
  std::unique_ptr<TzoMaterialList> second_materials;
  std::unique_ptr<TzoStringList> names;
};

MaterialLists& Lists() {
  static MaterialLists lists;
  return lists;
}

} // namespace

void MaterialInitialize() {
  MaterialLists& lists = Lists();
  lists.materials = std::make_unique<TzoMaterialList>();
  lists.textures = std::make_unique<TzoTexturesList>();
  lists.second_materials = std::make_unique<TzoMaterialList>();
  lists.names = std::make_unique<TzoStringList>();
}

void MaterialFinalize() {
  MaterialLists& lists = Lists();
  lists.names.reset();
  lists.second_materials.reset();
  lists.textures.reset();
  lists.materials.reset();
}

TzoMaterialList* MaterialList() {
  return Lists().materials.get();
}
TzoTexturesList* TexturesList() {
  return Lists().textures.get();
}
TzoMaterialList* SecondMaterialList() {
  return Lists().second_materials.get();
}
TzoStringList* MaterialNames() {
  return Lists().names.get();
}

TDecodedBitmap LoadImageBitmap(std::string_view path, bool& has_alpha) {
  has_alpha = false;
  const std::unique_ptr<TzoMemoryStream> stream = LoadFileToMemoryStream(path);
  if (stream == nullptr) {
    return {};
  }
  TDecodeResult result;
  if (!DecodeImage(stream->Buffer, path, result)) {
    LogWrite("Picture not decoded : " + std::string(path) + " : " + result.Error);
    return {};
  }
  if (!result.ByContent) {
    LogWrite(".todo. old loader : " + std::string(path));
  }
  has_alpha = result.HasAlpha();
  return std::move(result.Bitmap);
}

TTexturePixels TexturePixelsFromBitmap(const TDecodedBitmap& bitmap, bool use_alpha) {
  TTexturePixels out;
  if (bitmap.IsEmpty()) {
    return out;
  }
  const bool rgba = bitmap.BitsPerPixel == 32;
  const size_t in_bpp = static_cast<size_t>(bitmap.BytesPerPixel());
  const size_t out_bpp = rgba ? 4 : 3;
  out.Width = bitmap.Width;
  out.Height = bitmap.Height;
  out.Format = rgba ? kTextureRGBA : kTextureRGB;
  out.Pixels.resize(static_cast<size_t>(bitmap.Width) * static_cast<size_t>(bitmap.Height) *
                    out_bpp);
  uint8_t* to = out.Pixels.data();
  for (int32_t k = 0; k < bitmap.Height; ++k) {
    // The first row OpenGL gets is the bottom row of the picture.
    const uint8_t* from = bitmap.Row(bitmap.Height - 1 - k);
    for (int32_t x = 0; x < bitmap.Width; ++x, from += in_bpp, to += out_bpp) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      if (rgba) {
        to[3] = use_alpha ? from[3] : 255;
      }
    }
  }
  return out;
}

uint32_t UploadTexture(uint16_t width, uint16_t height, uint32_t format, const uint8_t* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const bool compress = TextureCompressionAvailable && CompressTextures;
  GLint internal_format = 0;
  if (format == kTextureRGB) {
    internal_format = compress ? GL_COMPRESSED_RGB_ARB : 3;
  } else if (format == kTextureRGBA) {
    internal_format = compress ? GL_COMPRESSED_RGBA_ARB : 4;
  } else {
    // A caller's mistake, not the file's: the name stays empty rather than stop the program.
    LogWrite("TEXTURE FORMAT NOT SUPPORTED");
    return name;
  }
  // The rows are tightly packed; OpenGL's default alignment of 4 would read an RGB row whose
  // length is not a multiple of four with a padding it does not have.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, internal_format, width, height, static_cast<GLenum>(format),
                    GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return name;
}

bool BitmapToTexture(const TDecodedBitmap& bitmap, uint32_t& id, bool use_alpha) {
  if (bitmap.IsEmpty() || bitmap.Width > 0xFFFF || bitmap.Height > 0xFFFF) {
    return false;
  }
  const TTexturePixels pixels = TexturePixelsFromBitmap(bitmap, use_alpha);
  id = UploadTexture(static_cast<uint16_t>(pixels.Width), static_cast<uint16_t>(pixels.Height),
                     pixels.Format, pixels.Pixels.data());
  return true;
}

bool LoadTexture(std::string_view path, uint32_t& id) {
  bool has_alpha = false;
  const TDecodedBitmap bitmap = LoadImageBitmap(path, has_alpha);
  if (bitmap.IsEmpty()) {
    return false;
  }
  return BitmapToTexture(bitmap, id, has_alpha);
}

} // namespace meridia
