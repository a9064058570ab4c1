#include "terrain/PixelBufferD.h"

#include "storage/File.h"
#include "storage/Log.h"

#include <cmath>

namespace meridia {
namespace {

constexpr int32_t kMaxSide = 1 << 14;

bool IsPowerOfTwoSide(int32_t side) {
  return side > 0 && side <= kMaxSide && (side & (side - 1)) == 0;
}

// One axis of the cubic convolution with a = -1, in Horner form.
inline double Cubic(double p0, double p1, double p2, double p3, double t) {
  return p1 + t * ((p2 - p0) + t * ((2.0 * p0 - 2.0 * p1 + p2 - p3) + t * (-p0 + p1 - p2 + p3)));
}

// Opens a map file and reads its header; false when it is missing or malformed.
bool OpenMap(TzoFile& file, std::string_view name, int32_t& width, int32_t& height,
             bool log_refusal) {
  if (!file.OpenRead(name, false)) {
    return false;
  }
  width = 0;
  height = 0;
  const int64_t size = file.GetSize();
  if (size >= 8) {
    file.TransferInt32(width);
    file.TransferInt32(height);
  }
  const bool valid = IsPowerOfTwoSide(width) && IsPowerOfTwoSide(height) &&
                     size == 8 + int64_t{4} * width * height;
  if (!valid) {
    if (log_refusal) {
      LogWrite("Map file refused (header does not match its size) : " + std::string(name));
    }
    file.Close();
  }
  return valid;
}

} // namespace

void TPixelBuffer_d::SetSize(int32_t width, int32_t height) {
  if (!IsPowerOfTwoSide(width) || !IsPowerOfTwoSide(height)) {
    width = 0;
    height = 0;
  }
  Width = width;
  Height = height;
  Count = width * height;
  LastIndex = Count - 1;
  Data.assign(static_cast<size_t>(Count), 0.0f);
}

bool TPixelBuffer_d::LoadFromFile(std::string_view name) {
  SetSize(0, 0);
  TzoFile file;
  int32_t width = 0;
  int32_t height = 0;
  if (!OpenMap(file, name, width, height, true)) {
    return false;
  }
  SetSize(width, height);
  file.TransferBuffer(Data.data(), Count * static_cast<int32_t>(sizeof(float)));
  file.Close();
  return true;
}

double TPixelBuffer_d::SampleBicubic(double u, double v) const {
  if (Count == 0) {
    return 0.0;
  }
  const double fx = (Width - 1) * u;
  const double fy = (Height - 1) * v;
  const double floor_x = std::floor(fx);
  const double floor_y = std::floor(fy);
  const double tx = fx - floor_x;
  const double ty = fy - floor_y;
  // Masking a two's-complement index wraps negative offsets too.
  const auto ix = static_cast<int64_t>(floor_x);
  const auto iy = static_cast<int64_t>(floor_y);
  const int64_t mask_x = Width - 1;
  const int64_t mask_y = Height - 1;
  const int64_t x0 = (ix - 1) & mask_x, x1 = ix & mask_x, x2 = (ix + 1) & mask_x,
                x3 = (ix + 2) & mask_x;
  double rows[4];
  for (int j = 0; j < 4; ++j) {
    const float* row = Data.data() + ((iy + j - 1) & mask_y) * Width;
    rows[j] = Cubic(row[x0], row[x1], row[x2], row[x3], tx);
  }
  return Cubic(rows[0], rows[1], rows[2], rows[3], ty);
}

bool IsValidMapFile(std::string_view name) {
  TzoFile file;
  int32_t width = 0;
  int32_t height = 0;
  if (!OpenMap(file, name, width, height, false)) {
    return false;
  }
  file.Close();
  return true;
}

} // namespace meridia
