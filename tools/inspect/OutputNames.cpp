#include "FileKind.h"

namespace meridia::inspect {

std::filesystem::path OutputNames::Claim(const std::filesystem::path& folder,
                                         const std::string& name, const std::string& suffix) {
  for (int n = 1;; ++n) {
    std::string file = name;
    if (n > 1) {
      file.push_back('.');
      file.append(std::to_string(n));
    }
    file.append(suffix);
    std::filesystem::path candidate = folder / file;
    if (claimed_.insert(candidate).second) {
      return candidate;
    }
  }
}

} // namespace meridia::inspect
