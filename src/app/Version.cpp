#include "app/Version.h"

#include "platform/FileSystem.h"

#ifndef MERIDIA_VERSION
#error "MERIDIA_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace meridia {

const char* ProgramVersion() {
  return MERIDIA_VERSION;
}

std::string ProgramName() {
  const std::string path = platform::ExecutablePath();
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? "meridia" : name;
}

} // namespace meridia
