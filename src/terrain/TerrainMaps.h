// The terrain map files: width and height as 32-bit integers, then the samples as row-major
// 32-bit floats, little-endian. Generated once per installation from the planet seed.
#pragma once

#include "terrain/HeightMapBuffer.h"

#include <cstdint>
#include <string_view>

namespace meridia {

class TzoStream;

void SaveHeightMapToStream(const THeightMapBuffer& map, TzoStream& stream);
// Writes nothing and returns false when the file cannot be created.
bool SaveHeightMapToFile(const THeightMapBuffer& map, std::string_view name);

// Generates the eroded height map and the base map from the shared generator's current state
// and writes them to folder + "errosion.dat" and folder + "basemap.dat". The working memory
// is released before the files are written. Returns whether both files were written.
bool GenerateTerrainMaps(std::string_view folder, int32_t seed, int32_t width, int32_t height);

} // namespace meridia
