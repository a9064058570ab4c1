// A grid of float samples with wrap-around bicubic lookup: the loaded terrain maps. Wrapping
// uses bit masks, so both sides are powers of two; an empty buffer samples as 0 everywhere.
#pragma once

#include "engine/Object.h"

#include <cmath>
#include <cstdint>
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
  // Reads a map file: width and height as 32-bit integers, then width * height floats. A file
  // whose header does not describe exactly its own size, or whose sides are not powers of two,
  // is refused with a log line and leaves the buffer empty.
  bool LoadFromFile(std::string_view name);
  // Cubic convolution (kernel parameter -1) over the 4 by 4 neighbourhood; indices wrap.
  // Inline: a terrain height takes nine of these, and they overlap when the compiler sees them.
  inline double SampleBicubic(double u, double v) const;

  bool IsEmpty() const { return Count == 0; }
};

namespace detail {

// floor() without a library call: this runs nine times for every terrain height.
inline int64_t FloorToInt(double x) {
  const auto truncated = static_cast<int64_t>(x);
  return truncated - (static_cast<double>(truncated) > x ? 1 : 0);
}

// One axis of the cubic convolution with a = -1, in Horner form.
inline double Cubic(double p0, double p1, double p2, double p3, double t) {
  return p1 + t * ((p2 - p0) + t * ((2.0 * p0 - 2.0 * p1 + p2 - p3) + t * (-p0 + p1 - p2 + p3)));
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
  const int64_t x0 = (ix - 1) & mask_x, x1 = ix & mask_x, x2 = (ix + 1) & mask_x,
                x3 = (ix + 2) & mask_x;
  double rows[4];
  for (int j = 0; j < 4; ++j) {
    const float* row = Data.data() + ((iy + j - 1) & mask_y) * Width;
    rows[j] = detail::Cubic(row[x0], row[x1], row[x2], row[x3], tx);
  }
  return detail::Cubic(rows[0], rows[1], rows[2], rows[3], ty);
}

// Whether the file holds a well-formed map (header sides powers of two matching the file size).
bool IsValidMapFile(std::string_view name);

} // namespace meridia
