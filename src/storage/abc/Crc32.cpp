#include "storage/abc/Crc32.h"

#include <array>

namespace meridia {
namespace {

// Four tables, so that the loop takes a word at a time ("slicing by four").
using Tables = std::array<std::array<uint32_t, 256>, 4>;

constexpr Tables MakeTables() {
  Tables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    tables[0][i] = crc;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t t = 1; t < 4; ++t) {
      tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

} // namespace

uint32_t T_ABC_CRC32::Compute(const uint8_t* data, size_t count, uint32_t crc) {
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    crc ^= uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 | uint32_t{data[i + 2]} << 16 |
           uint32_t{data[i + 3]} << 24;
    crc = kTables[3][crc & 0xFF] ^ kTables[2][(crc >> 8) & 0xFF] ^ kTables[1][(crc >> 16) & 0xFF] ^
          kTables[0][crc >> 24];
  }
  for (; i < count; ++i) {
    crc = kTables[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  }
  return crc;
}

} // namespace meridia
