#include "ExtractPath.h"

#include <cctype>
#include <string>

namespace meridia::inspect {

std::optional<std::filesystem::path> ExtractPath(const std::filesystem::path& folder,
                                                 std::string_view name) {
  std::string relative(name);
  for (char& c : relative) {
    c = c == '\\' ? '/' : c;
  }
  const bool drive = relative.size() >= 2 && relative[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(relative[0])) != 0;
  if (relative.empty() || relative.front() == '/' || drive ||
      relative.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  std::filesystem::path path = folder;
  bool below = false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) {
      end = relative.size();
    }
    const std::string_view part = std::string_view(relative).substr(start, end - start);
    if (part == "..") {
      return std::nullopt;
    }
    if (!part.empty() && part != ".") {
      path /= std::string(part);
      below = true;
    }
    start = end + 1;
  }
  if (!below) {
    return std::nullopt;
  }
  return path;
}

} // namespace meridia::inspect
