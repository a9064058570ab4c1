#include "FileKind.h"

#include "storage/Log.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace meridia::inspect {

LogCapture::LogCapture() {
  std::error_code error;
  std::string pattern =
      (std::filesystem::temp_directory_path(error) / "meridia-inspect-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    return; // the loaders' lines go nowhere, as they do for a viewer without its log
  }
  close(fd);
  path_ = pattern;
  LogStart(path_);
}

LogCapture::~LogCapture() {
  if (!path_.empty()) {
    LogFinish();
    unlink(path_.c_str());
  }
}

std::vector<std::string> LogCapture::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    // "[hh:mm:ss:mmm] text", or "<…> text" within the same millisecond.
    const char close = line.starts_with("[") ? ']' : line.starts_with("<") ? '>' : '\0';
    const size_t end = close == '\0' ? std::string::npos : line.find(close);
    if (end != std::string::npos) {
      line.erase(0, std::min(line.size(), end + 2));
    }
    if (line != "Log Started") {
      lines.push_back(line);
    }
  }
  return lines;
}

} // namespace meridia::inspect
