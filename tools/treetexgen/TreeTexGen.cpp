// meridia-treetexgen FOLDER: writes the bark and leaf pictures of both tree kinds into FOLDER
// (base/textures/trees of the runnable folder). The build runs it; the design is in
// TreeTextureDesign.cpp.
#include "TreeTextureDesign.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  using namespace meridia::treetexgen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: meridia-treetexgen FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  for (int kind = 0; kind < 2; ++kind) {
    const std::string bark = folder + BarkName(kind) + ".tga";
    const std::string leaf = folder + LeafName(kind) + ".tga";
    if (!BuildBark(kind).SaveToFile(bark) || !BuildLeaf(kind).SaveToFile(leaf)) {
      std::fprintf(stderr, "meridia-treetexgen: cannot write into %s\n", argv[1]);
      return 1;
    }
  }
  return 0;
}
