// The operating-system edge for files and folders. The program composes names the Windows way
// ("\" and "/" mixed, letter case as the author typed it); every call here converts "\" to "/"
// and, where the exact name is missing, matches it one component at a time ignoring ASCII case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meridia::platform {

// A folder that stands in for the first components of the program's relative names, so that
// "base/...", "cache/..." or "screens/..." reach wherever the data and the writes were placed.
// The prefix ("base", "base/maps") is matched component by component ignoring ASCII case, with
// "\" or "/"; the longest matching prefix wins. Of several folders, the first that holds the rest
// of the name is taken, else the first: that overlays the user's maps on the installed ones.
struct PathRoot {
  std::string prefix;
  std::vector<std::string> folders;
};

// Replaces the roots; an empty list leaves every name as it is (relative to the current folder).
void SetPathRoots(std::vector<PathRoot> roots);

// The name as the operating system takes it: every "\" becomes "/", and a name under a root is
// placed in the root's folder. No case matching.
std::string NativePath(std::string_view name);

// The full path of the running program file, or an empty text when it cannot be told.
std::string ExecutablePath();

// The process's current folder as an absolute native name; empty when the system cannot tell.
std::string GetCurrentDir();
// Makes the folder (matched like ResolvePath) the current one. False, with the current folder
// unchanged, when it is missing, not a folder, or refused.
bool SetCurrentDir(std::string_view name);

// The native name of an existing entry, matched component by component ignoring ASCII letter
// case when the exact name does not exist (an exact match always wins; among several
// case-insensitive matches the first in byte order is taken, so the answer is reproducible).
// Folders on the way match folders only. When a component matches nothing, it and the rest are
// kept as given: for a new file or folder in an existing folder this is where to create it.
std::string ResolvePath(std::string_view name);

enum class EntryKind { kMissing, kFile, kDirectory, kOther };

// Local calendar time, as the file's last write is shown to the user.
struct LocalDateTime {
  int year = 0;
  int month = 0; // 1..12
  int day = 0;   // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0; // 0..60
};

struct EntryInfo {
  EntryKind kind = EntryKind::kMissing;
  int64_t size = 0;
  LocalDateTime last_write;
};

// What the resolved name is. Devices, pipes and sockets are kOther: neither file nor folder.
EntryInfo QueryEntry(std::string_view name);

// Creates one folder; its parent must exist, except for a root's own folder, which is made with
// its missing parents (the program cannot name them). False when it exists already or is
// refused.
bool MakeDirectory(std::string_view name);

// Whether this process may write into the folder (or file), by its effective identity.
bool IsWritable(std::string_view name);

// Removes a plain file. False when it is missing, a folder, or refused.
bool RemoveFile(std::string_view name);

// A file open for block transfers. kNoFile when absent.
using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;

enum class OpenMode {
  kRead,            // existing file, reading only
  kReadWrite,       // existing file, reading and writing
  kCreate,          // created or emptied, writing only
  kCreateReadWrite, // created or emptied, reading and writing
  kCreateNew,       // created, writing only; refused when the name exists in any form
};

// Opens a plain file; folders, devices and pipes are refused (kNoFile), without blocking.
FileHandle OpenFile(std::string_view name, OpenMode mode);
void CloseFile(FileHandle file);
// Bytes moved, fewer than count at the end of the file, or -1 when the system refuses.
int64_t ReadFile(FileHandle file, void* buffer, int64_t count);
int64_t WriteFile(FileHandle file, const void* buffer, int64_t count);
// False for a negative position or a refused seek; a position past the end is allowed.
bool SeekFile(FileHandle file, int64_t position);
// -1 when the system refuses.
int64_t FilePosition(FileHandle file);
int64_t FileSizeOf(FileHandle file);
// Cuts or extends (with zeros) the file to size bytes; the position does not move.
bool TruncateFile(FileHandle file, int64_t size);
// Waits until the file's bytes are on the disk; false when the system reports a failure, which
// for some file systems is the first word of a write that could not be made.
bool SyncFile(FileHandle file);

// Puts the file `from` in the place of `to` in one step, replacing a file already there; both
// must lie on one file system (in one folder, for the program's use). False when refused.
bool RenameFile(std::string_view from, std::string_view to);

} // namespace meridia::platform
