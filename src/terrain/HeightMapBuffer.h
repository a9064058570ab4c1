// THeightMapBuffer: a Width x Height grid of 32-bit float samples, row-major (sample (x, y) at
// y * Width + x), with the range found by its last Normalize. Data always holds exactly
// Width * Height samples.
#pragma once

#include <cstdint>
#include <vector>

namespace meridia {

class THeightMapBuffer {
public:
  // Keeps the samples when the count does not change; new samples are 0. Negative sizes are
  // read as 0.
  void SetSize(int32_t width, int32_t height);
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);

  // Smallest and largest sample; 2^31 and -2^31 for an empty buffer.
  void GetMinMax(float& min, float& max) const;
  // Maps the samples onto [0, 1]; a constant buffer becomes all 0 with Range 1.
  void Normalize();
  // Shifts the samples so that the smallest is 0 and divides them by `range` (another buffer's
  // Range, to share its vertical scale); a range that is not positive is read as 1. MinValue,
  // MaxValue and Range are left as they were.
  void NormalizeWith(float range);

  int32_t Width = 0;
  int32_t Height = 0;
  float MaxValue = 0.0f;
  float MinValue = 0.0f;
  float Range = 0.0f;
  std::vector<float> Data;
};

} // namespace meridia
