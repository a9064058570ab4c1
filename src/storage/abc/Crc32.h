// The block checksum: the reflected CRC-32 of the IEEE 802.3 polynomial, started at 0 and not
// inverted at the end (so it differs from the usual zlib value).
#pragma once

#include <cstddef>
#include <cstdint>

namespace meridia {

class T_ABC_CRC32 {
public:
  static uint32_t Compute(const uint8_t* data, size_t count, uint32_t crc = 0);
};

} // namespace meridia
