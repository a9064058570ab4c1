// Loading an OBJ model as the static model builder does (reader, material lookup, shapes), on a
// file pair whose every face brings a material of its own: the cost of finding materials and
// shapes by name, which a catalogue of many small models pays at start-up.
#include "models/Model.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace meridia {
namespace {

namespace fs = std::filesystem;

// n materials in the library; the OBJ file names each once, in a different case, on one face.
fs::path WriteModel(int64_t n) {
  const fs::path folder =
      fs::temp_directory_path() / ("meridia-bench-" + std::to_string(getpid()) + "-models");
  fs::create_directories(folder);
  std::ofstream mtl(folder / "many.mtl", std::ios::binary);
  std::ofstream obj(folder / "many.obj", std::ios::binary);
  obj << "v 0 0 0\nv 1 0 0\nv 0 1 0\ng all\n";
  for (int64_t i = 0; i < n; ++i) {
    mtl << "newmtl Material_" << i << "\nKd 0.5 0.5 0.5\n";
    obj << "usemtl material_" << i << "\nf 1 2 3\n";
  }
  return folder;
}

void BM_LoadManyMaterials(benchmark::State& state) {
  const fs::path folder = WriteModel(state.range(0));
  const std::string file = (folder / "many.obj").string();
  for (auto _ : state) {
    TModel model;
    model.BuildShapes(file, true, 1);
    if (static_cast<int64_t>(model.Shapes.size()) != state.range(0)) {
      state.SkipWithError("a shape per material expected");
      break;
    }
    benchmark::DoNotOptimize(model.Shapes.data());
  }
  state.counters["file_mb"] =
      static_cast<double>(fs::file_size(folder / "many.obj") + fs::file_size(folder / "many.mtl")) /
      1e6;
  fs::remove_all(folder);
}
BENCHMARK(BM_LoadManyMaterials)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
