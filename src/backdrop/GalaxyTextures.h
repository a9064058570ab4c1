// The nine backdrop textures: four frames, four stars and one smoke picture, by slot. The
// loading itself is handed in (the texture loader lives above this library), so that the names
// and the slots stay testable without a context.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace meridia {

inline constexpr int kGalaxyTextureCount = 9;

// Frames 1 to 4, stars 1 to 4, then smoke 2.
extern const std::array<std::string_view, kGalaxyTextureCount> kGalaxyTextureFiles;

// OpenGL texture ids by slot; 0 where a load never succeeded.
extern std::array<uint32_t, kGalaxyTextureCount> GalaxyTextures;

// Loads path into id and says whether it did; leaves id alone when it did not.
using GalaxyTextureLoader = bool (*)(std::string_view path, uint32_t& id);

// Every slot in order; a file that cannot be loaded leaves its slot as it was.
void LoadGalaxyTextures(GalaxyTextureLoader load);

} // namespace meridia
