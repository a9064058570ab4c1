#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace meridia::platform {
namespace {

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

bool EntryExists(const std::string& native) {
  struct stat info {};
  return lstat(native.c_str(), &info) == 0;
}

bool IsFolder(const std::string& native) {
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry of `folder` whose name equals `part` ignoring ASCII case; the first in byte order
// when several do, so that two runs over the same folder agree.
std::optional<std::string> FindIgnoringCase(const std::string& folder, std::string_view part,
                                            bool folders_only) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> matches;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view entry_name = entry->d_name;
    if (entry_name != "." && entry_name != ".." && EqualIgnoringAsciiCase(entry_name, part)) {
      matches.emplace_back(entry_name);
    }
  }
  closedir(dir);
  std::sort(matches.begin(), matches.end());
  for (const std::string& match : matches) {
    if (!folders_only || IsFolder(folder + match)) {
      return match;
    }
  }
  return std::nullopt;
}

std::vector<PathRoot>& Roots() {
  static std::vector<PathRoot> roots;
  return roots;
}

std::string WithForwardSlashes(std::string_view name) {
  std::string native(name);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

bool StartsWithComponents(std::string_view native, std::string_view prefix) {
  return native.size() >= prefix.size() &&
         EqualIgnoringAsciiCase(native.substr(0, prefix.size()), prefix) &&
         (native.size() == prefix.size() || native[prefix.size()] == '/');
}

// The names a relative name stands for under the root with the longest matching prefix, in the
// root's order; empty when no root matches. `whole_root` tells whether the name is the root's
// folder itself.
std::vector<std::string> RootedNames(const std::string& native, bool* whole_root = nullptr) {
  const PathRoot* best = nullptr;
  for (const PathRoot& root : Roots()) {
    if (StartsWithComponents(native, root.prefix) &&
        (best == nullptr || root.prefix.size() > best->prefix.size())) {
      best = &root;
    }
  }
  std::vector<std::string> names;
  if (best == nullptr) {
    return names;
  }
  const std::string_view rest = std::string_view(native).substr(best->prefix.size());
  for (const std::string& folder : best->folders) {
    names.push_back(folder + std::string(rest));
  }
  if (whole_root != nullptr) {
    *whole_root = rest.empty() || rest == "/";
  }
  return names;
}

// Every missing folder above the name, outermost first; failures show in the final mkdir.
void MakeParents(const std::string& native) {
  for (size_t slash = native.find('/', 1); slash != std::string::npos;
       slash = native.find('/', slash + 1)) {
    mkdir(native.substr(0, slash).c_str(), 0777);
  }
}

void FillLocalTime(time_t seconds, LocalDateTime& out) {
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) {
    return;
  }
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.day = local.tm_mday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec;
}

