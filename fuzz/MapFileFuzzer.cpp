// Terrain map files on arbitrary bytes, the way the height function meets them: the size gate
// and the loader must agree, a map is loaded only by the world that made it, and a loaded map goes
// through the terrain height and the colour lookup at directions where the map really counts. Maps
// of a few thousand samples keep every run cheap; the gate is the same for the full 2048 by 2048
// maps.
#include "FuzzSupport.h"

#include "terrain/HeightMapFactory.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

using meridia::fuzz::Require;

bool IsPowerOfTwo(int32_t side) {
  return side > 0 && (side & (side - 1)) == 0;
}

struct Terrain {
  meridia::THeightMapFactory factory{meridia::kPlanetSeed, nullptr, meridia::TzoImage()};
  std::vector<meridia::Vector3f> land;
  meridia::TzoImage color_map;

  Terrain() {
    // Over the sea the height never reads the map: keep directions where a map of ones gives
    // another height than no map at all.
    auto ones = std::make_unique<meridia::TPixelBuffer_d>();
    ones->SetSize(4, 4);
    ones->Data.assign(ones->Data.size(), 1.0f);
    for (int face = 0; face < 6 && land.size() < 12; ++face) {
      for (double u = -0.9; u < 1.0 && land.size() < 12; u += 0.3) {
        for (double v = -0.9; v < 1.0 && land.size() < 12; v += 0.3) {
          const meridia::Vector3f direction = meridia::CubeFaceDirection(face, u, v);
          factory.ErosionSampler.reset();
          const float bare = factory.HeightAt(direction);
          factory.ErosionSampler = std::move(ones);
          const float eroded = factory.HeightAt(direction);
          ones = std::move(factory.ErosionSampler);
          if (bare != eroded) {
            land.push_back(direction);
          }
        }
      }
    }
    Require(!land.empty(), "some directions read the map");
    // A small colour map of the real layout: blue, green, red, row 0 at the bottom.
    color_map.SetPixelFormat(24);
    color_map.SetSize(256, 16);
    for (size_t i = 0; i < color_map.Data.size(); ++i) {
      color_map.Data[i] = static_cast<uint8_t>(i * 7);
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Terrain terrain;
  const std::string path = meridia::fuzz::WriteScratchFile(data, size);

  // Loaded as the world its tag names (the default world's without one), and by no other.
  const meridia::TMapFileFacts facts = meridia::InspectMapFile(path);
  auto map = std::make_unique<meridia::TPixelBuffer_d>();
  const bool loaded = map->LoadFromFile(path, facts.Seed);
  Require(loaded == meridia::IsValidMapFile(path, facts.Seed),
          "the size gate and the loader agree");
  Require(loaded == facts.Refusal.empty(), "the facts and the loader agree");
  meridia::TPixelBuffer_d elsewhere;
  Require(!elsewhere.LoadFromFile(path, facts.Seed ^ 1) && elsewhere.IsEmpty(),
          "another world never loads it");
  if (!loaded) {
    Require(map->IsEmpty() && map->Data.empty(), "a refused map is empty");
    return 0;
  }
  Require(IsPowerOfTwo(map->Width) && IsPowerOfTwo(map->Height), "sides are powers of two");
  Require(size == (facts.Tagged ? 16 : 8) + 4 * map->Data.size() &&
              map->Data.size() == static_cast<size_t>(map->Width) * map->Height,
          "the file holds exactly the samples");
  Require(meridia::AreUsableSamples(map->Data), "a loaded map holds only usable samples");
  if (map->IsEmpty()) {
    return 0;
  }

  terrain.factory.ErosionSampler = std::move(map);
  for (const meridia::Vector3f& direction : terrain.land) {
    const float height = terrain.factory.HeightAt(direction);
    Require(std::isfinite(height), "usable samples give finite heights");
    uint8_t rgb[3];
    meridia::ColorMapLookup(terrain.color_map, direction, height, rgb);
  }
  terrain.factory.ErosionSampler.reset();
  return 0;
}
