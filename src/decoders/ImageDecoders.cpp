#include "decoders/ImageDecoders.h"

#include "decoders/DDSDecoder.h"
#include "decoders/HeaderChecks.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace meridia {
namespace {

// --- Decoding through SDL_image -----------------------------------------------------------

using SdlTest = int (*)(SDL_RWops*);
using SdlLoad = SDL_Surface* (*)(SDL_RWops*);

SDL_RWops* ReaderOver(std::span<const uint8_t> bytes) {
  return SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
}

// Surfaces with alpha, or a colour key, come out as 32 bits; everything else as 24.
bool CopySurface(SDL_Surface* surface, TDecodedBitmap& out, std::string& error) {
  const bool alpha = surface->format->Amask != 0 || SDL_HasColorKey(surface) == SDL_TRUE;
  SDL_Surface* converted =
      SDL_ConvertSurfaceFormat(surface, alpha ? SDL_PIXELFORMAT_BGRA32 : SDL_PIXELFORMAT_BGR24, 0);
  if (converted == nullptr) {
    error = SDL_GetError();
    return false;
  }
  bool copied = out.Allocate(converted->w, converted->h, alpha ? 32 : 24);
  if (!copied) {
    error = "picture too large";
  } else {
    SDL_LockSurface(converted);
    for (int32_t y = 0; y < out.Height; ++y) {
      std::memcpy(out.Row(y),
                  static_cast<const uint8_t*>(converted->pixels) +
                      static_cast<size_t>(y) * static_cast<size_t>(converted->pitch),
                  out.RowBytes());
    }
    SDL_UnlockSurface(converted);
  }
  SDL_FreeSurface(converted);
  return copied;
}

template <SdlTest Test> bool RecogniseWith(std::span<const uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) {
    return false;
  }
  SDL_RWops* reader = ReaderOver(bytes);
  const bool recognised = reader != nullptr && Test(reader) != 0;
  SDL_RWclose(reader);
  return recognised;
}

// The check runs first: no library decoder sees a header whose size the file cannot back.
template <SdlLoad Load, HeaderCheck Check>
bool DecodeWith(std::span<const uint8_t> bytes, TDecodedBitmap& out, std::string& error) {
  out = TDecodedBitmap();
  if (bytes.size() > INT_MAX) {
    error = "file of " + std::to_string(bytes.size()) + " bytes too large";
    return false;
  }
  if (!Check(bytes, error)) {
    return false;
  }
  SDL_RWops* reader = ReaderOver(bytes);
  SDL_Surface* surface = reader != nullptr ? Load(reader) : nullptr;
  SDL_RWclose(reader);
  if (surface == nullptr) {
    error = IMG_GetError();
    return false;
  }
  const bool copied = CopySurface(surface, out, error);
  SDL_FreeSurface(surface);
  return copied;
}

bool RecogniseDDS(std::span<const uint8_t> bytes) {
  return IsDDS(bytes);
}

// --- The registry -------------------------------------------------------------------------

std::vector<TImageFormat>& Registry() {
  static std::vector<TImageFormat> formats;
  return formats;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

} // namespace

int64_t MostPixelsFor(size_t file_bytes) {
  // A deflated picture of one-bit pixels packs about 8000 pixels into a byte. Some formats have
  // no such limit (run-length bitmaps that end early, fax-coded or zstd TIFF, arithmetic-coded
  // JPEG) and are held to this one; tiny files may still hold a small picture.
  constexpr int64_t kPixelsPerByte = 16384;
  const int64_t bytes = static_cast<int64_t>(std::min<size_t>(file_bytes, size_t{1} << 40));
  return std::min(kMaxDecodedPixels, std::max<int64_t>(4096, bytes * kPixelsPerByte));
}

