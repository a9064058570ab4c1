#include "terrain/TerrainMaps.h"

#include "storage/File.h"
#include "storage/Log.h"
#include "storage/WholeFile.h"
#include "terrain/TerrainGenerator.h"

#include <string>

namespace meridia {

std::string WorldMapFolder(int32_t seed) {
  return seed == kPlanetSeed ? "base/maps/" : "base/maps/world-" + std::to_string(seed) + "/";
}

void SaveHeightMapToStream(const THeightMapBuffer& map, TzoStream& stream, int32_t seed) {
  if (seed != kPlanetSeed) {
    char magic[4] = {kWorldTagMagic[0], kWorldTagMagic[1], kWorldTagMagic[2], kWorldTagMagic[3]};
    stream.TransferBuffer(magic, 4);
    stream.TransferInt32(seed);
  }
  int32_t width = map.Width;
  int32_t height = map.Height;
  stream.TransferInt32(width);
  stream.TransferInt32(height);
  // Transfer takes a mutable buffer for both directions; in write mode it only reads it.
  stream.TransferBlock(const_cast<float*>(map.Data.data()),
                       static_cast<int64_t>(map.Data.size() * sizeof(float)));
}

bool SaveHeightMapToFile(const THeightMapBuffer& map, std::string_view name, int32_t seed) {
  return WriteWholeFile(name,
                        [&map, seed](TzoFile& file) { SaveHeightMapToStream(map, file, seed); });
}

bool GenerateTerrainMaps(std::string_view folder, int32_t seed, int32_t width, int32_t height,
                         TTerrainMaps* generated) {
  LogWrite("Generating terrain maps");
  TTerrainMaps own;
  TTerrainMaps& maps = generated != nullptr ? *generated : own;
  maps = TTerrainMaps{};
  THeightMapBuffer& erosion = maps.Erosion;
  THeightMapBuffer& base = maps.Base;
  {
    TTerrainGenerator generator;
    generator.Width = width;
    generator.Height = height;
    if (!generator.Generate()) {
      LogWrite("Terrain maps not generated : the size must be a power of two");
      return false;
    }
    erosion = std::move(generator.ErosionMap);
    base = std::move(generator.BaseMap);
  }
  const std::string prefix(folder);
  const bool written = SaveHeightMapToFile(erosion, prefix + "errosion.dat", seed) &&
                       SaveHeightMapToFile(base, prefix + "basemap.dat", seed);
  if (!written) {
    LogWrite("Unable to write the terrain maps in " + prefix);
  }
  return written;
}

} // namespace meridia
