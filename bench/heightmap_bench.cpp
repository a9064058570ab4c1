// The height function and the colour lookup as a patch build asks for them: neighbouring
// directions on one patch of land, over a 2048 by 2048 erosion map.
#include "terrain/HeightMapFactory.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace meridia {
namespace {

THeightMapFactory& Factory() {
  static THeightMapFactory* factory = [] {
    auto erosion = std::make_unique<TPixelBuffer_d>();
    erosion->SetSize(2048, 2048);
    uint32_t state = 12345;
    for (float& sample : erosion->Data) {
      state = state * 1664525u + 1013904223u;
      sample = static_cast<float>(state >> 8) / 16777216.0f;
    }
    TzoImage color_map;
    color_map.SetPixelFormat(24);
    color_map.SetSize(256, 2048);
    return new THeightMapFactory(kPlanetSeed, std::move(erosion), std::move(color_map));
  }();
  return *factory;
}

// A level-14 patch (1/8192 of a face side) whose samples are all land.
struct Patch {
  int face = 0;
  double u0 = 0, v0 = 0;
  double step = 2.0 / 8192.0 / 15.0;
};

Patch LandPatch() {
  const THeightMapFactory& factory = Factory();
  for (int i = 0; i < 10000; ++i) {
    Patch patch;
    patch.face = i % 6;
    patch.u0 = -0.9 + (i * 0.61803398875 - static_cast<int>(i * 0.61803398875)) * 1.8;
    patch.v0 = -0.9 + (i * 0.41421356237 - static_cast<int>(i * 0.41421356237)) * 1.8;
    bool land = true;
    for (int j = -1; j <= 16 && land; ++j) {
      for (int k = -1; k <= 16 && land; ++k) {
        land = factory.HeightOnFace(patch.face, patch.u0 + k * patch.step,
                                    patch.v0 + j * patch.step) >= 0.0f;
      }
    }
    if (land) {
      return patch;
    }
  }
  return {};
}

void BM_TerrainHeightLand(benchmark::State& state) {
  const THeightMapFactory& factory = Factory();
  const Patch patch = LandPatch();
  std::vector<Vector3f> directions;
  for (int j = -1; j <= 16; ++j) {
    for (int k = -1; k <= 16; ++k) {
      directions.push_back(
          CubeFaceDirection(patch.face, patch.u0 + k * patch.step, patch.v0 + j * patch.step));
    }
  }
  size_t i = 0;
  for (auto _ : state) {
    const Vector3f& d = directions[i];
    i = i + 1 == directions.size() ? 0 : i + 1;
    benchmark::DoNotOptimize(factory.TerrainHeight(d.x, d.y, d.z));
  }
}
BENCHMARK(BM_TerrainHeightLand);

// One patch's worth: 18 by 18 heights and 16 by 16 colours.
void BM_PatchSamples(benchmark::State& state) {
  const THeightMapFactory& factory = Factory();
  SetHeightMapFactory(&Factory());
  const Patch patch = LandPatch();
  std::vector<double> heights(18 * 18);
  uint8_t rgb[3];
  for (auto _ : state) {
    for (int j = -1; j <= 16; ++j) {
      for (int k = -1; k <= 16; ++k) {
        heights[static_cast<size_t>((j + 1) * 18 + k + 1)] =
            factory.HeightOnFace(patch.face, patch.u0 + k * patch.step, patch.v0 + j * patch.step);
      }
    }
    for (int j = 0; j < 16; ++j) {
      for (int k = 0; k < 16; ++k) {
        const Vector3f d =
            CubeFaceDirection(patch.face, patch.u0 + k * patch.step, patch.v0 + j * patch.step);
        SurfaceColor(d, d, static_cast<float>(heights[static_cast<size_t>((j + 1) * 18 + k + 1)]),
                     rgb);
        benchmark::DoNotOptimize(rgb);
      }
    }
  }
}
BENCHMARK(BM_PatchSamples)->Unit(benchmark::kMicrosecond);

void BM_SampleBicubic(benchmark::State& state) {
  const TPixelBuffer_d& map = *Factory().ErosionSampler;
  double u = 0.1234, v = 0.5678;
  for (auto _ : state) {
    u += 0.000173;
    v += 0.000091;
    benchmark::DoNotOptimize(map.SampleBicubic(u * 64.0, v * 32.0));
  }
}
BENCHMARK(BM_SampleBicubic);

} // namespace
} // namespace meridia
