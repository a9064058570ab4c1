// meridia-cmapgen OUTPUT.tga: writes the terrain colour map that the height-map factory reads
// from base/maps/cmap_1.tga. The build runs it; the picture's design is in ColorMapDesign.cpp.
#include "ColorMapDesign.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: meridia-cmapgen OUTPUT.tga\n");
    return 2;
  }
  if (!meridia::cmapgen::BuildColorMap().SaveToFile(argv[1])) {
    std::fprintf(stderr, "meridia-cmapgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
