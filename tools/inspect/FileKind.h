// The kinds of file meridia-inspect knows. Each recognises its files by their content, lists
// what they hold, and, where that means something, extracts it; a new kind adds one entry to
// FileKinds().
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace meridia::inspect {

struct FileKind {
  const char* Name;
  // Whether the file's first bytes are this kind's.
  bool (*Recognises)(const std::string& path);
  // Exit status: 0, or 1 when the file could not be read whole.
  int (*List)(const std::string& path, std::ostream& out, std::ostream& err);
  // Null for kinds with nothing to extract.
  int (*Extract)(const std::string& path, const std::string& folder, std::ostream& out,
                 std::ostream& err);
};

std::span<const FileKind> FileKinds();

// The archive kind: the data manager's archives.
bool IsArchive(const std::string& path);
int ListArchive(const std::string& path, std::ostream& out, std::ostream& err);
int ExtractArchive(const std::string& path, const std::string& folder, std::ostream& out,
                   std::ostream& err);

} // namespace meridia::inspect
