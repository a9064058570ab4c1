// The OBJ reader and its MTL library on arbitrary text: the input is the model, then, after the
// first "%%MTL%%", the library named like it. Whatever they hold, every count matches its array,
// every corner part is -1 or inside its array, and the current folder comes back. The static
// model made of it fans every face and stands on y = 0.
#include "FuzzSupport.h"

#include "models/Model.h"
#include "models/OBJModel.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

using meridia::fuzz::Require;

namespace {

constexpr std::string_view kMarker = "%%MTL%%";

// Removed before writing: replacing a file's content in place is slow on ext4.
void Write(const std::string& name, std::string_view bytes) {
  std::remove(name.c_str());
  std::FILE* file = std::fopen(name.c_str(), "wb");
  Require(file != nullptr, "the scratch file can be written");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = "model-" + std::to_string(getpid());
  static const bool made = (mkdir(folder.c_str(), 0777), true);
  (void)made;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t marker = input.find(kMarker);
  Write(folder + "/fuzz.obj", input.substr(0, marker));
  std::remove((folder + "/fuzz.mtl").c_str());
  if (marker != std::string_view::npos) {
    Write(folder + "/fuzz.mtl", input.substr(marker + kMarker.size()));
  }

  const std::string before = meridia::platform::GetCurrentDir();
  meridia::TOBJModel model;
  model.LoadFromFile(folder + "\\fuzz.obj");
  Require(meridia::platform::GetCurrentDir() == before, "the current folder is restored");

  Require(model.PositionCount == static_cast<int32_t>(model.Positions.size()) &&
              model.TexCoordCount == static_cast<int32_t>(model.TexCoords.size()) &&
              model.NormalCount == static_cast<int32_t>(model.Normals.size()),
          "the counts match the arrays");
  for (const meridia::TOBJGroup& group : model.Groups) {
    Require(group.Count == static_cast<int32_t>(group.Faces.size()), "a group counts its faces");
    for (const meridia::TOBJFace& face : group.Faces) {
      Require(face.Count == static_cast<int32_t>(face.Corners.size()), "a face counts corners");
      for (const meridia::TOBJCorner& c : face.Corners) {
        Require(c.Position == -1 || (c.Position >= 1 && c.Position <= model.PositionCount),
                "a position index is absent or inside the positions");
        Require(c.TexCoord == -1 || (c.TexCoord >= 1 && c.TexCoord <= model.TexCoordCount),
                "a coordinate index is absent or inside the coordinates");
        Require(c.Normal == -1 || (c.Normal >= 1 && c.Normal <= model.NormalCount),
                "a normal index is absent or inside the normals");
      }
      meridia::TOBJMaterial material;
      model.FindMaterial(face.Material, material);
    }
  }
  Require(!model.Libraries.empty(), "the library named like the model is always tried");

  int64_t fan = 0;
  for (const meridia::TOBJGroup& group : model.Groups) {
    for (const meridia::TOBJFace& face : group.Faces) {
      fan += std::max(0, face.Count - 2);
    }
  }
  meridia::TModel shapes;
  Require(shapes.BuildShapes(folder + "\\fuzz.obj", true, 0.1f), "the model file exists");
  Require(meridia::platform::GetCurrentDir() == before, "the current folder is restored");
  Require(shapes.TriangleCount == fan, "every face is fanned into count - 2 triangles");
  Require(shapes.VertexCount() == 3 * fan, "three vertices a triangle");
  float min_y = INFINITY;
  bool finite = true;
  for (const meridia::TShape& shape : shapes.Shapes) {
    for (const meridia::TModelVertex& v : shape.Vertices) {
      finite = finite && std::isfinite(v.Position.y);
      min_y = std::min(min_y, v.Position.y);
    }
  }
  Require(!finite || fan == 0 || min_y == 0, "the lowest vertex stands on y = 0");
  return 0;
}
