// Pictures: what the texture loader's decoders make of a file read by its path, which decoder
// took it and whether by its content or its name, and optionally the decoded pixels as a TGA or
// PNG file that any viewer shows upright.
#include "FileKind.h"

#include "decoders/ImageDecoders.h"
#include "imaging/TGAImage.h"

#include <SDL.h>
#include <SDL_image.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace meridia::inspect {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Uncompressed, top row first (descriptor bit 5), with 8 alpha bits for 32-bit pictures: the
// decoder's rows and byte order are already TGA's.
bool WriteTga(const TDecodedBitmap& bitmap, const fs::path& target) {
  TTGAImage tga;
  tga.Header.ImageType = 2;
  tga.Header.Width = static_cast<uint16_t>(bitmap.Width);
  tga.Header.Height = static_cast<uint16_t>(bitmap.Height);
  tga.Header.PixelDepth = static_cast<uint8_t>(bitmap.BitsPerPixel);
  tga.Header.ImageDescriptor = 0x20 | (bitmap.BitsPerPixel == 32 ? 8 : 0);
  tga.Pixels = bitmap.Pixels;
  return bitmap.Width <= 0xFFFF && bitmap.Height <= 0xFFFF && tga.SaveToFile(target.string());
}

// Through SDL_image's own writer; the surface only borrows the decoder's rows (top first, blue
// first), and the writer converts them to PNG's byte order itself. Written under a temporary
// name beside the target and then renamed, so that no half-written picture is ever left there.
bool WritePng(TDecodedBitmap& bitmap, const fs::path& target) {
  const Uint32 format = bitmap.BitsPerPixel == 32 ? SDL_PIXELFORMAT_BGRA32 : SDL_PIXELFORMAT_BGR24;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bitmap.BitsPerPixel,
      static_cast<int>(bitmap.RowBytes()), format);
  if (surface == nullptr) {
    return false;
  }
  std::string temporary = (target.parent_path() / ".meridia-inspect-XXXXXX").string();
  const int fd = mkstemp(temporary.data());
  bool written = fd >= 0;
  if (written) {
    close(fd);
    written = IMG_SavePNG(surface, temporary.c_str()) == 0 &&
              std::rename(temporary.c_str(), target.string().c_str()) == 0;
    if (!written) {
      unlink(temporary.c_str());
    }
  }
  SDL_FreeSurface(surface);
  return written;
}

} // namespace

bool IsImage(const std::string& path) {
  RegisterImageDecoders();
  // Whole: a content test may need to look far in, past a JPEG's metadata for example.
  return FormatByContent(ReadWhole(path)) != nullptr ||
         FormatByExtension(fs::path(path).extension().string()) != nullptr;
}

int DescribeImage(const std::string& path, const InspectOptions& options, std::ostream& out,
                  std::ostream& err) {
  RegisterImageDecoders();
  TDecodeResult result;
  if (!DecodeImage(ReadWhole(path), path, result)) {
    const std::string why =
        result.Format.empty() ? result.Error : result.Format + ": " + result.Error;
    err << "meridia-inspect: " << path << ": " << why << "\n";
    if (options.json) {
      out << JsonError(path, why) << "\n";
    }
    return 1;
  }
  TDecodedBitmap& b = result.Bitmap;
  int status = 0;
  std::string written;
  bool replaced = false;
  if (!options.out_folder.empty()) {
    std::error_code error;
    fs::create_directories(options.out_folder, error);
    OutputNames own;
    OutputNames& names = options.outputs != nullptr ? *options.outputs : own;
    const fs::path target = names.Claim(options.out_folder, fs::path(path).filename().string(),
                                        options.png ? ".png" : ".tga");
    replaced = fs::exists(target, error);
    if (options.png ? WritePng(b, target) : WriteTga(b, target)) {
      written = target.string();
    } else {
      err << "meridia-inspect: cannot write " << target.string() << "\n";
      status = 1;
    }
  }
  const char* by = result.ByContent ? "content" : "extension";
  if (options.json) {
    out << "{\"file\":" << JsonString(path)
        << ",\"kind\":\"image\",\"decoder\":" << JsonString(result.Format) << ",\"by\":\"" << by
        << "\",\"width\":" << b.Width << ",\"height\":" << b.Height
        << ",\"bits\":" << b.BitsPerPixel;
    if (!written.empty()) {
      out << ",\"written\":" << JsonString(written)
          << ",\"replaced\":" << (replaced ? "true" : "false");
    }
    out << "}\n";
  } else {
    out << path << ": image, " << result.Format << " (by " << by << "), " << b.Width << " x "
        << b.Height << ", " << b.BitsPerPixel << " bits\n";
    if (!written.empty()) {
      out << "  written to " << written << (replaced ? ", replacing the file there" : "") << "\n";
    }
  }
  return status;
}

} // namespace meridia::inspect
