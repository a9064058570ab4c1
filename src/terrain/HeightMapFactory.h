// The single source of terrain: a height offset for every direction from the planet's centre,
// and a surface colour for every direction and height. Built once with the planet seed; after
// construction every query is a pure function of its arguments and allocates nothing.
#pragma once

#include "engine/Object.h"
#include "engine/PlanetSeed.h"
#include "engine/VectorTypes.h"
#include "imaging/Image.h"
#include "terrain/NoiseClass.h"
#include "terrain/NoiseExtra.h"
#include "terrain/PixelBufferD.h"
#include "terrain/PlanetStructureFactory.h"

#include <cstdint>
#include <memory>

namespace meridia {

// The default world's maps; another world's lie in WorldMapFolder(seed) under the same names.
inline constexpr const char* kMapFolder = "base/maps/";
inline constexpr const char* kErosionMapFile = "base/maps/errosion.dat";
inline constexpr const char* kBaseMapFile = "base/maps/basemap.dat";
inline constexpr const char* kColorMapFile = "base/maps/cmap_1.tga";
inline constexpr int32_t kMapSide = 2048;

class THeightMapFactory : public TObject {
public:
  // Seeds the noise, generates the seed's world's terrain maps (map_side samples a side) when
  // they are missing, damaged or another world's, loads them and the colour map, and leaves the
  // shared random generator freshly seeded with the seed.
  explicit THeightMapFactory(int32_t seed, int32_t map_side = kMapSide);
  // A factory over maps already in memory: no file is read or written. The noise and the shared
  // generator are seeded exactly as above.
  THeightMapFactory(int32_t seed, std::unique_ptr<TPixelBuffer_d> erosion, TzoImage color_map);

  TNoiseExtra NoiseExtra;
  TzoNoiseClass Noise;
  TzoImage ColorMap;
  // Absent when the erosion map could neither be loaded nor generated; heights then read 0 for
  // every erosion sample.
  std::unique_ptr<TPixelBuffer_d> ErosionSampler;
  std::unique_ptr<TPixelBuffer_d> BaseSampler;
  TFactory_Planet PlanetFactory;

  float HeightAt(const Vector3f& direction) const;
  float HeightOnFace(int face, double u, double v) const;
  double TerrainHeight(double x, double y, double z) const;

private:
  void SeedNoise(int32_t seed);
  double Erosion(double u, double v) const;

  bool detail_variant_;
};

// The process-wide factory the planet's patches ask; null before one is built.
THeightMapFactory* HeightMapFactory();
void SetHeightMapFactory(THeightMapFactory* factory);

// The cube-face point for (u, v) on a face, projected onto the unit sphere; (0, 0, 0) for face
// numbers outside 0..5.
Vector3f CubeFaceDirection(int face, double u, double v);

// Colour of the ground from the colour map of the process-wide factory, by |latitude sine| and
// height; the normal does not enter. rgb receives red, green, blue. Black without a factory or
// colour map.
void SurfaceColor(const Vector3f& direction, const Vector3f& normal, float height, uint8_t rgb[3]);

// The same lookup on a given colour map (blue, green, red pixels, row 0 the bottom row).
void ColorMapLookup(const TzoImage& color_map, const Vector3f& direction, float height,
                    uint8_t rgb[3]);

} // namespace meridia
