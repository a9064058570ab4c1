// Plain-file copies of data extracted from archives, so that the next request for a name opens
// a file instead of extracting again. The index "cache/data.cache" maps each requested name to
// its copy; every entry listed in memory has had its copy written whole.
//
// Index layout (little-endian): count (int32), then count times: name and Path as int32 length +
// bytes, Reserved1 (int32, 0), Reserved2 (8 bytes, 0). The file holds nothing else.
#pragma once

#include "engine/Object.h"
#include "engine/StringList.h"
#include "storage/Stream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meridia {

inline constexpr std::string_view kCacheIndexPath = "cache/data.cache";
inline constexpr std::string_view kCacheFolder = "cache/archive/";

// Whether a copy's path lies inside the cache folder: the folder itself (either separator),
// then one or more plain names, none empty, "." or "..", none with a control character or ':'.
bool IsConfinedCachePath(std::string_view path, std::string_view folder);

class TCacheFile : public TObject {
public:
  std::string Path;
  int32_t Reserved1 = 0;
  int64_t Reserved2 = 0;
};

class TCacheManager : public TObject {
public:
  TCacheManager() = default;
  ~TCacheManager() override;

  // Writes the whole index in write mode. In read mode replaces the entries with those of the
  // stream; an index whose count or lengths do not fit the stream, or that leaves bytes over,
  // is rejected: the cache is left empty and false is returned.
  bool Serialize(TzoStream& file);
  // A missing index leaves the cache empty without a message; a damaged one is logged and
  // leaves it empty.
  void Load(std::string_view indexPath);
  // Silent when the index cannot be created (no "cache/" folder).
  void Save(std::string_view indexPath);
  // The copy of name (an exact, case-sensitive match). An entry whose copy has gone is dropped.
  std::optional<std::string> Lookup(std::string_view name);
  // Writes the stream's whole content to a new copy and lists it under name; returns the copy's
  // path (even when it could not be written), or name itself for an empty stream. A copy that
  // cannot be written whole is removed and not listed.
  std::string Add(std::string_view name, TzoStream& stream);
  void Clear();

  TzoStringList Entries;
  std::string Folder = std::string(kCacheFolder);
};

// The single manager: created and loaded from kCacheIndexPath by CacheInitialize, saved and
// freed by CacheFinalize. Outside that span lookups find nothing and stores keep nothing.
void CacheInitialize();
void CacheFinalize();
TCacheManager* CacheManager();

// The copy's path, or an empty text.
std::string CacheLookup(std::string_view name);
// Add, then save the index at once so that it lists every copy on disk.
std::string CacheStore(std::string_view name, TzoStream& stream);

} // namespace meridia
