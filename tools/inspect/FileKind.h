// The kinds of file meridia-inspect knows. Each recognises its files, describes what the viewer
// would make of one (as a line for people or one JSON object), and, where that means something,
// extracts what it holds; a new kind adds one entry to FileKinds().
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace meridia::inspect {

struct InspectOptions {
  bool json = false;      // one JSON object a file on its own line
  std::string out_folder; // where decoded pictures are written; empty: nowhere
  bool png = false;       // written as PNG rather than TGA
  double scale = 1.0;     // the scale models are loaded at
};

struct FileKind {
  const char* Name;
  // Whether the file is this kind's (by its first bytes or, where the viewer does so, its name).
  bool (*Recognises)(const std::string& path);
  // Exit status: 0, or 1 when the file could not be read or used whole (the reason on err).
  int (*Describe)(const std::string& path, const InspectOptions& options, std::ostream& out,
                  std::ostream& err);
  // Null for kinds with nothing to extract.
  int (*Extract)(const std::string& path, const std::string& folder, std::ostream& out,
                 std::ostream& err);
};

std::span<const FileKind> FileKinds();

// Text as a JSON string, quotes included.
std::string JsonString(std::string_view text);
// {"file":…,"error":…} for a file nothing could be made of.
std::string JsonError(std::string_view file, std::string_view error);

// The data manager's archives.
bool IsArchive(const std::string& path);
int DescribeArchive(const std::string& path, const InspectOptions& options, std::ostream& out,
                    std::ostream& err);
int ExtractArchive(const std::string& path, const std::string& folder, std::ostream& out,
                   std::ostream& err);

// OBJ models with their MTL libraries, as the static model loader reads them.
bool IsModel(const std::string& path);
int DescribeModel(const std::string& path, const InspectOptions& options, std::ostream& out,
                  std::ostream& err);

// Terrain maps, as the height-map factory loads them for a world.
bool IsMap(const std::string& path);
int DescribeMap(const std::string& path, const InspectOptions& options, std::ostream& out,
                std::ostream& err);

// Pictures, as the texture loader decodes them.
bool IsImage(const std::string& path);
int DescribeImage(const std::string& path, const InspectOptions& options, std::ostream& out,
                  std::ostream& err);

} // namespace meridia::inspect
