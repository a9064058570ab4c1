// meridia-pack: packs files into an archive of the data manager's format, each compressed
// (method 0) and stored under its name exactly as given on the command line.
#include "AbcEncoder.h"
#include "ArchiveWriter.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: meridia-pack [--path mtf|sif|awfc|smallest] ARCHIVE FILE...\n"
    "Packs each FILE, compressed, into ARCHIVE under its name as given.\n";

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
  using namespace meridia::pack;
  AbcOptions options;
  int first = 1;
  if (argc > 2 && std::string_view(argv[1]) == "--path") {
    const std::string_view path = argv[2];
    if (path == "mtf") {
      options.Path = AbcChoice::Mtf;
    } else if (path == "sif") {
      options.Path = AbcChoice::Sif;
    } else if (path == "awfc") {
      options.Path = AbcChoice::Awfc;
    } else if (path != "smallest") {
      std::fputs(kUsage, stderr);
      return 2;
    }
    first = 3;
  }
  if (argc - first < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string archive = argv[first];
  std::vector<ArchiveItem> items;
  for (int i = first + 1; i < argc; ++i) {
    std::vector<uint8_t> data;
    if (!ReadFile(argv[i], data)) {
      std::fprintf(stderr, "meridia-pack: cannot read %s\n", argv[i]);
      return 1;
    }
    ArchiveItem item;
    item.Method = 0;
    item.Name = argv[i];
    item.Stored = AbcCompress(data, options);
    if (item.Stored.size() > 0x7FFFFFFF) {
      std::fprintf(stderr, "meridia-pack: %s is too large for an archive entry\n", argv[i]);
      return 1;
    }
    items.push_back(std::move(item));
  }
  const std::vector<uint8_t> bytes = ArchiveBytes(items);
  std::ofstream out(archive, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "meridia-pack: cannot write %s\n", archive.c_str());
    return 1;
  }
  return 0;
}
