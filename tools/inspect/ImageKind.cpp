// Pictures: what the texture loader's decoders make of a file read by its path, which decoder
// took it and whether by its content or its name, and optionally the decoded pixels as a TGA or
// PNG file that any viewer shows upright.
#include "FileKind.h"

#include "decoders/ImageDecoders.h"
#include "imaging/TGAImage.h"

#include <SDL.h>
#include <SDL_image.h>

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
// first), and the writer converts them to PNG's byte order itself.
bool WritePng(TDecodedBitmap& bitmap, const fs::path& target) {
  const Uint32 format = bitmap.BitsPerPixel == 32 ? SDL_PIXELFORMAT_BGRA32 : SDL_PIXELFORMAT_BGR24;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bitmap.BitsPerPixel,
      static_cast<int>(bitmap.RowBytes()), format);
  if (surface == nullptr) {
    return false;
  }
  const bool written = IMG_SavePNG(surface, target.string().c_str()) == 0;
  SDL_FreeSurface(surface);
  return written;
}

} // namespace

bool IsImage(const std::string& path) {
  RegisterImageDecoders();
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> head(256);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return FormatByContent(head) != nullptr ||
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
  const char* by = result.ByContent ? "content" : "extension";
  if (options.json) {
    out << "{\"file\":" << JsonString(path)
        << ",\"kind\":\"image\",\"decoder\":" << JsonString(result.Format) << ",\"by\":\"" << by
        << "\",\"width\":" << b.Width << ",\"height\":" << b.Height
        << ",\"bits\":" << b.BitsPerPixel << "}\n";
  } else {
    out << path << ": image, " << result.Format << " (by " << by << "), " << b.Width << " x "
        << b.Height << ", " << b.BitsPerPixel << " bits\n";
  }
  if (!options.out_folder.empty()) {
    std::error_code error;
    fs::create_directories(options.out_folder, error);
    const fs::path target = fs::path(options.out_folder) /
                            (fs::path(path).filename().string() + (options.png ? ".png" : ".tga"));
    if (!(options.png ? WritePng(b, target) : WriteTga(b, target))) {
      err << "meridia-inspect: cannot write " << target.string() << "\n";
      return 1;
    }
  }
  return 0;
}

} // namespace meridia::inspect
