#include "terrain/HeightMapBuffer.h"

#include <algorithm>

namespace meridia {
namespace {

void Rescale(std::vector<float>& data, float min, float range) {
  const double offset = min;
  const double scale = range;
  for (float& v : data) {
    v = static_cast<float>((static_cast<double>(v) - offset) / scale);
  }
}

} // namespace

void THeightMapBuffer::SetSize(int32_t width, int32_t height) {
  Width = std::max(width, 0);
  Height = std::max(height, 0);
  const size_t count = static_cast<size_t>(Width) * static_cast<size_t>(Height);
  if (Data.size() != count) {
    Data.resize(count);
  }
}

void THeightMapBuffer::SetWidth(int32_t width) {
  SetSize(width, Height);
}

void THeightMapBuffer::SetHeight(int32_t height) {
  SetSize(Width, height);
}

void THeightMapBuffer::GetMinMax(float& min, float& max) const {
  min = 2147483648.0f;
  max = -2147483648.0f;
  for (const float v : Data) {
    min = v < min ? v : min;
    max = v > max ? v : max;
  }
}

void THeightMapBuffer::Normalize() {
  GetMinMax(MinValue, MaxValue);
  Range = static_cast<float>(static_cast<double>(MaxValue) - MinValue);
  if (!(Range > 0.0f)) {
    Range = 1.0f;
  }
  Rescale(Data, MinValue, Range);
}

void THeightMapBuffer::NormalizeWith(float range) {
  float min = 0.0f;
  float max = 0.0f;
  GetMinMax(min, max);
  Rescale(Data, min, range > 0.0f ? range : 1.0f);
}

} // namespace meridia
