#include "decoders/ImageDecoders.h"

#include "decoders/DDSDecoder.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace meridia {
namespace {

// Sections: reading header fields; the sizes each format's header claims; decoding through
// SDL_image; the registry.

// --- Header fields, each read only when it lies inside the bytes ---------------------------

struct Bytes {
  std::span<const uint8_t> data;

  bool Has(size_t at, size_t count) const { return at <= data.size() && count <= data.size() - at; }
  uint32_t U16LE(size_t at) const { return data[at] | uint32_t{data[at + 1]} << 8; }
  uint32_t U16BE(size_t at) const { return uint32_t{data[at]} << 8 | data[at + 1]; }
  uint32_t U32LE(size_t at) const { return U16LE(at) | U16LE(at + 2) << 16; }
  uint32_t U32BE(size_t at) const { return U16BE(at) << 16 | U16BE(at + 2); }
};

// --- The picture size each header claims, read before the decoder allocates anything -------

using SizePeek = bool (*)(Bytes b, int64_t& width, int64_t& height);

bool BmpSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(14, 4)) {
    return false;
  }
  if (b.U32LE(14) == 12 && b.Has(18, 4)) { // the OS/2 core header: 16-bit sides
    width = b.U16LE(18);
    height = b.U16LE(20);
    return true;
  }
  if (!b.Has(18, 8)) {
    return false;
  }
  width = static_cast<int32_t>(b.U32LE(18));
  height = static_cast<int32_t>(b.U32LE(22));
  // Top-down pictures store a negative height.
  height = height < 0 ? -height : height;
  return true;
}

bool PngSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(16, 8) || std::memcmp(b.data.data() + 12, "IHDR", 4) != 0) {
    return false;
  }
  width = b.U32BE(16);
  height = b.U32BE(20);
  return true;
}

bool JpegSize(Bytes b, int64_t& width, int64_t& height) {
  size_t at = 2; // after the start-of-image marker
  while (b.Has(at, 2)) {
    if (b.data[at] != 0xFF) {
      return false;
    }
    const uint8_t marker = b.data[at + 1];
    if (marker == 0xFF) { // fill byte
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      continue; // markers without a length
    }
    if (!b.Has(at, 2) || marker == 0xDA || marker == 0xD9) {
      return false; // the scan starts before any frame header
    }
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (!b.Has(at + 3, 4)) {
        return false;
      }
      height = b.U16BE(at + 3);
      width = b.U16BE(at + 5);
      return true;
    }
    at += b.U16BE(at);
  }
  return false;
}

bool TgaSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(0, 18)) {
    return false;
  }
  width = b.U16LE(12);
  height = b.U16LE(14);
  return true;
}

// The loader reads the window corners and the line length as signed words: each must make
// sense read either way, or a negative line length becomes a huge allocation.
bool PcxSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(0, 128)) {
    return false;
  }
  auto side = [&](size_t low, size_t high) -> int64_t {
    const int64_t as_unsigned = int64_t{b.U16LE(high)} - b.U16LE(low) + 1;
    const int64_t as_signed =
        int64_t{static_cast<int16_t>(b.U16LE(high))} - static_cast<int16_t>(b.U16LE(low)) + 1;
    return as_unsigned <= 0 || as_signed <= 0 ? 0 : std::max(as_unsigned, as_signed);
  };
  const auto line_bytes = static_cast<int16_t>(b.U16LE(66));
  const uint8_t planes = b.data[65];
  if (line_bytes <= 0 || planes == 0 || planes > 4) {
    return false;
  }
  width = side(4, 8);
  height = side(6, 10);
  return true;
}

// "P6 640 480 255": whitespace and comments between the fields.
bool PnmSize(Bytes b, int64_t& width, int64_t& height) {
  size_t at = 2;
  int64_t fields[2] = {0, 0};
  for (int64_t& field : fields) {
    while (at < b.data.size() && (std::isspace(b.data[at]) != 0 || b.data[at] == '#')) {
      if (b.data[at] == '#') {
        while (at < b.data.size() && b.data[at] != '\n' && b.data[at] != '\r') {
          ++at;
        }
      } else {
        ++at;
      }
    }
    size_t digits = 0;
    while (at < b.data.size() && std::isdigit(b.data[at]) != 0 && digits < 10) {
      field = field * 10 + (b.data[at++] - '0');
      ++digits;
    }
    if (digits == 0) {
      return false;
    }
  }
  width = fields[0];
  height = fields[1];
  return true;
}

