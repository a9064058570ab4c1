// TTerrainGenerator: builds the two global terrain maps from the shared random generator's
// current state: a fractal height field eroded by smoothing and downhill flow (ErosionMap), and
// what erosion removed (BaseMap), both on one vertical scale. Width and Height must be one
// power of two, the size of the diamond-square grid.
#pragma once

#include "terrain/HeightMapBuffer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace meridia {

class TTerrainGenerator {
public:
  // Largest supported diamond-square depth: a 32768 x 32768 map.
  static constexpr int32_t kMaxLevels = 15;

  // Displacement amplitudes of one diamond-square block size: A for the square centres, A2 for
  // every other pass.
  struct Amplitudes {
    int32_t A = 0;
    int32_t A2 = 0;
  };
  static Amplitudes DiamondSquareAmplitudes(float roughness, int32_t block_size);

  // log2(size) when size is a power of two within kMaxLevels, otherwise -1.
  static int32_t LevelsForSize(int32_t size);

  // Runs the whole pipeline and leaves the results in ErosionMap and BaseMap; the working
  // arrays are released. Returns false, drawing nothing, unless Width == Height == 2^levels.
  bool Generate();

  // Fills Cells[GridPlane] (resized to N x N, N = 2^levels, row-major) with a wrapping integer
  // diamond-square fractal; one Random call per visited cell, also where the amplitude is 0.
  void DiamondSquare(int32_t levels);
  // One smoothing pass over Heights (Width x Height, row-major); never wraps.
  void ErodeThermal();
  // Lets a particle from every sample run downhill until it stops, blending each cell it
  // leaves with the one it enters; wraps across the edges, so Width and Height must be powers
  // of two.
  void ErodeFlow(float keep);

  // Time taken by each step of the last Generate, in the order they ran.
  struct StageTiming {
    const char* Name = "";
    double Seconds = 0.0;
    double CpuSeconds = 0.0;
  };

  int32_t Width = 0;
  int32_t Height = 0;
  int32_t GridSize = 0;
  // Displacement scale per diamond-square level, index 0 = the finest level.
  std::array<float, 32> Roughness{};
  THeightMapBuffer ErosionMap;
  THeightMapBuffer BaseMap;
  // The two diamond-square targets; GridPlane selects the one DiamondSquare writes.
  std::array<std::vector<int32_t>, 2> Cells;
  int32_t GridPlane = 0;
  // Working height field and its copy before erosion, row-major like the maps.
  std::vector<float> Heights;
  std::vector<float> Uneroded;
  std::vector<StageTiming> Timings;
};

} // namespace meridia
