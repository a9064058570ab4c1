// The colour lookup over a colour map read from arbitrary TGA bytes, as the terrain reads
// base/maps/cmap_1.tga: whatever size and depth the picture claims, the lookup reads only its
// pixels. The first eight bytes are one more height and latitude sine to look up.
#include "FuzzSupport.h"

#include "imaging/TGAReader.h"
#include "terrain/HeightMapFactory.h"

#include <array>
#include <cstring>

namespace {

// Both ends of both axes, the cells between, and beyond them.
constexpr std::array<float, 8> kHeights = {-1.0f, 0.0f, 0.0004f, 0.3f, 0.9995f, 1.0f, 1.5f, 1e30f};
constexpr std::array<float, 6> kSines = {0.0f, 0.5f, 0.999f, 1.0f, -1.0f, 7.0f};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) {
    return 0;
  }
  float extra[2];
  std::memcpy(extra, data, sizeof extra);
  meridia::TzoImage color_map;
  meridia::LoadTGAFromMemory(color_map, {data + 8, size - 8});

  uint8_t rgb[3];
  for (float height : kHeights) {
    for (float sine : kSines) {
      meridia::ColorMapLookup(color_map, {0.0f, sine, 0.0f}, height, rgb);
    }
  }
  meridia::ColorMapLookup(color_map, {0.0f, extra[1], 0.0f}, extra[0], rgb);
  return 0;
}
