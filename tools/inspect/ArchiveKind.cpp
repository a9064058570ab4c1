// Archives: listed with each entry's method, stored size and unpacked size (found by extracting
// it), and extracted through TzoArchive::Extract, the data manager's own path.
#include "ExtractPath.h"
#include "FileKind.h"

#include "storage/Archive.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>

namespace meridia::inspect {
namespace {

namespace fs = std::filesystem;

const char* MethodName(uint8_t method) {
  // The archive's own names are "" for 0, "none" and "link"; an empty column would read badly.
  return method == kMethodCompressed ? "compressed" : kArchiveMethodNames[method].data();
}

// The entry count the table claims, which may exceed the entries kept.
int32_t ClaimedCount(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[8] = {};
  in.read(header, sizeof header);
  int32_t count = 0;
  std::memcpy(&count, header + 4, sizeof count);
  return count;
}

bool OpenArchive(TzoArchive& archive, const std::string& path, std::ostream& err) {
  if (!archive.Open(path)) {
    err << "meridia-inspect: " << path << ": not a readable archive\n";
    return false;
  }
  const int32_t claimed = ClaimedCount(path);
  if (claimed != static_cast<int32_t>(archive.Entries.size())) {
    err << "meridia-inspect: " << path << ": the table lists " << claimed << " entries, "
        << archive.Entries.size() << " of them whole\n";
  }
  return true;
}

} // namespace

bool IsArchive(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, sizeof magic) && std::memcmp(magic, kArchiveMagic.data(), 4) == 0;
}

int DescribeArchive(const std::string& path, const InspectOptions& options, std::ostream& out,
                    std::ostream& err) {
  TzoArchive archive;
  if (!OpenArchive(archive, path, err)) {
    if (options.json) {
      out << JsonError(path, "not a readable archive") << "\n";
    }
    return 1;
  }
  int status = 0;
  std::string json = "{\"file\":" + JsonString(path) + ",\"kind\":\"archive\",\"entries\":[";
  if (!options.json) {
    out << path << ": archive, " << archive.Entries.size() << " entries\n";
    out << std::left << std::setw(12) << "method" << std::right << std::setw(12) << "stored"
        << std::setw(12) << "unpacked"
        << "  name\n";
  }
  for (size_t i = 0; i < archive.Entries.size(); ++i) {
    const TzoArchiveEntry& entry = archive.Entries[i];
    std::string unpacked = "-";
    if (entry.Method != kMethodLink) {
      const auto stream = archive.Extract(static_cast<int32_t>(i));
      if (stream != nullptr) {
        unpacked = std::to_string(stream->GetSize());
      } else {
        unpacked = "damaged";
        err << archive.LastError << "\n";
        status = 1;
      }
    }
    if (options.json) {
      const bool counted = unpacked != "-" && unpacked != "damaged";
      json += std::string(i == 0 ? "" : ",") + "{\"name\":" + JsonString(entry.Name) +
              ",\"method\":" + JsonString(MethodName(entry.Method)) +
              ",\"stored\":" + std::to_string(entry.Size) +
              ",\"unpacked\":" + (counted ? unpacked : "null") + "}";
    } else {
      out << std::left << std::setw(12) << MethodName(entry.Method) << std::right << std::setw(12)
          << entry.Size << std::setw(12) << unpacked << "  " << entry.Name << "\n";
    }
  }
  if (options.json) {
    out << json << "]}\n";
  }
  return status;
}

int ExtractArchive(const std::string& path, const std::string& folder, std::ostream& out,
                   std::ostream& err) {
  TzoArchive archive;
  if (!OpenArchive(archive, path, err)) {
    return 1;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder)) {
    err << "meridia-inspect: cannot make the folder " << folder << "\n";
    return 1;
  }
  int status = 0;
  // The data manager serves the first entry of a name; later ones are never read.
  std::set<std::string> written;
  for (size_t i = 0; i < archive.Entries.size(); ++i) {
    const TzoArchiveEntry& entry = archive.Entries[i];
    if (entry.Method == kMethodLink) {
      out << "skipped link " << entry.Name << "\n";
      continue;
    }
    if (!written.insert(ArchiveKey(entry.Name)).second) {
      out << "skipped " << entry.Name << ": an earlier entry has the same name\n";
      continue;
    }
    const std::optional<fs::path> target = ExtractPath(folder, entry.Name);
    if (!target) {
      err << "meridia-inspect: refused " << entry.Name << ": the name leads outside " << folder
          << "\n";
      status = 1;
      continue;
    }
    const auto stream = archive.Extract(static_cast<int32_t>(i));
    if (stream == nullptr) {
      err << archive.LastError << "\n";
      status = 1;
      continue;
    }
    fs::create_directories(target->parent_path(), error);
    std::ofstream file(*target, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(stream->Buffer.data()),
               static_cast<std::streamsize>(stream->Buffer.size()));
    if (!file.flush()) {
      err << "meridia-inspect: cannot write " << target->string() << "\n";
      status = 1;
      continue;
    }
    out << "extracted " << entry.Name << " (" << stream->Buffer.size() << " bytes)\n";
  }
  return status;
}

} // namespace meridia::inspect
