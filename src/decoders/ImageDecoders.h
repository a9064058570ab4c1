// The image-format decoders: a registry of picture formats, each with the file extensions it
// answers to, a test that recognises its content, and a decoder into 24-bit or 32-bit pixels.
// A picture is identified by its content first and by its file extension only when no format
// recognises it. Every decoder treats its input as hostile: a header that lies about its size
// gives a clean failure, never a read outside the bytes or an allocation they cannot justify.
#pragma once

#include "decoders/DecodedBitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

using ContentTest = bool (*)(std::span<const uint8_t> bytes);
using Decoder = bool (*)(std::span<const uint8_t> bytes, TDecodedBitmap& out, std::string& error);

struct TImageFormat {
  std::string Name;                    // "png", "jpeg", ...
  std::vector<std::string> Extensions; // lower case, without the dot
  ContentTest Recognise = nullptr;     // null: the format has no signature to test
  Decoder Decode = nullptr;            // null: registered, but not decodable here
};

// Registers every format once (the decoders' module start); later calls change nothing.
void RegisterImageDecoders();
// Forgets them again (the module's end).
void UnregisterImageDecoders();
const std::vector<TImageFormat>& ImageFormats();

// The first registered format whose content test accepts the bytes; null when none does.
const TImageFormat* FormatByContent(std::span<const uint8_t> bytes);
// The format registered for an extension, with or without its dot, in any case; null when none.
const TImageFormat* FormatByExtension(std::string_view extension);

// What became of one picture.
struct TDecodeResult {
  TDecodedBitmap Bitmap; // 32 bits when the picture has alpha, else 24
  std::string Format;    // the format that took it, empty when none did
  bool ByContent = false;
  std::string Error; // why nothing was decoded
  bool HasAlpha() const { return Bitmap.BitsPerPixel == 32; }
};

// Identifies and decodes a whole file's bytes: content first, then the file name's extension.
// True with a non-empty bitmap, or false with Error set.
bool DecodeImage(std::span<const uint8_t> bytes, std::string_view file_name, TDecodeResult& result);

// The most pixels a file of this many bytes may decode to, whatever its format: a larger claim
// is a lie told to make the decoder allocate. Each format's own header check is tighter where
// the format's packing allows (see HeaderChecks.h).
int64_t MostPixelsFor(size_t file_bytes);

} // namespace meridia
