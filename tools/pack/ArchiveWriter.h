// Writes archives in the layout TzoArchive reads: magic, entry count, the table of entries
// (method, name, stored size, offset), then each entry's stored bytes, byte i raised by i.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace meridia::pack {

struct ArchiveItem {
  uint8_t Method = 0;
  std::string Name;
  // What the entry holds before the index shift: the compressed stream for method 0.
  std::vector<uint8_t> Stored;
};

std::vector<uint8_t> ArchiveBytes(const std::vector<ArchiveItem>& items);

} // namespace meridia::pack
