#include "FileKind.h"

#include <cstdio>

namespace meridia::inspect {

std::span<const FileKind> FileKinds() {
  // Tried in order; the first that recognises a file describes it. Pictures come after the
  // kinds with a signature, since a picture may be known by its name alone; models, plain text,
  // come last. Terrain maps are known by their tag or their name, which no picture takes.
  static const FileKind kKinds[] = {
      {"archive", IsArchive, DescribeArchive, ExtractArchive},
      {"map", IsMap, DescribeMap, nullptr},
      {"image", IsImage, DescribeImage, nullptr},
      {"model", IsModel, DescribeModel, nullptr},
  };
  return kKinds;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      // Bytes outside printable ASCII are escaped one by one: file names need not be UTF-8.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string JsonError(std::string_view file, std::string_view error) {
  return "{\"file\":" + JsonString(file) + ",\"error\":" + JsonString(error) + "}";
}

} // namespace meridia::inspect
