// A grid of float samples with wrap-around bicubic lookup: the loaded terrain maps. Wrapping
// uses bit masks, so both sides are powers of two; an empty buffer samples as 0 everywhere.
#pragma once

#include "engine/Object.h"
#include "engine/PlanetSeed.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

class TPixelBuffer_d : public TObject {
public:
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<float> Data; // row-major: sample (x, y) at y * Width + x
  int32_t Count = 0;
  int32_t LastIndex = -1;

  // Sides must be powers of two; anything else leaves the buffer empty.
  void SetSize(int32_t width, int32_t height);
  // Reads a map file of the seed's world: its world tag unless the world is the default one,
  // width and height as 32-bit integers, then width * height floats. A file whose header does
  // not describe exactly its own size, whose sides are not powers of two, whose samples are not
  // all usable (see IsValidMapFile), or that another world made, is refused with a log line and
  // leaves the buffer empty.
  bool LoadFromFile(std::string_view name, int32_t seed = kPlanetSeed);
  // Cubic convolution (kernel parameter -1) over the 4 by 4 neighbourhood; indices wrap.
  // Inline: a terrain height takes nine of these, and they overlap when the compiler sees them.
  inline double SampleBicubic(double u, double v) const;

  // Asks the cache for the 4 by 4 neighbourhood SampleBicubic(u, v) will read. Fine samples of
  // neighbouring directions lie far apart on the map and miss every cache; fetching them while
  // other work runs hides the wait.
  inline void PrefetchBicubic(double u, double v) const;

  bool IsEmpty() const { return Count == 0; }
};

namespace detail {

// floor() without a library call: this runs nine times for every terrain height.
inline int64_t FloorToInt(double x) {
  const auto truncated = static_cast<int64_t>(x);
  return truncated - (static_cast<double>(truncated) > x ? 1 : 0);
}

// One axis of the cubic convolution with a = -1, in Horner form. Also run on two-lane vectors:
// each lane does the scalar operations in the scalar order, so it gives the same bits.
template <typename T> inline T Cubic(T p0, T p1, T p2, T p3, T t) {
  return p1 + t * ((p2 - p0) + t * ((2.0 * p0 - 2.0 * p1 + p2 - p3) + t * (-p0 + p1 - p2 + p3)));
}

typedef double Lanes __attribute__((vector_size(16)));
typedef float Floats2 __attribute__((vector_size(8)));
typedef float Floats4 __attribute__((vector_size(16)));

// Four neighbouring samples of two rows, turned into one pair of lanes per column.
struct ColumnLanes {
  Lanes c0, c1, c2, c3;
};

inline ColumnLanes InterleaveRows(const float* a, const float* b) {
  Floats4 ra, rb;
  std::memcpy(&ra, a, sizeof ra);
  std::memcpy(&rb, b, sizeof rb);
  const Floats4 low = __builtin_shufflevector(ra, rb, 0, 4, 1, 5);
  const Floats4 high = __builtin_shufflevector(ra, rb, 2, 6, 3, 7);
  return {__builtin_convertvector(__builtin_shufflevector(low, low, 0, 1), Lanes),
          __builtin_convertvector(__builtin_shufflevector(low, low, 2, 3), Lanes),
          __builtin_convertvector(__builtin_shufflevector(high, high, 0, 1), Lanes),
          __builtin_convertvector(__builtin_shufflevector(high, high, 2, 3), Lanes)};
}

} // namespace detail

inline double TPixelBuffer_d::SampleBicubic(double u, double v) const {
  if (Count == 0) {
    return 0.0;
  }
  const double fx = (Width - 1) * u;
  const double fy = (Height - 1) * v;
  // Outside the range a 64-bit integer holds there is no meaningful sample; 0 keeps the
  // conversion below defined.
  if (!(std::fabs(fx) < 4.0e18 && std::fabs(fy) < 4.0e18)) {
    return 0.0;
  }
  const int64_t ix = detail::FloorToInt(fx);
  const int64_t iy = detail::FloorToInt(fy);
  const double tx = fx - static_cast<double>(ix);
  const double ty = fy - static_cast<double>(iy);
  // Masking a two's-complement index wraps negative offsets too.
  const int64_t mask_x = Width - 1;
  const int64_t mask_y = Height - 1;
  const int64_t x0 = (ix - 1) & mask_x;
  const float* row[4];
  for (int j = 0; j < 4; ++j) {
    row[j] = Data.data() + ((iy + j - 1) & mask_y) * Width;
  }
  // Rows 0 and 1 in one pair of lanes, rows 2 and 3 in the other: half the arithmetic.
  detail::ColumnLanes upper, lower;
  if (x0 <= mask_x - 3) [[likely]] {
    upper = detail::InterleaveRows(row[0] + x0, row[1] + x0);
    lower = detail::InterleaveRows(row[2] + x0, row[3] + x0);
  } else {
    // The four columns wrap around the right edge.
    const int64_t x[4] = {x0, ix & mask_x, (ix + 1) & mask_x, (ix + 2) & mask_x};
    const auto column = [&](int a, int b, int i) {
      return detail::Lanes{row[a][x[i]], row[b][x[i]]};
    };
    upper = {column(0, 1, 0), column(0, 1, 1), column(0, 1, 2), column(0, 1, 3)};
    lower = {column(2, 3, 0), column(2, 3, 1), column(2, 3, 2), column(2, 3, 3)};
  }
  const detail::Lanes t = {tx, tx};
  const detail::Lanes r01 = detail::Cubic(upper.c0, upper.c1, upper.c2, upper.c3, t);
  const detail::Lanes r23 = detail::Cubic(lower.c0, lower.c1, lower.c2, lower.c3, t);
  return detail::Cubic(r01[0], r01[1], r23[0], r23[1], ty);
}

inline void TPixelBuffer_d::PrefetchBicubic(double u, double v) const {
  const double fx = (Width - 1) * u;
  const double fy = (Height - 1) * v;
  if (Count == 0 || !(std::fabs(fx) < 4.0e18 && std::fabs(fy) < 4.0e18)) {
    return;
  }
  const int64_t ix = detail::FloorToInt(fx);
  const int64_t iy = detail::FloorToInt(fy);
  const int64_t mask_x = Width - 1;
  const int64_t mask_y = Height - 1;
  for (int j = 0; j < 4; ++j) {
    const float* row = Data.data() + ((iy + j - 1) & mask_y) * Width;
    // The first and last column: the four may straddle two cache lines.
    __builtin_prefetch(row + ((ix - 1) & mask_x));
    __builtin_prefetch(row + ((ix + 2) & mask_x));
  }
}

// What a map file says of itself: the seed that made it (the default world's for a file without
// a world tag) and its sides. Refusal says why no world would load it; empty when the world of
// Seed would.
struct TMapFileFacts {
  bool Tagged = false;
  int32_t Seed = kPlanetSeed;
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Refusal;
};
TMapFileFacts InspectMapFile(std::string_view name);

// Whether the file holds a well-formed map of the seed's world: header sides powers of two
// matching the file size, and every sample a finite number within the range the generator could
// have made.
bool IsValidMapFile(std::string_view name, int32_t seed = kPlanetSeed);
bool AreUsableSamples(const std::vector<float>& samples);

} // namespace meridia
