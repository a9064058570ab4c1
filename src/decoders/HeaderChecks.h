// The checks in front of each library decoder: a header's picture size, read the way that
// decoder reads it, must be one the file's bytes can back before the decoder is let allocate.
// Uncompressed pixels must all be there; compressed ones may not exceed the best the format can
// pack into the bytes there. A header two readers could read two ways is refused.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace meridia {

// True when the decoder may go ahead; false with the reason, which names the fields and sizes
// that did not fit, in `refusal`.
using HeaderCheck = bool (*)(std::span<const uint8_t> bytes, std::string& refusal);

bool CheckBmpHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckIcoHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckJpegHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckLbmHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckPcxHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckPngHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckPnmHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckTgaHeader(std::span<const uint8_t> bytes, std::string& refusal);
bool CheckTiffHeader(std::span<const uint8_t> bytes, std::string& refusal);

} // namespace meridia
