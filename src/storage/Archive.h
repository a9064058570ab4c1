// Archives the data manager reads files from, and the process-wide list of mounted ones. An
// entry is kept only when its stored bytes lie wholly inside the archive file, so extraction
// never reads outside it. The program itself mounts none; the mechanism serves tests and tools.
//
// File layout (little-endian):
//   magic "MZA1" (4 bytes), count (int32), then count entries of
//   method (1 byte: 0 compressed, 1 stored, 2 link), name (int32 length + bytes),
//   size (int32, stored bytes), offset (int64, position of the stored bytes in the file).
// Stored byte i holds (data byte i + i) mod 256.
#pragma once

#include "engine/List.h"
#include "engine/Object.h"
#include "storage/File.h"
#include "storage/MemoryStream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

inline constexpr std::array<char, 4> kArchiveMagic = {'M', 'Z', 'A', '1'};

enum : uint8_t { kMethodCompressed = 0, kMethodStored = 1, kMethodLink = 2 };

// The method names by method number.
inline constexpr std::array<std::string_view, 3> kArchiveMethodNames = {"", "none", "link"};

struct TzoArchiveEntry {
  uint8_t Method = kMethodStored;
  std::string Name;
  int32_t Size = 0;
  int64_t Offset = 0;
};

class TzoArchive : public TObject {
public:
  TzoArchive() = default;

  // Opens the archive file and reads its table. A missing file or a wrong magic fails; damaged
  // entries (past the end of the file, negative or absurd sizes, unknown methods, a table cut
  // short) are each logged and left out, and the rest is mounted.
  bool Open(std::string_view fileName);
  // The first entry whose name matches after lower-casing both sides and turning "\" into "/";
  // -1 if none.
  int32_t IndexOf(std::string_view name) const;
  bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }
  // The entry's data in a stream at mode read and position 0, or null (logged) when it cannot be
  // extracted: method 0 is decoded by the block-sorting decoder, and a damaged stream is
  // refused. A link or an unknown method gives an empty stream.
  std::unique_ptr<TzoMemoryStream> Extract(int32_t index);

  TzoFile File;
  std::vector<TzoArchiveEntry> Entries;
  // The line the last failed Extract logged, for tools that report to a terminal; empty after a
  // success.
  std::string LastError;
};

// The form under which archive names are compared: Windows-1252 lower case, "/" separators.
std::string ArchiveKey(std::string_view name);

// The list exists between CreateArchiveList and FreeArchiveList (module start and end); until
// then nothing can be mounted and no archive is searched.
void CreateArchiveList();
void FreeArchiveList();
// Null outside the list's lifetime. Items are TzoArchive objects owned by the list.
TzoList* ArchiveList();

// Opens the archive and appends it to the list; false (and nothing added) when it cannot be read
// or the list does not exist.
bool MountArchive(std::string_view path);
void UnmountAllArchives();

} // namespace meridia