int OpenFlags(OpenMode mode) {
  switch (mode) {
  case OpenMode::kRead:
    return O_RDONLY;
  case OpenMode::kReadWrite:
    return O_RDWR;
  case OpenMode::kCreate:
    return O_WRONLY | O_CREAT | O_TRUNC;
  case OpenMode::kCreateReadWrite:
    return O_RDWR | O_CREAT | O_TRUNC;
  case OpenMode::kCreateNew:
    // O_EXCL also refuses a symbolic link, so a new file is never made through one.
    return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

// The name matched component by component (see ResolvePath), without roots.
std::string ResolveComponents(const std::string& native) {
  if (native.empty() || EntryExists(native)) {
    return native;
  }
  // `resolved` always ends with "/" (or is empty), ready for the next component.
  std::string resolved = native.front() == '/' ? "/" : "";
  size_t pos = resolved.size();
  while (true) {
    const size_t slash = native.find('/', pos);
    const bool last = slash == std::string::npos;
    const size_t end = last ? native.size() : slash;
    const std::string_view part = std::string_view(native).substr(pos, end - pos);
    if (part.empty() || part == "." || part == "..") {
      resolved.append(part);
    } else {
      const std::string exact = resolved + std::string(part);
      if (last ? EntryExists(exact) : IsFolder(exact)) {
        resolved.append(part);
      } else if (const auto match = FindIgnoringCase(resolved, part, !last)) {
        resolved.append(*match);
      } else {
        // Nothing matches here, so nothing below can exist: the rest stays as given.
        resolved.append(native, pos, std::string::npos);
        return resolved;
      }
    }
    if (last) {
      return resolved;
    }
    resolved.push_back('/');
    pos = end + 1;
  }
}

} // namespace

void SetPathRoots(std::vector<PathRoot> roots) {
  for (PathRoot& root : roots) {
    root.prefix = WithForwardSlashes(root.prefix);
  }
  Roots() = std::move(roots);
}

std::string NativePath(std::string_view name) {
  std::string native = WithForwardSlashes(name);
  const std::vector<std::string> names = RootedNames(native);
  for (const std::string& candidate : names) {
    if (EntryExists(candidate)) {
      return candidate;
    }
  }
  return names.empty() ? native : names.front();
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
    return {};
  }
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string GetCurrentDir() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() >= (size_t{1} << 20)) {
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool SetCurrentDir(std::string_view name) {
  return !name.empty() && chdir(ResolvePath(name).c_str()) == 0;
}

std::string ResolvePath(std::string_view name) {
  const std::string native = WithForwardSlashes(name);
  const std::vector<std::string> names = RootedNames(native);
  for (const std::string& candidate : names) {
    std::string resolved = ResolveComponents(candidate);
    if (EntryExists(resolved)) {
      return resolved;
    }
  }
  return ResolveComponents(names.empty() ? native : names.front());
}

EntryInfo QueryEntry(std::string_view name) {
  EntryInfo result;
  if (name.empty()) {
    return result;
  }
  struct stat info {};
  if (stat(ResolvePath(name).c_str(), &info) != 0) {
    return result;
  }
  result.kind = S_ISREG(info.st_mode)   ? EntryKind::kFile
                : S_ISDIR(info.st_mode) ? EntryKind::kDirectory
                                        : EntryKind::kOther;
  result.size = static_cast<int64_t>(info.st_size);
  FillLocalTime(info.st_mtim.tv_sec, result.last_write);
  return result;
}

bool MakeDirectory(std::string_view name) {
  if (name.empty()) {
    return false;
  }
  const std::string target = ResolvePath(name);
  if (mkdir(target.c_str(), 0777) == 0) {
    return true;
  }
  bool whole_root = false;
  if (errno != ENOENT || RootedNames(WithForwardSlashes(name), &whole_root).empty() ||
      !whole_root) {
    return false;
  }
  MakeParents(target);
  return mkdir(target.c_str(), 0777) == 0;
}

bool IsWritable(std::string_view name) {
  return !name.empty() && faccessat(AT_FDCWD, ResolvePath(name).c_str(), W_OK, AT_EACCESS) == 0;
}

bool RemoveFile(std::string_view name) {
  if (QueryEntry(name).kind != EntryKind::kFile) {
    return false;
  }
  return unlink(ResolvePath(name).c_str()) == 0;
}

FileHandle OpenFile(std::string_view name, OpenMode mode) {
  if (name.empty()) {
    return kNoFile;
  }
  // Non-blocking so that a pipe's name cannot hang the program before it is refused below.
  const int file = open(ResolvePath(name).c_str(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
  if (file < 0) {
    return kNoFile;
  }
  struct stat info {};
  if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(file);
    return kNoFile;
  }
  fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK);
  return file;
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) {
    close(file);
  }
}

int64_t ReadFile(FileHandle file, void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t got =
        read(file, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return done > 0 ? done : -1;
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

int64_t WriteFile(FileHandle file, const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t put =
        write(file, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return done > 0 ? done : -1;
    }
    done += put;
  }
  return done;
}

bool SeekFile(FileHandle file, int64_t position) {
  return position >= 0 && lseek(file, static_cast<off_t>(position), SEEK_SET) >= 0;
}

int64_t FilePosition(FileHandle file) {
  return static_cast<int64_t>(lseek(file, 0, SEEK_CUR));
}

int64_t FileSizeOf(FileHandle file) {
  struct stat info {};
  return fstat(file, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool TruncateFile(FileHandle file, int64_t size) {
  return size >= 0 && ftruncate(file, static_cast<off_t>(size)) == 0;
}

bool SyncFile(FileHandle file) {
  return fdatasync(file) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
  if (from.empty() || to.empty()) {
    return false;
  }
  return rename(ResolvePath(from).c_str(), ResolvePath(to).c_str()) == 0;
}

} // namespace meridia::platform
