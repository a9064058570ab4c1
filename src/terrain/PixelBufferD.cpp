#include "terrain/PixelBufferD.h"

#include "storage/File.h"
#include "storage/Log.h"
#include "terrain/TerrainMaps.h"

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

constexpr const char* kMalformed = "header does not match its size";

// Opens a map file and reads its world tag, when it has one, and its header. False, with the
// reason in facts, when it is missing or its header does not describe exactly the file.
bool OpenMap(TzoFile& file, std::string_view name, TMapFileFacts& facts) {
  if (!file.OpenRead(name, false)) {
    facts.Refusal = "cannot be opened";
    return false;
  }
  const int64_t size = file.GetSize();
  int64_t header = 8;
  if (size >= kWorldTagBytes) {
    char magic[4] = {};
    file.TransferBuffer(magic, 4);
    if (std::memcmp(magic, kWorldTagMagic, 4) == 0) {
      facts.Tagged = true;
      file.TransferInt32(facts.Seed);
      header += kWorldTagBytes;
    } else {
      file.SetPosition(0);
    }
  }
  if (size >= header) {
    file.TransferInt32(facts.Width);
    file.TransferInt32(facts.Height);
  }
  if (!IsPowerOfTwoSide(facts.Width) || !IsPowerOfTwoSide(facts.Height) ||
      size != header + int64_t{4} * facts.Width * facts.Height) {
    facts.Refusal = kMalformed;
    file.Close();
    return false;
  }
  return true;
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

bool TPixelBuffer_d::LoadFromFile(std::string_view name, int32_t seed) {
  SetSize(0, 0);
  TzoFile file;
  TMapFileFacts facts;
  if (!OpenMap(file, name, facts)) {
    if (facts.Refusal == kMalformed) {
      LogWrite("Map file refused (header does not match its size) : " + std::string(name));
    }
    return false;
  }
  if (facts.Seed != seed) {
    LogWrite("Map file refused (made by seed " + std::to_string(facts.Seed) + ", not " +
             std::to_string(seed) + ") : " + std::string(name));
    file.Close();
    return false;
  }
  SetSize(facts.Width, facts.Height);
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

TMapFileFacts InspectMapFile(std::string_view name) {
  TMapFileFacts facts;
  TzoFile file;
  if (!OpenMap(file, name, facts)) {
    return facts;
  }
  TPixelBuffer_d probe;
  probe.SetSize(facts.Width, facts.Height);
  file.TransferBuffer(probe.Data.data(), probe.Count * static_cast<int32_t>(sizeof(float)));
  file.Close();
  if (!AreUsableSamples(probe.Data)) {
    facts.Refusal = "samples out of range";
  }
  return facts;
}

bool IsValidMapFile(std::string_view name, int32_t seed) {
  const TMapFileFacts facts = InspectMapFile(name);
  return facts.Refusal.empty() && facts.Seed == seed;
}

} // namespace meridia
