#include "platform/FileSystem.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

namespace meridia::platform {

std::string NativePath(std::string_view name) {
  std::string native(name);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
    return {};
  }
  return std::string(buffer.data(), static_cast<size_t>(length));
}

} // namespace meridia::platform
