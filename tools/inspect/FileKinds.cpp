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

namespace {

// The length of the well-formed UTF-8 sequence that text starts with; 0 when its first byte
// starts none (a stray continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or a sequence cut short).
size_t Utf8Length(std::string_view text) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = at(0);
  if (first < 0x80) {
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the range of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    low = first == 0xE0 ? 0xA0 : 0x80;
    high = first == 0xED ? 0x9F : 0xBF;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    low = first == 0xF0 ? 0x90 : 0x80;
    high = first == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (at(i) < 0x80 || at(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

} // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    const size_t length = byte < 0x20 || byte == 0x7F ? 0 : Utf8Length(text.substr(i));
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
      ++i;
    } else if (length == 0) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, byte < 0x80 ? "\\u%04x" : "\\udc%02x", byte);
      json += escaped;
      ++i;
    } else {
      json.append(text.substr(i, length));
      i += length;
    }
  }
  return json + "\"";
}

std::string JsonList(const std::vector<std::string>& names) {
  std::string json = "[";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      json.push_back(',');
    }
    json.append(JsonString(names[i]));
  }
  json.push_back(']');
  return json;
}

std::string JsonError(std::string_view file, std::string_view error) {
  return "{\"file\":" + JsonString(file) + ",\"error\":" + JsonString(error) + "}";
}

} // namespace meridia::inspect
