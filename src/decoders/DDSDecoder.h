// The DirectDraw Surface decoder: the first mipmap level of a 2D texture, whether S3TC block
// compressed (DXT1 to DXT5) or stored through bit masks, decoded on the CPU into 32-bit blue,
// green, red, alpha pixels with row 0 at the top. Nothing compressed leaves this file, and it
// reads nothing outside the bytes it is given, whatever the header claims.
#pragma once

#include "decoders/DecodedBitmap.h"

#include <cstdint>
#include <span>
#include <string>

namespace meridia {

// The content test: the "DDS " magic followed by a surface description of 124 bytes.
bool IsDDS(std::span<const uint8_t> bytes);

// True with `out` holding the picture (always 32 bits a pixel, straight alpha). False with `out`
// empty and `error` set to one of:
//   "Invalid DDS file": no DDS header, a zero or oversized side, a pixel layout that masks of 32
//     bits cannot describe, or fewer bytes after the header than the first level needs;
//   "Unsupported DDSCAPS settings": a cube map or a volume texture;
//   "Unsupported compression type: XXXX": a FourCC other than DXT1 to DXT5 (DX10 included), its
//     four characters with unprintable bytes as '?'.
// `error` is left alone on success. DXT2 and DXT4 hold premultiplied colour, which is divided
// back by alpha. The header's pitch and linear size are not trusted (writers often fill them
// wrongly): rows of the bit-mask layouts are taken as tightly packed, as the format lays them out.
bool DecodeDDS(std::span<const uint8_t> bytes, TDecodedBitmap& out, std::string& error);

} // namespace meridia
