// The DDS decoder on arbitrary bytes: a refusal leaves no picture and gives one of its three
// messages; a picture is 32-bit, the size the header gives, and backed by data really in the
// file; DXT1's one-bit alpha is only ever opaque or transparent black.
#include "FuzzSupport.h"

#include "decoders/DDSDecoder.h"
#include "decoders/DDSHeader.h"

#include <string>

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  meridia::TDecodedBitmap bitmap;
  std::string error;
  if (!meridia::DecodeDDS(bytes, bitmap, error)) {
    const std::string unsupported = "Unsupported compression type: ";
    Require(bitmap.IsEmpty() && bitmap.Pixels.empty(), "a refusal leaves no picture");
    Require(error == "Invalid DDS file" || error == "Unsupported DDSCAPS settings" ||
                (error.starts_with(unsupported) && error.size() == unsupported.size() + 4),
            "a refusal gives one of the three messages");
    return 0;
  }
  Require(meridia::IsDDS(bytes) && size >= meridia::DDSHeader::kSize, "only DDS files decode");
  const auto header = meridia::DDSHeader::FromBytes(bytes.first<meridia::DDSHeader::kSize>());
  Require(bitmap.BitsPerPixel == 32 && uint32_t(bitmap.Width) == header.Width &&
              uint32_t(bitmap.Height) == header.Height,
          "the picture is 32-bit and the size the header gives");
  Require(bitmap.Pixels.size() == bitmap.RowBytes() * size_t(bitmap.Height),
          "the pixels hold every row");
  // The densest layout, DXT1, spends 8 bytes on at most 16 pixels.
  Require(uint64_t(bitmap.Width) * uint64_t(bitmap.Height) <=
              2 * uint64_t(size - meridia::DDSHeader::kSize),
          "every pixel comes from data in the file");
  if ((header.PixelFormat.Flags & meridia::DDSPixelFormat::kFourCC) &&
      header.PixelFormat.FourCC == meridia::MakeFourCC("DXT1")) {
    for (size_t i = 0; i < bitmap.Pixels.size(); i += 4) {
      const uint8_t* p = &bitmap.Pixels[i];
      Require(p[3] == 255 || (p[3] == 0 && p[0] == 0 && p[1] == 0 && p[2] == 0),
              "DXT1 pixels are opaque or transparent black");
    }
  }
  return 0;
}
