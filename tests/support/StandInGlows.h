// Soft white glows in every backdrop texture slot, shaped like the backdrop's own pictures (a
// disc fading to black at its edge), so that a test can see where the sky draws without the
// data folder. Needs a current context; the textures live as long as it does.
#pragma once

#include "backdrop/GalaxyTextures.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace meridia::testing {

inline void UseStandInGalaxyTextures() {
  constexpr int kSide = 16;
  std::vector<uint8_t> rgb(kSide * kSide * 3);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const double dx = (x + 0.5) / (kSide / 2.0) - 1.0, dy = (y + 0.5) / (kSide / 2.0) - 1.0;
      const double fade = std::clamp(1.0 - (dx * dx + dy * dy), 0.0, 1.0);
      std::fill_n(rgb.begin() + (y * kSide + x) * 3, 3, static_cast<uint8_t>(255 * fade * fade));
    }
  }
  for (uint32_t& id : GalaxyTextures) {
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kSide, kSide, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace meridia::testing
