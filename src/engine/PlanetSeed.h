// The planet seed: the world a run shows. Every terrain map, height and colour derives from it.
// Each program sets it from its command line before anything is built; 500 is the planet the
// program has always shown, and its files keep their original names and layout.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace meridia {

inline constexpr int32_t kPlanetSeed = 500;

inline int32_t g_planet_seed = kPlanetSeed;

inline void SetPlanetSeed(int32_t seed) {
  g_planet_seed = seed;
}
inline int32_t CurrentPlanetSeed() {
  return g_planet_seed;
}

// A seed as a person writes it: a decimal 32-bit signed integer, nothing before or after it.
inline bool ParsePlanetSeed(std::string_view text, int32_t& seed) {
  const char* end = text.data() + text.size();
  int32_t value = 0;
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) {
    return false;
  }
  seed = value;
  return true;
}

} // namespace meridia
