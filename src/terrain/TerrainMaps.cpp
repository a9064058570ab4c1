#include "terrain/TerrainMaps.h"

#include "storage/File.h"
#include "storage/Log.h"
#include "terrain/TerrainGenerator.h"

#include <string>

namespace meridia {

void SaveHeightMapToStream(const THeightMapBuffer& map, TzoStream& stream) {
  int32_t width = map.Width;
  int32_t height = map.Height;
  stream.TransferInt32(width);
  stream.TransferInt32(height);
  // Transfer takes a mutable buffer for both directions; in write mode it only reads it.
  stream.TransferBlock(const_cast<float*>(map.Data.data()),
                       static_cast<int64_t>(map.Data.size() * sizeof(float)));
}

bool SaveHeightMapToFile(const THeightMapBuffer& map, std::string_view name) {
  TzoFile file;
  if (!file.OpenWrite(name, false)) {
    return false;
  }
  SaveHeightMapToStream(map, file);
  const bool complete = file.GetSize() == 8 + static_cast<int64_t>(map.Data.size() * 4);
  file.Close();
  return complete;
}

// The seed is not used here: the generator continues the shared sequence where the noise
// initialisation left it, which is what makes the maps a function of the seed.
bool GenerateTerrainMaps(std::string_view folder, int32_t /*seed*/, int32_t width, int32_t height) {
  LogWrite("Generating terrain maps");
  THeightMapBuffer erosion;
  THeightMapBuffer base;
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
  const bool written = SaveHeightMapToFile(erosion, prefix + "errosion.dat") &&
                       SaveHeightMapToFile(base, prefix + "basemap.dat");
  if (!written) {
    LogWrite("Unable to write the terrain maps in " + prefix);
  }
  return written;
}

} // namespace meridia
