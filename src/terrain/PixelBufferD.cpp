#include "terrain/PixelBufferD.h"

#include "storage/File.h"
#include "storage/Log.h"

#include <cmath>

namespace meridia {
namespace {

constexpr int32_t kMaxSide = 1 << 14;
// The generator normalises its maps to [0, 1]; a sample far beyond that, or not a number, is
// damage, and would turn into heights no vertex or colour lookup can use.
constexpr float kMaxSampleMagnitude = 1000.0f;

bool IsPowerOfTwoSide(int32_t side) {
  return side > 0 && side <= kMaxSide && (side & (side - 1)) == 0;
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
  if (!AreUsableSamples(Data)) {
    LogWrite("Map file refused (samples out of range) : " + std::string(name));
    SetSize(0, 0);
    return false;
  }
  return true;
}

bool AreUsableSamples(const std::vector<float>& samples) {
  for (float sample : samples) {
    // Written so that a NaN fails the comparison and is refused with the rest.
    if (!(std::fabs(sample) <= kMaxSampleMagnitude)) {
      return false;
    }
  }
  return true;
}

bool IsValidMapFile(std::string_view name) {
  TPixelBuffer_d probe;
  TzoFile file;
  int32_t width = 0;
  int32_t height = 0;
  if (!OpenMap(file, name, width, height, false)) {
    return false;
  }
  probe.SetSize(width, height);
  file.TransferBuffer(probe.Data.data(), probe.Count * static_cast<int32_t>(sizeof(float)));
  file.Close();
  return AreUsableSamples(probe.Data);
}

} // namespace meridia
