#include "FileKind.h"

namespace meridia::inspect {

std::span<const FileKind> FileKinds() {
  // Tried in order; the first that recognises a file describes it.
  static const FileKind kKinds[] = {
      {"archive", IsArchive, ListArchive, ExtractArchive},
  };
  return kKinds;
}

} // namespace meridia::inspect
