// The terrain map files: width and height as 32-bit integers, then the samples as row-major
// 32-bit floats, little-endian. Generated once per installation and world from the planet seed.
// The default world's files are exactly that; every other world's begin with a world tag, the
// four bytes "MWLD" and the seed, and lie in a folder of their own, so that no world ever reads
// the maps of another.
#pragma once

#include "engine/PlanetSeed.h"
#include "terrain/HeightMapBuffer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace meridia {

class TzoStream;

// No bare map begins with these bytes: read as its width they are no power of two.
inline constexpr char kWorldTagMagic[4] = {'M', 'W', 'L', 'D'};
inline constexpr int64_t kWorldTagBytes = 8;

// Where a world's maps are kept, below the maps root: "base/maps/" for the default world,
// "base/maps/world-N/" for seed N.
std::string WorldMapFolder(int32_t seed);

// The map, after the world tag of the seed unless it is the default world's.
void SaveHeightMapToStream(const THeightMapBuffer& map, TzoStream& stream,
                           int32_t seed = kPlanetSeed);
// Replaces the file only with a whole map: false, with the file on disk as it was, when it
// cannot be created or written to the end.
bool SaveHeightMapToFile(const THeightMapBuffer& map, std::string_view name,
                         int32_t seed = kPlanetSeed);

// The two maps as generated: the eroded heights and the change erosion made.
struct TTerrainMaps {
  THeightMapBuffer Erosion;
  THeightMapBuffer Base;
};

// Generates the eroded height map and the base map from the shared generator's current state
// and writes them, as the seed's world, to folder + "errosion.dat" and folder + "basemap.dat".
// The generator continues the shared sequence where the seed's noise initialisation left it:
// that, not this call, makes the maps a function of the seed. The working memory
// is released before the files are written. Returns whether both files were written; the maps
// themselves go to `generated` when it is given, written or not (empty when the size is
// refused), so that a caller can use what it could not keep.
bool GenerateTerrainMaps(std::string_view folder, int32_t seed, int32_t width, int32_t height,
                         TTerrainMaps* generated = nullptr);

} // namespace meridia
