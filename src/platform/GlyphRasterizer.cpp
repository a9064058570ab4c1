#include "platform/GlyphRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace meridia::platform {
namespace {

// GDI's logical inch on a normal-DPI display.
constexpr int32_t kPixelsPerInch = 96;

struct FaceFile {
  std::string path;
  int index = 0;
  std::string family;
};

bool FontconfigReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    ready = FcInit() == FcTrue;
    if (ready) {
      // The configuration and its caches live until the process ends; no pattern or set of
      // ours outlives a single match, so releasing them at exit is safe.
      std::atexit(FcFini);
    }
  });
  return ready;
}

// The face fontconfig prefers for this family in its regular upright style. Its metric-alias
// rules are what turn "Arial" into a face with Arial's advances.
bool MatchFace(const std::string& family, FaceFile& face) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) {
    return false;
  }
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) {
    return false;
  }
  FcChar8* path = nullptr;
  FcChar8* name = nullptr;
  int index = 0;
  bool found = false;
  if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr) {
    face.path = reinterpret_cast<const char*>(path);
    face.index = FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch ? index : 0;
    face.family = FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name
                      ? reinterpret_cast<const char*>(name)
                      : std::string();
    found = true;
  }
  FcPatternDestroy(match);
  return found;
}

int32_t RoundedPixels(FT_Pos value_26_6) {
  return static_cast<int32_t>((value_26_6 + 32) >> 6);
}

} // namespace

struct GlyphRasterizer::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::string family;
  int32_t em = 0;
  int32_t ascent = 0;
  int32_t descent = 0;

  ~Impl() {
    CloseFace();
    if (library != nullptr) {
      FT_Done_FreeType(library);
    }
  }

  void CloseFace() {
    if (face != nullptr) {
      FT_Done_Face(face);
    }
    face = nullptr;
    family.clear();
    em = ascent = descent = 0;
  }

  bool Open(const FaceFile& file, int32_t em_pixels) {
    FT_Face opened = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &opened) != 0) {
      return false;
    }
    if (FT_Set_Pixel_Sizes(opened, 0, static_cast<FT_UInt>(em_pixels)) != 0) {
      FT_Done_Face(opened);
      return false;
    }
    face = opened;
    family = file.family.empty() ? std::string(opened->family_name ? opened->family_name : "")
                                 : file.family;
    em = em_pixels;
    // GDI's tmAscent and tmDescent come from the Windows metrics of the OS/2 table, scaled and
    // rounded; FreeType's own ascender follows the hhea table, which can differ.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(opened, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && opened->units_per_EM != 0 &&
        os2->usWinAscent + os2->usWinDescent > 0) {
      const double scale = static_cast<double>(em_pixels) / opened->units_per_EM;
      ascent = static_cast<int32_t>(std::lround(os2->usWinAscent * scale));
      descent = static_cast<int32_t>(std::lround(os2->usWinDescent * scale));
    } else {
      ascent = RoundedPixels(opened->size->metrics.ascender);
      descent = -RoundedPixels(opened->size->metrics.descender);
    }
    return true;
  }

  // Loads the character's outline at the face's size; false leaves the slot unusable.
  bool Load(wchar_t c, FT_Int32 flags) const {
    return FT_Load_Char(face, static_cast<FT_ULong>(c), flags) == 0;
  }
};

GlyphRasterizer::GlyphRasterizer() : impl_(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&impl_->library) != 0) {
    impl_->library = nullptr;
  }
}

GlyphRasterizer::~GlyphRasterizer() = default;

bool GlyphRasterizer::SetFont(const std::string& name, int32_t point_size) {
  impl_->CloseFace();
  if (impl_->library == nullptr || point_size <= 0 || !FontconfigReady()) {
    return false;
  }
  // MulDiv rounds halves away from zero: 8 points give 10.67, an 11-pixel em.
  const int32_t em =
      static_cast<int32_t>((static_cast<int64_t>(point_size) * kPixelsPerInch + 36) / 72);
  for (const std::string& family : {name, std::string("sans-serif")}) {
    FaceFile file;
    if (MatchFace(family, file) && impl_->Open(file, em)) {
      return true;
    }
  }
  return false;
}

