// Archives on arbitrary bytes: the table is read, every entry it keeps is extracted, and the
// data manager serves the entries it can extract from the mounted archive. Entries kept must
// lie inside the file, and extraction gives exactly their size.
#include "FuzzSupport.h"

#include "storage/Archive.h"
#include "storage/DataManager.h"

#include <algorithm>

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = meridia::fuzz::WriteScratchFile(data, size);
  meridia::TzoArchive archive;
  if (!archive.Open(path)) {
    Require(archive.Entries.empty(), "a refused archive lists nothing");
    return 0;
  }
  // The magic and count, then per entry a method, a name of at least one byte and its length, a
  // size and an offset.
  Require(8 + archive.Entries.size() * 18 <= size, "every entry takes its table bytes");

  // Names that the data manager should then serve from the archive.
  std::vector<std::string> served;
  const size_t count = std::min<size_t>(archive.Entries.size(), 64);
  for (size_t i = 0; i < count; ++i) {
    const meridia::TzoArchiveEntry& entry = archive.Entries[i];
    Require(entry.Size >= 0 && entry.Offset >= 0 &&
                static_cast<uint64_t>(entry.Offset) + static_cast<uint64_t>(entry.Size) <= size,
            "a kept entry lies inside the file");
    const int32_t found = archive.IndexOf(entry.Name);
    Require(found >= 0 && static_cast<size_t>(found) <= i, "a kept name is found");
    auto stream = archive.Extract(static_cast<int32_t>(i));
    if (stream == nullptr) {
      continue;
    }
    // A compressed entry gives whatever its stream decodes to; the others their stored bytes
    // or nothing.
    const int64_t expected = entry.Method == meridia::kMethodStored ? entry.Size : 0;
    Require((entry.Method == meridia::kMethodCompressed || stream->GetSize() == expected) &&
                stream->GetPosition() == 0 && stream->Mode == meridia::kStreamRead,
            "extraction gives the entry's bytes, ready to read");
    if (static_cast<size_t>(found) == i && served.size() < 8) {
      served.push_back(entry.Name);
    }
  }

  meridia::CreateArchiveList();
  Require(meridia::MountArchive(path), "an archive that opens once mounts");
  for (const std::string& name : served) {
    const auto stream = meridia::LoadFileToMemoryStream(name);
    Require(stream != nullptr, "the data manager serves what the archive extracts");
  }
  meridia::UnmountAllArchives();
  return 0;
}
