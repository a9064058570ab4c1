// meridia-citygen FOLDER [NAME]: writes the city building model NAME (default "47") into FOLDER,
// which it creates: Bld_NAME.obj, its MTL library and textures. The build runs it; the model's
// design is in CityModelDesign.cpp.
#include "CityModelDesign.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: meridia-citygen FOLDER [NAME]\n");
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  const auto model = meridia::citygen::BuildCityModel(argc == 3 ? argv[2] : "47");
  if (!meridia::citygen::WriteCityModel(model, argv[1])) {
    std::fprintf(stderr, "meridia-citygen: cannot write the model into %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %d groups, %d faces, %d triangles, %d materials\n", model.ObjName.c_str(),
              model.Groups, model.Faces, model.Triangles, model.Materials);
  return 0;
}
