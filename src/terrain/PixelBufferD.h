// A grid of float samples with wrap-around bicubic lookup: the loaded terrain maps. Wrapping
// uses bit masks, so both sides are powers of two; an empty buffer samples as 0 everywhere.
#pragma once

#include "engine/Object.h"

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
  double SampleBicubic(double u, double v) const;

  bool IsEmpty() const { return Count == 0; }
};

// Whether the file holds a well-formed map (header sides powers of two matching the file size).
bool IsValidMapFile(std::string_view name);

} // namespace meridia
