// meridia-inspect: tells what meridia would make of the files it reads. Pictures: the decoder
// and size; models: groups, faces, materials, shapes, triangles, bounds and textures; terrain
// maps: the seed and size that made them and whether the viewer takes them; archives: their
// entries, which it can also extract through the program's own extraction.
#include "FileKind.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: meridia-inspect [--json] [--out DIR [--png]] [--scale S] FILE...\n"
    "       meridia-inspect --extract DIR ARCHIVE\n"
    "Tells what meridia would make of each FILE, read by its path.\n"
    "  --json         one JSON object a file, each on its own line\n"
    "  --out DIR      write each decoded picture as DIR/<file name>.tga (top row first);\n"
    "                 a name an earlier FILE took becomes <file name>.2.tga, .3 and so on\n"
    "  --png          with --out: write DIR/<file name>.png instead\n"
    "  --scale S      the scale models are loaded at (default 1)\n"
    "  --extract DIR  write what an archive holds into DIR, refusing names that leave it\n"
    "Kinds known: archive (the data manager's), map (terrain maps: the seed and size that\n"
    "made them, and whether the viewer takes them for the world of their folder), image (the\n"
    "texture loader's formats), model (OBJ files with their MTL libraries, as the static model\n"
    "loader reads them).\n"
    "The lines the viewer's loaders would log are shown on stderr.\n"
    "Exit status: 0 when every file was understood whole, 1 when one was not (a model with a\n"
    "missing library, material or texture, a texture that does not decode, faces whose indices\n"
    "point at nothing, or a map its folder's world would not take), 2 for bad usage.\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
}

bool ParseScale(std::string_view text, double& scale) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), scale);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(scale) &&
         scale > 0;
}

} // namespace

int main(int argc, char** argv) {
  using namespace meridia::inspect;
  InspectOptions options;
  std::vector<std::string> files;
  std::string extract_folder;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--png") {
      options.png = true;
    } else if (arg == "--out" && has_value && options.out_folder.empty()) {
      options.out_folder = argv[++i];
    } else if (arg == "--extract" && has_value && extract_folder.empty()) {
      extract_folder = argv[++i];
    } else if (arg == "--scale" && has_value) {
      if (!ParseScale(argv[++i], options.scale)) {
        std::cerr << "meridia-inspect: --scale needs a positive number\n";
        return 2;
      }
    } else if (arg.starts_with("-")) {
      return Usage();
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.empty() || (!extract_folder.empty() && files.size() != 1) ||
      (options.png && options.out_folder.empty())) {
    return Usage();
  }

  OutputNames outputs;
  options.outputs = &outputs;
  int status = 0;
  for (const std::string& file : files) {
    auto fail = [&](const std::string& why) {
      std::cerr << "meridia-inspect: " << file << ": " << why << "\n";
      if (options.json) {
        std::cout << JsonError(file, why) << "\n";
      }
      status = 1;
    };
    if (!std::filesystem::is_regular_file(file)) {
      fail("no such file");
      continue;
    }
    const FileKind* kind = nullptr;
    for (const FileKind& candidate : FileKinds()) {
      if (candidate.Recognises(file)) {
        kind = &candidate;
        break;
      }
    }
    if (kind == nullptr) {
      fail("not a kind of file meridia-inspect knows");
    } else if (!extract_folder.empty()) {
      if (kind->Extract == nullptr) {
        fail(std::string("a ") + kind->Name + " holds nothing to extract");
      } else if (kind->Extract(file, extract_folder, std::cout, std::cerr) != 0) {
        status = 1;
      }
    } else if (kind->Describe(file, options, std::cout, std::cerr) != 0) {
      status = 1;
    }
  }
  return status;
}
