// meridia-galaxytexgen FOLDER: writes the nine backdrop pictures into FOLDER
// (base/textures/galaxy of the runnable folder). The build runs it; the design is in
// GalaxyTextureDesign.cpp.
#include "GalaxyTextureDesign.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  using namespace meridia::galaxytexgen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: meridia-galaxytexgen FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool written = BuildSmoke().SaveToFile(folder + SmokeName() + ".tga");
  for (int i = 0; i < kFrameCount; ++i) {
    written = written && BuildFrame(i).SaveToFile(folder + FrameName(i) + ".tga");
  }
  for (int i = 0; i < kStarCount; ++i) {
    written = written && BuildStar(i).SaveToFile(folder + StarName(i) + ".tga");
  }
  if (!written) {
    std::fprintf(stderr, "meridia-galaxytexgen: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
