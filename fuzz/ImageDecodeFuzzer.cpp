// The picture decoders on arbitrary bytes, through the same call the texture loader makes. The
// first byte picks the file name's extension, so that both the content path and the extension
// path (the only way to the signature-less TGA decoder) are reached.
#include "FuzzSupport.h"

#include "decoders/ImageDecoders.h"

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"a.png", "a.jpg", "a.bmp", "a.tga", "a.tif",
                                       "a.pcx", "a.ppm", "a.iff", "a.ico", "a.dds"};
  meridia::RegisterImageDecoders();
  if (size == 0) {
    return 0;
  }
  const char* name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  meridia::TDecodeResult result;
  const bool decoded = meridia::DecodeImage(bytes, name, result);
  const meridia::TDecodedBitmap& b = result.Bitmap;
  if (!decoded) {
    Require(b.IsEmpty() && !result.Error.empty(), "a failure leaves no picture and says why");
    return 0;
  }
  Require(b.BitsPerPixel == 24 || b.BitsPerPixel == 32, "pictures come out as 24 or 32 bits");
  Require(b.Pixels.size() == b.RowBytes() * static_cast<size_t>(b.Height),
          "the pixels hold every row");
  Require(int64_t{b.Width} * b.Height <= meridia::MostPixelsFor(bytes.size()),
          "no picture is larger than its file can justify");
  return 0;
}
