#include "terrain/HeightMapFactory.h"

#include "engine/ProgramVariant.h"
#include "engine/StartUpTrace.h"
#include "engine/VectorGeometry.h"
#include "storage/DataManager.h"
#include "storage/FilePaths.h"
#include "storage/Log.h"
#include "terrain/TerrainMaps.h"

#include <algorithm>
#include <cmath>

namespace meridia {
namespace {

THeightMapFactory* g_factory = nullptr;

// A sampler over a generated map, taking its samples; empty when its sides cannot be sampled.
std::unique_ptr<TPixelBuffer_d> SamplerOf(THeightMapBuffer& map) {
  auto sampler = std::make_unique<TPixelBuffer_d>();
  sampler->SetSize(map.Width, map.Height);
  if (map.Data.size() == sampler->Data.size()) {
    sampler->Data = std::move(map.Data);
  }
  return sampler;
}

} // namespace

THeightMapFactory* HeightMapFactory() {
  return g_factory;
}

void SetHeightMapFactory(THeightMapFactory* factory) {
  g_factory = factory;
}

void THeightMapFactory::SeedNoise(int32_t seed) {
  // The generator is left where the noise tables leave it: the terrain maps draw from there.
  NoiseExtra.Init(seed);
  Noise.Init(seed);
}

THeightMapFactory::THeightMapFactory(int32_t seed, std::unique_ptr<TPixelBuffer_d> erosion,
                                     TzoImage color_map)
    : ColorMap(std::move(color_map)), ErosionSampler(std::move(erosion)),
      detail_variant_(CurrentProgramVariant() == ProgramVariant::kDetail) {
  SeedNoise(seed);
  if (ErosionSampler != nullptr &&
      (ErosionSampler->IsEmpty() || !AreUsableSamples(ErosionSampler->Data))) {
    ErosionSampler.reset();
  }
  PlanetFactory.Init(seed);
}

THeightMapFactory::THeightMapFactory(int32_t seed, int32_t map_side)
    : detail_variant_(CurrentProgramVariant() == ProgramVariant::kDetail) {
  SeedNoise(seed);

  // The maps are derived data: a damaged file, or one another world made, is made again like a
  // missing one. Loading is the check, so the 16 MB are read once.
  const std::string folder = WorldMapFolder(seed);
  const std::string erosion_file = folder + "errosion.dat";
  auto erosion = std::make_unique<TPixelBuffer_d>();
  if (FileExists(erosion_file) && erosion->LoadFromFile(erosion_file, seed)) {
    ErosionSampler = std::move(erosion);
    BaseSampler = std::make_unique<TPixelBuffer_d>();
    BaseSampler->LoadFromFile(folder + "basemap.dat", seed);
  } else {
    if (FileExists(erosion_file)) {
      LogWrite("Terrain map damaged, generating it again : " + erosion_file);
    }
    // A world's own folder is made in the maps folder, never elsewhere; another viewer may be
    // making it at the same moment, so what counts is that it is there afterwards. Without it,
    // go on without the maps rather than spend seconds on work that could not be kept.
    if (DirectoryExists(kMapFolder)) {
      ForceDirectories(folder);
    }
    if (DirectoryExists(folder)) {
      // The maps just made are what the files hold, or would have held had the disk taken
      // them: this run samples them from memory either way.
      TTerrainMaps generated;
      if (!GenerateTerrainMaps(folder, seed, map_side, map_side, &generated) &&
          !generated.Erosion.Data.empty()) {
        LogWrite("Terrain maps could not be kept, this run uses them from memory");
      }
      ErosionSampler = SamplerOf(generated.Erosion);
      BaseSampler = SamplerOf(generated.Base);
    } else {
      LogWrite("Terrain maps cannot be generated, no folder " + folder);
    }
  }
  if (ErosionSampler == nullptr || ErosionSampler->IsEmpty()) {
    ErosionSampler.reset();
    LogWrite("Terrain maps unavailable : heights use no erosion detail");
  }

  ColorMap.LoadTGA(kColorMapFile);
  StartUpTrace("maps loaded");
  PlanetFactory.Init(seed);
}

double THeightMapFactory::Erosion(double u, double v) const {
  return ErosionSampler != nullptr ? ErosionSampler->SampleBicubic(u, v) : 0.0;
}

float THeightMapFactory::HeightAt(const Vector3f& direction) const {
  return static_cast<float>(TerrainHeight(direction.x, direction.y, direction.z));
}

Vector3f CubeFaceDirection(int face, double u, double v) {
  double x = 0, y = 0, z = 0;
  switch (face) {
  case 0:
    x = u, y = v, z = 1;
    break;
  case 1:
    x = u, y = v, z = -1;
    break;
  case 2:
    x = u, y = 1, z = v;
    break;
  case 3:
    x = u, y = -1, z = v;
    break;
  case 4:
    x = 1, y = u, z = v;
    break;
  case 5:
    x = -1, y = u, z = v;
    break;
  default:
    return {0, 0, 0};
  }
  const double length = std::sqrt(u * u + v * v + 1.0);
  return {static_cast<float>(x / length), static_cast<float>(y / length),
          static_cast<float>(z / length)};
}

float THeightMapFactory::HeightOnFace(int face, double u, double v) const {
  return HeightAt(CubeFaceDirection(face, u, v));
}

double THeightMapFactory::TerrainHeight(double x, double y, double z) const {
  double octave[7];
  NoiseExtra.Octaves(7, 2 * x, 2 * y, 2 * z, octave);
  double m = TNoiseExtra::OctaveSum(octave, 7) - 0.2;
  if (m < 0) {
    return 5 * m; // sea floor
  }
  m = std::min(16 * m, 1.0);

  double lon = 0.5;
  double lat = 0.5;
  if (!(x == 0 && z == 0)) {
    lon = std::atan2(x, z) / (2 * kPi);
    if (lon < 0 || lon > 1) {
      lon = lon - std::floor(lon);
    }
    lat = 1 - std::fabs(0.5 - std::atan(y / std::sqrt(x * x + z * z)) / kPi);
  }
  // The finest samples of neighbouring directions lie dozens of texels apart; their cache
  // misses are served while the detail noise is computed.
  if (ErosionSampler != nullptr) {
    ErosionSampler->PrefetchBicubic(2048 * lon, 1024 * lat);
    ErosionSampler->PrefetchBicubic(16384 * lon, 8192 * lat);
  }

  double d = 1.0;
  if (!detail_variant_) {
    // The four octaves from 8 times the direction are those of the height from its third.
    d = TNoiseExtra::OctaveSum(octave + 2, 4) - 0.2;
    if (d < 0) {
      d = 0;
    }
    d = std::min(10 * d, 1.0);
  }

  double r = 0.5 * Erosion(2 * lon, lat);
  r += 0.3 * Erosion(8 * lon, 4 * lat);
  r += 0.1 * Erosion(16 * lon, 8 * lat);
  r += 0.1 * (1 - Erosion(32 * lon, 16 * lat));
  r += 0.1 * Erosion(64 * lon, 32 * lat);
  r += 0.1 * Erosion(64 * lon + 0.01, 32 * lat);
  r = r * m;
  if (d == 0) {
    return r;
  }
  double acc = 0.35 * r * Erosion(256 * lon, 128 * lat);
  acc += 0.125 * r * Erosion(2048 * lon, 1024 * lat);
  acc += 0.025 * r * Erosion(16384 * lon, 8192 * lat);
  return r + acc * d;
}

void ColorMapLookup(const TzoImage& color_map, const Vector3f& direction, float height,
                    uint8_t rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 0;
  // The lookup needs two rows and two columns of 3-byte pixels; a smaller picture clamps into
  // what it has, an empty one gives black.
  if (color_map.BytesPerPixel < 3 || color_map.Width < 1 || color_map.Height < 1 ||
      static_cast<int64_t>(color_map.Data.size()) <
          int64_t{color_map.Width} * color_map.Height * color_map.BytesPerPixel) {
    return;
  }
  // Any float may arrive here: a NaN reads as height 0, an infinity as the last row, so no
  // conversion below ever sees a value outside the integer range.
  const double hc =
      std::isnan(height) ? 0.0 : std::clamp(static_cast<double>(height), -1e9, 1e9) * 2047.0;
  const double trunc_h = std::trunc(hc);
  const double fh = hc - trunc_h;
  const int max_row = std::min(2046, color_map.Height - 1);
  const int row = static_cast<int>(std::clamp(trunc_h, 0.0, static_cast<double>(max_row)));
  const int row2 = std::min(row + 1, color_map.Height - 1);

  const double ac = std::isnan(direction.y)
                        ? 0.0
                        : std::min(std::fabs(static_cast<double>(direction.y)), 2.0) * 255.0;
  const double trunc_a = std::trunc(ac);
  const double fa = ac - trunc_a;
  const int max_col = std::min(255, color_map.Width - 1);
  const int col = static_cast<int>(std::min(trunc_a, static_cast<double>(max_col)));
  const int col2 = std::min(col + 1, max_col);

  const uint8_t* p00 = color_map.PixelAt(col, row);
  const uint8_t* p01 = color_map.PixelAt(col, row2);
  const uint8_t* p10 = color_map.PixelAt(col2, row);
  const uint8_t* p11 = color_map.PixelAt(col2, row2);
  uint8_t out[3];
  for (int c = 0; c < 3; ++c) {
    // Truncated and kept to the low 8 bits at each step, as byte arithmetic would.
    const auto m = static_cast<uint8_t>(static_cast<int64_t>(p00[c] + (p01[c] - p00[c]) * fh));
    const auto n = static_cast<uint8_t>(static_cast<int64_t>(p10[c] + (p11[c] - p10[c]) * fh));
    out[c] = static_cast<uint8_t>(static_cast<int64_t>(m + (n - m) * fa));
  }
  rgb[0] = out[2];
  rgb[1] = out[1];
  rgb[2] = out[0];
}

void SurfaceColor(const Vector3f& direction, const Vector3f&, float height, uint8_t rgb[3]) {
  if (g_factory == nullptr) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  ColorMapLookup(g_factory->ColorMap, direction, height, rgb);
}

} // namespace meridia
