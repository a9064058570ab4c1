// The terrain map files: width and height as 32-bit integers, then the samples as row-major
// 32-bit floats, little-endian. Generated once per installation from the planet seed.
#pragma once

#include "terrain/HeightMapBuffer.h"

#include <cstdint>
#include <string_view>

namespace meridia {

class TzoStream;

void SaveHeightMapToStream(const THeightMapBuffer& map, TzoStream& stream);
// Replaces the file only with a whole map: false, with the file on disk as it was, when it
// cannot be created or written to the end.
bool SaveHeightMapToFile(const THeightMapBuffer& map, std::string_view name);

// The two maps as generated: the eroded heights and the change erosion made.
struct TTerrainMaps {
  THeightMapBuffer Erosion;
  THeightMapBuffer Base;
};

// Generates the eroded height map and the base map from the shared generator's current state
// and writes them to folder + "errosion.dat" and folder + "basemap.dat". The working memory
// is released before the files are written. Returns whether both files were written; the maps
// themselves go to `generated` when it is given, written or not (empty when the size is
// refused), so that a caller can use what it could not keep.
bool GenerateTerrainMaps(std::string_view folder, int32_t seed, int32_t width, int32_t height,
                         TTerrainMaps* generated = nullptr);

} // namespace meridia