void RegisterImageDecoders() {
  std::vector<TImageFormat>& formats = Registry();
  if (!formats.empty()) {
    return;
  }
  // Content tests run in this order; the signatures that can be mistaken for others (ICO, PCX
  // and PNM have only a few fixed bits) come last.
  formats = {
      {"dds", {"dds"}, RecogniseDDS, DecodeDDS},
      {"png", {"png"}, RecogniseWith<IMG_isPNG>, DecodeWith<IMG_LoadPNG_RW, CheckPngHeader>},
      {"jpeg",
       {"jfif", "jpg", "jpe", "jpeg"},
       RecogniseWith<IMG_isJPG>,
       DecodeWith<IMG_LoadJPG_RW, CheckJpegHeader>},
      {"bmp",
       {"bmp", "rle", "dib"},
       RecogniseWith<IMG_isBMP>,
       DecodeWith<IMG_LoadBMP_RW, CheckBmpHeader>},
      {"tiff",
       {"tiff", "tif"},
       RecogniseWith<IMG_isTIF>,
       DecodeWith<IMG_LoadTIF_RW, CheckTiffHeader>},
      {"iff", {"iff"}, RecogniseWith<IMG_isLBM>, DecodeWith<IMG_LoadLBM_RW, CheckLbmHeader>},
      {"pnm",
       {"ppm", "pgm", "pbm"},
       RecogniseWith<IMG_isPNM>,
       DecodeWith<IMG_LoadPNM_RW, CheckPnmHeader>},
      {"pcx",
       {"pcx", "pcc", "scr"},
       RecogniseWith<IMG_isPCX>,
       DecodeWith<IMG_LoadPCX_RW, CheckPcxHeader>},
      {"ico", {"ico"}, RecogniseWith<IMG_isICO>, DecodeWith<IMG_LoadICO_RW, CheckIcoHeader>},
      // Truevision pictures carry no signature: they are found by their extension alone.
      {"tga",
       {"tga", "icb", "vst", "vda", "win"},
       nullptr,
       DecodeWith<IMG_LoadTGA_RW, CheckTgaHeader>},
      // Registered so that their files are recognised as pictures, but not decoded here.
      {"metafile", {"wmf", "emf"}},
      {"eps", {"eps"}},
      {"fax", {"fax"}},
      {"rla", {"rpf", "rla"}},
      {"sgi", {"sgi", "rgba", "rgb"}},
      {"psd", {"psd", "pdd"}},
      {"autodesk", {"cel", "pic"}},
      {"photocd", {"pcd"}},
      {"halo", {"cut"}},
      {"psp", {"psp"}},
  };
}

void UnregisterImageDecoders() {
  Registry().clear();
}

const std::vector<TImageFormat>& ImageFormats() {
  return Registry();
}

const TImageFormat* FormatByContent(std::span<const uint8_t> bytes) {
  for (const TImageFormat& format : Registry()) {
    if (format.Recognise != nullptr && format.Recognise(bytes)) {
      return &format;
    }
  }
  return nullptr;
}

const TImageFormat* FormatByExtension(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') {
    extension.remove_prefix(1);
  }
  const std::string wanted = Lower(extension);
  for (const TImageFormat& format : Registry()) {
    if (std::find(format.Extensions.begin(), format.Extensions.end(), wanted) !=
        format.Extensions.end()) {
      return &format;
    }
  }
  return nullptr;
}

bool DecodeImage(std::span<const uint8_t> bytes, std::string_view file_name,
                 TDecodeResult& result) {
  result = TDecodeResult();
  const TImageFormat* format = FormatByContent(bytes);
  result.ByContent = format != nullptr;
  if (format == nullptr) {
    const size_t dot = file_name.find_last_of(".\\/");
    const std::string_view extension =
        dot != std::string_view::npos && file_name[dot] == '.' ? file_name.substr(dot + 1) : "";
    format = FormatByExtension(extension);
    if (format == nullptr) {
      result.Error = "not a picture format this program knows";
      return false;
    }
  }
  result.Format = format->Name;
  if (format->Decode == nullptr) {
    result.Error = format->Name + " pictures are not supported";
    return false;
  }
  if (!format->Decode(bytes, result.Bitmap, result.Error) || result.Bitmap.IsEmpty()) {
    result.Bitmap = TDecodedBitmap();
    if (result.Error.empty()) {
      result.Error = "nothing decoded";
    }
    return false;
  }
  return true;
}

} // namespace meridia
