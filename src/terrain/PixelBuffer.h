// CPU blocks of samples described by OpenGL-style layout values, never uploaded. After Allocate,
// Data holds Width * Height * Depth * ElementSize zeroed bytes plus 64 spare ones and DataRef
// points at its first byte; the buffers are neither copied nor moved, so DataRef stays valid.
#pragma once

#include "engine/Object.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace meridia {

// The OpenGL enumerations that describe a layout; the values are OpenGL's own.
inline constexpr uint32_t kGlByte = 0x1400;
inline constexpr uint32_t kGlUnsignedByte = 0x1401;
inline constexpr uint32_t kGlShort = 0x1402;
inline constexpr uint32_t kGlUnsignedShort = 0x1403;
inline constexpr uint32_t kGlInt = 0x1404;
inline constexpr uint32_t kGlUnsignedInt = 0x1405;
inline constexpr uint32_t kGlFloat = 0x1406;
inline constexpr uint32_t kGlDouble = 0x140A;
inline constexpr uint32_t kGlRgba = 0x1908;

// Bytes in one value of an OpenGL data type; 0 for a type it does not know.
int32_t TypeSize(uint32_t data_type);

class C3DBuffer : public TObject {
public:
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Depth = 0;
  uint32_t DataType = 0;
  int32_t Channels = 0;
  int32_t ElementSize = 0;
  std::vector<uint8_t> Data;
  uint8_t* DataRef = nullptr;

  // A negative count, or a block too large to address, is a caller's error: it aborts in debug
  // builds and otherwise leaves every count 0 with only the spare bytes.
  void Allocate(int32_t width, int32_t height, int32_t depth, uint32_t data_type, int32_t channels);

  // Data as floats; only meaningful for a kGlFloat buffer.
  const float* Floats() const { return reinterpret_cast<const float*>(DataRef); }
  float* Floats() { return reinterpret_cast<float*>(DataRef); }
};

// The four elements around a lookup point and their bilinear weights (unclamped, so they
// extrapolate outside the grid). Channel(c) is SampleBilinear's value c; a caller that needs
// only some channels interpolates only those.
struct CBilinearCell {
  const float* Base = nullptr;
  int32_t Next = 0; // values from one element to the next in a row
  int32_t Row = 0;  // values from one row to the next
  double W00 = 0.0, W10 = 0.0, W01 = 0.0, W11 = 0.0;

  float Channel(int32_t c) const {
    return static_cast<float>(W00 * Base[c] + W10 * Base[Next + c] + W01 * Base[Row + c] +
                              W11 * Base[Row + Next + c]);
  }
};

class CPixelBuffer : public C3DBuffer {
public:
  uint32_t Format = 0;

  void Allocate(int32_t width, int32_t height, int32_t depth, int32_t channels, uint32_t format,
                uint32_t data_type);

  // Bilinear lookup of layer 0 writing Channels floats. The cell is clamped to the grid but the
  // weights are not, so coordinates outside [0, 1] extrapolate linearly from the border cell.
  // A buffer that is not float or has fewer than 2 by 2 elements writes zeros.
  void SampleBilinear(float* values, float u, float v) const {
    if (!CanSampleBilinear()) {
      std::fill(values, values + std::max(Channels, 0), 0.0f);
      return;
    }
    const CBilinearCell cell = BilinearCell(u, v);
    for (int32_t c = 0; c < Channels; ++c) {
      values[c] = cell.Channel(c);
    }
  }

  // A float buffer of at least 2 by 2 elements in one layer or more.
  bool CanSampleBilinear() const {
    return DataType == kGlFloat && Width >= 2 && Height >= 2 && Depth >= 1;
  }

  // SampleBilinear's cell and weights; only for a buffer that CanSampleBilinear. Inline: the
  // sky's colour update makes tens of thousands of lookups per update.
  CBilinearCell BilinearCell(float u, float v) const {
    const float fx = static_cast<float>(Width - 1) * u;
    const float fy = static_cast<float>(Height - 1) * v;
    const int32_t ix = CellIndex(fx, Width - 2);
    const int32_t iy = CellIndex(fy, Height - 2);
    const double tx = static_cast<double>(fx - static_cast<float>(ix));
    const double ty = static_cast<double>(fy - static_cast<float>(iy));
    CBilinearCell cell;
    cell.Base = Floats() + (iy * Width + ix) * Channels;
    cell.Next = Channels;
    cell.Row = Width * Channels;
    cell.W00 = (1.0 - tx) * (1.0 - ty);
    cell.W10 = tx * (1.0 - ty);
    cell.W01 = (1.0 - tx) * ty;
    cell.W11 = tx * ty;
    return cell;
  }

private:
  // min(last, max(0, Trunc(f))), with a NaN or a huge f clamped before it becomes an integer.
  static int32_t CellIndex(float f, int32_t last) {
    if (!(f >= 1.0f)) {
      return 0;
    }
    if (f >= static_cast<float>(last)) {
      return last;
    }
    return static_cast<int32_t>(f);
  }
};

} // namespace meridia
