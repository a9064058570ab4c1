// The kinds of file meridia-inspect knows. Each recognises its files, describes what the viewer
// would make of one (as a line for people or one JSON object), and, where that means something,
// extracts what it holds; a new kind adds one entry to FileKinds().
#pragma once

#include <filesystem>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace meridia::inspect {

// The pictures --out has written in one run, so that two inputs of the same file name (from
// different folders) never write over each other.
class OutputNames {
public:
  // folder/<name><suffix> when no earlier input of the run took it, else folder/<name>.2<suffix>,
  // .3 and so on.
  std::filesystem::path Claim(const std::filesystem::path& folder, const std::string& name,
                              const std::string& suffix);

private:
  std::set<std::filesystem::path> claimed_;
};

struct InspectOptions {
  bool json = false;      // one JSON object a file on its own line
  std::string out_folder; // where decoded pictures are written; empty: nowhere
  bool png = false;       // written as PNG rather than TGA
  double scale = 1.0;     // the scale models are loaded at
  // The run's output names; null: each file is on its own.
  OutputNames* outputs = nullptr;
};

// The viewer's log, kept for as long as the object lives in a private file, so that what the
// loaders write there (a missing file, indices out of range, a picture not decoded) can be shown
// to the person. Takes the log over from whoever had it open.
class LogCapture {
public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The lines written since the capture began, without their time stamps.
  std::vector<std::string> Lines() const;

private:
  std::string path_;
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

// Text as a JSON string, quotes included. Valid UTF-8 passes through; control characters are
// escaped, and so is every byte that is not part of valid UTF-8, as the lone surrogate
// U+DC00 + byte (the "surrogateescape" of Python's os.fsdecode), so that a name which is not
// UTF-8 still comes back byte for byte.
std::string JsonString(std::string_view text);
// Names as a JSON array of strings.
std::string JsonList(const std::vector<std::string>& names);
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
