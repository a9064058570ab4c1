#include "storage/FilePaths.h"

#include "engine/Random.h"
#include "platform/FileSystem.h"
#include "storage/DataManager.h"
#include "storage/Log.h"

#include <algorithm>

namespace meridia {
namespace {

bool IsDelimiterChar(char c) {
  return c == '\\' || c == '/';
}

// The index just past the last "\" or ":" of a name already in backslash form.
size_t FileNameStart(std::string_view path) {
  const size_t last = path.find_last_of("\\:");
  return last == std::string_view::npos ? 0 : last + 1;
}

int32_t PackDosDateTime(const platform::LocalDateTime& t) {
  // The DOS fields hold 1980-01-01 00:00:00 to 2107-12-31 23:59:58.
  if (t.year < 1980) {
    return (1 << 5 | 1) << 16;
  }
  if (t.year > 2107) {
    return static_cast<int32_t>((127u << 25 | 12u << 21 | 31u << 16) |
                                (23u << 11 | 59u << 5 | 29u));
  }
  const auto date = static_cast<uint32_t>((t.year - 1980) << 9 | t.month << 5 | t.day);
  const auto time = static_cast<uint32_t>(t.hour << 11 | t.minute << 5 | t.second / 2);
  return static_cast<int32_t>(date << 16 | time);
}

} // namespace

std::string ToBackslashes(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

std::string ToForwardSlashes(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

bool IsPathDelimiter(std::string_view text, int32_t index) {
  return index >= 1 && static_cast<size_t>(index) <= text.size() &&
         IsDelimiterChar(text[static_cast<size_t>(index) - 1]);
}

std::string IncludeTrailingDelimiter(std::string_view path) {
  std::string result(path);
  if (result.empty() || !IsDelimiterChar(result.back())) {
    result.push_back('\\');
  }
  return result;
}

std::string ExcludeTrailingDelimiter(std::string_view path) {
  if (!path.empty() && IsDelimiterChar(path.back())) {
    path.remove_suffix(1);
  }
  return std::string(path);
}

int32_t LastDelimiter(std::string_view delimiters, std::string_view text) {
  const size_t last = text.find_last_of(delimiters);
  return last == std::string_view::npos ? 0 : static_cast<int32_t>(last + 1);
}

std::string ExtractFilePath(std::string_view path) {
  const std::string name = ToBackslashes(path);
  return name.substr(0, FileNameStart(name));
}

std::string ExtractFileName(std::string_view path) {
  const std::string name = ToBackslashes(path);
  return name.substr(FileNameStart(name));
}

std::string ExtractFileExtNoDot(std::string_view path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t last = path.find_last_of(".\\:");
  std::string result(
      path.substr(0, last != std::string_view::npos && path[last] == '.' ? last : path.size()));
  result.append(ext);
  return result;
}

bool DirectoryExists(std::string_view path) {
  return platform::QueryEntry(path).kind == platform::EntryKind::kDirectory;
}

int32_t FileAge(std::string_view path) {
  const platform::EntryInfo info = platform::QueryEntry(path);
  return info.kind == platform::EntryKind::kFile ? PackDosDateTime(info.last_write) : -1;
}

bool ForceDirectories(std::string_view path) {
  if (path.empty()) {
    LogWrite("Unable to create directory");
    return true;
  }
  const std::string folder = ExcludeTrailingDelimiter(path);
  if (folder.size() < 3 || DirectoryExists(folder) || ExtractFilePath(folder) == folder) {
    return true;
  }
  return ForceDirectories(ExtractFilePath(folder)) && platform::MakeDirectory(folder);
}

std::string MakeUniqueFileName(std::string_view folder, std::string_view ext) {
  static constexpr std::string_view kLetters = "qazwsxedcrfvtgbyhnujmikolp";
  std::string result;
  do {
    result.assign(folder);
    for (int i = 0; i < 21; ++i) {
      result.push_back(
          kLetters[static_cast<size_t>(Random(static_cast<int32_t>(kLetters.size())))]);
    }
    result.push_back('.');
    result.append(ext);
  } while (FileExists(result));
  return result;
}

} // namespace meridia
