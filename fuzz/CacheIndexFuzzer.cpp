// Cache indexes on arbitrary bytes: an index is accepted only when it is exactly what the
// cache itself would write for the entries it now lists, all of them inside the cache folder,
// and lookups then hand out only files. The target runs in a scratch folder holding
// cache/archive/00000001.dat, the copy the seeds name.
#include "FuzzSupport.h"

#include "platform/FileSystem.h"
#include "storage/DataCache.h"
#include "storage/MemoryStream.h"

#include <algorithm>
#include <fstream>

using meridia::fuzz::Require;

namespace {

void MakeCacheFolder() {
  meridia::platform::MakeDirectory("cache");
  meridia::platform::MakeDirectory("cache/archive");
  std::ofstream("cache/archive/00000001.dat", std::ios::binary) << "cached";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool folder_made = (MakeCacheFolder(), true);
  (void)folder_made;

  meridia::TzoMemoryStream index;
  index.Buffer.assign(data, data + size);
  meridia::TCacheManager cache;
  if (!cache.Serialize(index)) {
    Require(cache.Entries.Count == 0, "a rejected index leaves the cache empty");
    return 0;
  }

  meridia::TzoMemoryStream written;
  written.SetMode(meridia::kStreamWrite);
  Require(cache.Serialize(written), "the cache writes its index");
  Require(written.Buffer == index.Buffer, "an accepted index is written back unchanged");

  std::vector<std::string> names;
  for (int32_t i = 0; i < cache.Entries.Count; ++i) {
    const auto* copy =
        static_cast<const meridia::TCacheFile*>(cache.Entries.Items[static_cast<size_t>(i)].Object);
    Require(copy != nullptr && meridia::IsConfinedCachePath(copy->Path, cache.Folder),
            "every copy an accepted index lists lies inside the cache folder");
    if (names.size() < 16) {
      names.push_back(cache.Entries.Items[static_cast<size_t>(i)].Text);
    }
  }
  for (const std::string& name : names) {
    if (const auto copy = cache.Lookup(name)) {
      Require(meridia::platform::QueryEntry(*copy).kind == meridia::platform::EntryKind::kFile,
              "a copy handed out is a file");
    }
  }
  return 0;
}
