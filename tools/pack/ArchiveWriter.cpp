#include "ArchiveWriter.h"

#include "storage/Archive.h"

namespace meridia::pack {
namespace {

template <typename T> void Append(std::vector<uint8_t>& out, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  }
}

} // namespace

std::vector<uint8_t> ArchiveBytes(const std::vector<ArchiveItem>& items) {
  int64_t offset = 8;
  for (const ArchiveItem& item : items) {
    offset += 1 + 4 + static_cast<int64_t>(item.Name.size()) + 4 + 8;
  }
  std::vector<uint8_t> out(kArchiveMagic.begin(), kArchiveMagic.end());
  Append<int32_t>(out, static_cast<int32_t>(items.size()));
  for (const ArchiveItem& item : items) {
    out.push_back(item.Method);
    Append<int32_t>(out, static_cast<int32_t>(item.Name.size()));
    out.insert(out.end(), item.Name.begin(), item.Name.end());
    Append<int32_t>(out, static_cast<int32_t>(item.Stored.size()));
    Append<int64_t>(out, offset);
    offset += static_cast<int64_t>(item.Stored.size());
  }
  for (const ArchiveItem& item : items) {
    for (size_t i = 0; i < item.Stored.size(); ++i) {
      out.push_back(static_cast<uint8_t>(item.Stored[i] + i));
    }
  }
  return out;
}

} // namespace meridia::pack
