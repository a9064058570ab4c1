// Small pictures for tests of the decoders and the texture loader, made by the tests themselves:
// a 4 by 3 card whose corners tell orientation and channel order apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace meridia::testing {

inline constexpr int kCardWidth = 4, kCardHeight = 3;

// 0xAARRGGBB: top-left red, top-right green, bottom-left blue, the rest grey; alpha falls from
// 255 on the top row by 100 a row.
inline uint32_t CardPixel(int x, int y) {
  const uint32_t alpha = 255u - 100u * static_cast<uint32_t>(y);
  uint32_t rgb = 0x808080;
  if (x == 0 && y == 0) {
    rgb = 0xFF0000;
  } else if (x == kCardWidth - 1 && y == 0) {
    rgb = 0x00FF00;
  } else if (x == 0 && y == kCardHeight - 1) {
    rgb = 0x0000FF;
  }
  return alpha << 24 | rgb;
}

// An uncompressed or run-length true-colour TGA of the card, rows bottom first, as TGA stores.
inline std::vector<uint8_t> TgaCard(bool run_length) {
  std::vector<uint8_t> file(18, 0);
  file[2] = run_length ? 10 : 2;
  file[12] = kCardWidth;
  file[14] = kCardHeight;
  file[16] = 24;
  for (int y = kCardHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kCardWidth; ++x) {
      const uint32_t p = CardPixel(x, y);
      if (run_length) {
        file.push_back(0); // one literal pixel a packet
      }
      file.insert(file.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                               static_cast<uint8_t>(p >> 16)});
    }
  }
  return file;
}

} // namespace meridia::testing