// The icon loader takes the bitmap header of one of the directory's entries: the largest any of
// them claims is what it may allocate.
bool IcoSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(0, 6)) {
    return false;
  }
  const uint32_t count = b.U16LE(4);
  width = height = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + size_t{16} * i;
    if (!b.Has(entry, 16)) {
      return false;
    }
    const size_t header = b.U32LE(entry + 12);
    if (!b.Has(header, 12)) {
      continue;
    }
    const int64_t w = static_cast<int32_t>(b.U32LE(header + 4));
    const int64_t h = static_cast<int32_t>(b.U32LE(header + 8));
    if (std::abs(w) * std::abs(h) > width * height) {
      width = std::abs(w);
      height = std::abs(h);
    }
  }
  return true;
}

bool TiffSize(Bytes b, int64_t& width, int64_t& height) {
  if (!b.Has(0, 8)) {
    return false;
  }
  const bool little = b.data[0] == 'I';
  auto u16 = [&](size_t at) { return little ? b.U16LE(at) : b.U16BE(at); };
  auto u32 = [&](size_t at) { return little ? b.U32LE(at) : b.U32BE(at); };
  const size_t directory = u32(4);
  if (!b.Has(directory, 2)) {
    return false;
  }
  const uint32_t entries = u16(directory);
  width = height = -1;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + size_t{12} * i;
    if (!b.Has(entry, 12)) {
      return false;
    }
    const uint32_t tag = u16(entry);
    const uint32_t type = u16(entry + 2);
    const int64_t value = type == 3 ? u16(entry + 8) : u32(entry + 8); // SHORT or LONG
    if (tag == 256) {
      width = value;
    } else if (tag == 257) {
      height = value;
    }
  }
  return width >= 0 && height >= 0;
}

bool LbmSize(Bytes b, int64_t& width, int64_t& height) {
  for (size_t at = 12; b.Has(at, 8);) {
    const uint32_t size = b.U32BE(at + 4);
    if (std::memcmp(b.data.data() + at, "BMHD", 4) == 0) {
      if (!b.Has(at + 8, 4)) {
        return false;
      }
      width = b.U16BE(at + 8);
      height = b.U16BE(at + 10);
      return true;
    }
    at += 8 + size_t{size} + (size & 1);
  }
  return false;
}

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

template <SdlLoad Load, SizePeek Peek>
bool DecodeWith(std::span<const uint8_t> bytes, TDecodedBitmap& out, std::string& error) {
  out = TDecodedBitmap();
  int64_t width = 0, height = 0;
  if (bytes.size() > INT_MAX || !Peek(Bytes{bytes}, width, height)) {
    error = "header damaged or truncated";
    return false;
  }
  // Each side is checked first, so that the product cannot overflow.
  const int64_t most = MostPixelsFor(bytes.size());
  if (width <= 0 || height <= 0 || width > most || height > most || width * height > most) {
    error = "picture size " + std::to_string(width) + " x " + std::to_string(height) +
            " does not fit the file";
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
  // A deflated picture of one-bit pixels compresses about 8000 pixels into a byte; no
  // registered format does better. Tiny files may still hold a small picture.
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
      {"png", {"png"}, RecogniseWith<IMG_isPNG>, DecodeWith<IMG_LoadPNG_RW, PngSize>},
      {"jpeg",
       {"jfif", "jpg", "jpe", "jpeg"},
       RecogniseWith<IMG_isJPG>,
       DecodeWith<IMG_LoadJPG_RW, JpegSize>},
      {"bmp", {"bmp", "rle", "dib"}, RecogniseWith<IMG_isBMP>, DecodeWith<IMG_LoadBMP_RW, BmpSize>},
      {"tiff", {"tiff", "tif"}, RecogniseWith<IMG_isTIF>, DecodeWith<IMG_LoadTIF_RW, TiffSize>},
      {"iff", {"iff"}, RecogniseWith<IMG_isLBM>, DecodeWith<IMG_LoadLBM_RW, LbmSize>},
      {"pnm", {"ppm", "pgm", "pbm"}, RecogniseWith<IMG_isPNM>, DecodeWith<IMG_LoadPNM_RW, PnmSize>},
      {"pcx", {"pcx", "pcc", "scr"}, RecogniseWith<IMG_isPCX>, DecodeWith<IMG_LoadPCX_RW, PcxSize>},
      {"ico", {"ico"}, RecogniseWith<IMG_isICO>, DecodeWith<IMG_LoadICO_RW, IcoSize>},
      // Truevision pictures carry no signature: they are found by their extension alone.
      {"tga", {"tga", "icb", "vst", "vda", "win"}, nullptr, DecodeWith<IMG_LoadTGA_RW, TgaSize>},
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
