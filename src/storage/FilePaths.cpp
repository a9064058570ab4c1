#include "storage/FilePaths.h"

#include <algorithm>

namespace meridia {

std::string ToBackslashes(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t last = path.find_last_of(".\\:");
  std::string result(
      path.substr(0, last != std::string_view::npos && path[last] == '.' ? last : path.size()));
  result.append(ext);
  return result;
}

} // namespace meridia
