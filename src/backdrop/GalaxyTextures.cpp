#include "backdrop/GalaxyTextures.h"

namespace meridia {

const std::array<std::string_view, kGalaxyTextureCount> kGalaxyTextureFiles = {
    "base/Textures/Galaxy/frame1.tga", "base/Textures/Galaxy/frame2.tga",
    "base/Textures/Galaxy/frame3.tga", "base/Textures/Galaxy/frame4.tga",
    "base/Textures/Galaxy/star1.tga",  "base/Textures/Galaxy/star2.tga",
    "base/Textures/Galaxy/star3.tga",  "base/Textures/Galaxy/star4.tga",
    "base/Textures/Galaxy/smoke2.tga",
};

std::array<uint32_t, kGalaxyTextureCount> GalaxyTextures{};

void LoadGalaxyTextures(GalaxyTextureLoader load) {
  if (load == nullptr) {
    return;
  }
  for (size_t slot = 0; slot < kGalaxyTextureFiles.size(); ++slot) {
    load(kGalaxyTextureFiles[slot], GalaxyTextures[slot]);
  }
}

} // namespace meridia
