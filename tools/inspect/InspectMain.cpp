// meridia-inspect: describes the files meridia reads. Today it knows the data manager's
// archives: it lists their entries and extracts them through the program's own extraction.
#include "FileKind.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: meridia-inspect FILE                 describe FILE\n"
    "       meridia-inspect --extract DIR FILE   extract what FILE holds into DIR\n"
    "FILE is recognised by its content; known kinds: archive (the data manager's archives).\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  using namespace meridia::inspect;
  std::string file;
  std::string folder;
  bool extract = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--extract") {
      if (extract || i + 1 >= argc) {
        return Usage();
      }
      extract = true;
      folder = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg.starts_with("-") || !file.empty()) {
      return Usage();
    } else {
      file = arg;
    }
  }
  if (file.empty() || (extract && folder.empty())) {
    return Usage();
  }
  if (!std::filesystem::is_regular_file(file)) {
    std::cerr << "meridia-inspect: " << file << ": no such file\n";
    return 1;
  }
  for (const FileKind& kind : FileKinds()) {
    if (!kind.Recognises(file)) {
      continue;
    }
    if (!extract) {
      return kind.List(file, std::cout, std::cerr);
    }
    if (kind.Extract == nullptr) {
      std::cerr << "meridia-inspect: " << file << ": a " << kind.Name
                << " holds nothing to extract\n";
      return 1;
    }
    return kind.Extract(file, folder, std::cout, std::cerr);
  }
  std::cerr << "meridia-inspect: " << file << ": not a kind of file meridia-inspect knows\n";
  return 1;
}