void GlyphRasterizer::FitLineBox(std::wstring_view characters) {
  if (impl_->face == nullptr) {
    return;
  }
  for (wchar_t c : characters) {
    if (!impl_->Load(c, FT_LOAD_DEFAULT)) {
      continue;
    }
    // Hinted metrics are whole pixels; the floor and ceiling only guard unhinted faces.
    const FT_Glyph_Metrics& metrics = impl_->face->glyph->metrics;
    const auto top = static_cast<int32_t>((metrics.horiBearingY + 63) >> 6);
    const auto bottom = static_cast<int32_t>((metrics.height - metrics.horiBearingY + 63) >> 6);
    impl_->ascent = std::max(impl_->ascent, top);
    impl_->descent = std::max(impl_->descent, bottom);
  }
}

bool GlyphRasterizer::HasFace() const {
  return impl_->face != nullptr;
}

std::string GlyphRasterizer::FaceFamily() const {
  return impl_->family;
}

int32_t GlyphRasterizer::EmPixels() const {
  return impl_->em;
}

int32_t GlyphRasterizer::Ascent() const {
  return impl_->ascent;
}

int32_t GlyphRasterizer::Descent() const {
  return impl_->descent;
}

TextExtent GlyphRasterizer::GetTextExtent(std::wstring_view text) const {
  TextExtent extent;
  if (impl_->face == nullptr || text.empty()) {
    return extent;
  }
  for (wchar_t c : text) {
    if (impl_->Load(c, FT_LOAD_DEFAULT)) {
      extent.cx += RoundedPixels(impl_->face->glyph->advance.x);
    }
  }
  extent.cy = impl_->ascent + impl_->descent;
  return extent;
}

void GlyphRasterizer::DrawText(std::wstring_view text, int32_t x, int32_t y, uint32_t color,
                               const Bitmap24View& target) const {
  if (impl_->face == nullptr || target.pixels == nullptr) {
    return;
  }
  const int channel[3] = {static_cast<int>((color >> 16) & 0xFF),
                          static_cast<int>((color >> 8) & 0xFF), static_cast<int>(color & 0xFF)};
  const int32_t baseline = y + impl_->ascent;
  int32_t pen_x = x;
  for (wchar_t c : text) {
    if (!impl_->Load(c, FT_LOAD_DEFAULT | FT_LOAD_RENDER)) {
      continue;
    }
    const FT_GlyphSlot slot = impl_->face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY || mono) {
      const int32_t left = pen_x + slot->bitmap_left;
      const int32_t top = baseline - slot->bitmap_top;
      const int32_t rows = static_cast<int32_t>(bitmap.rows);
      const int32_t columns = static_cast<int32_t>(bitmap.width);
      for (int32_t row = std::max(0, -top); row < rows && top + row < target.height; ++row) {
        const uint8_t* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        uint8_t* line = target.pixels + static_cast<size_t>(top + row) * target.stride;
        for (int32_t column = std::max(0, -left); column < columns && left + column < target.width;
             ++column) {
          int coverage = 0;
          if (mono) {
            coverage = (source[column >> 3] & (0x80 >> (column & 7))) != 0 ? 255 : 0;
          } else {
            coverage = source[column];
          }
          if (coverage == 0) {
            continue;
          }
          uint8_t* pixel = line + static_cast<size_t>(left + column) * 3;
          for (int i = 0; i < 3; ++i) {
            const int blended = pixel[i] * 255 + (channel[i] - pixel[i]) * coverage;
            pixel[i] = static_cast<uint8_t>((blended + 127) / 255);
          }
        }
      }
    }
    pen_x += RoundedPixels(slot->advance.x);
  }
}

} // namespace meridia::platform
