#include "storage/WholeFile.h"

#include "platform/FileSystem.h"
#include "storage/File.h"

#include <unistd.h>

#include <string>

namespace meridia {
namespace {

// A name beside the target that no other writer (another process, or an earlier save of this
// one) uses: the target's name, the process and a counter. A taken name is skipped, never
// reused, so a stranger's file is never emptied.
bool CreateBeside(std::string_view name, TzoFile& file, std::string& temporary_name) {
  static unsigned counter = 0;
  const std::string stem = std::string(name) + ".tmp" + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_name = stem + std::to_string(++counter);
    if (file.CreateNew(temporary_name)) {
      return true;
    }
    if (platform::QueryEntry(temporary_name).kind == platform::EntryKind::kMissing) {
      return false; // not taken, so the folder refuses: no attempt will do better
    }
  }
  return false;
}

} // namespace

bool WriteWholeFile(std::string_view name, const std::function<void(TzoFile& file)>& write) {
  if (name.empty()) {
    return false;
  }
  TzoFile file;
  std::string temporary_name;
  if (!CreateBeside(name, file, temporary_name)) {
    return false;
  }
  write(file);
  const bool whole = !file.Failed() && file.Sync();
  file.Close();
  if (!whole || !platform::RenameFile(temporary_name, name)) {
    platform::RemoveFile(temporary_name);
    return false;
  }
  return true;
}

} // namespace meridia
