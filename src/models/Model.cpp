#include "models/Model.h"

#include "engine/Strings.h"
#include "engine/VectorGeometry.h"
#include "models/OBJModel.h"
#include "storage/DataManager.h"
#include "storage/FilePaths.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace meridia {
namespace {

// The shape named like the material (ignoring case), made when it does not exist yet; its
// texture file is searched beside the current folder first, then beside the model. by_name holds
// the lower-case name of every shape, so that a model of many materials is not searched once
// per material change.
size_t SelectShape(std::vector<TShape>& shapes, std::unordered_map<std::string, size_t>& by_name,
                   const TOBJMaterial& material, const std::string& folder) {
  const auto [place, added] = by_name.try_emplace(LowerCase(material.Name), shapes.size());
  if (!added) {
    return place->second;
  }
  TShape& shape = shapes.emplace_back();
  shape.Name = material.Name;
  if (!material.MapKd.empty()) {
    static const std::array<std::string, 3> kExtensions = {"jpg", "tga", "png"};
    const std::array<std::string, 2> folders = {std::string(), folder};
    shape.TextureFile = FindFile(material.MapKd, folders, kExtensions);
  }
  return shapes.size() - 1;
}

} // namespace

bool TModel::BuildShapes(std::string_view file_name, bool turn_up, float scale) {
  Shapes.clear();
  TriangleCount = 0;
  if (!FileExists(file_name)) {
    return false;
  }
  TOBJModel obj;
  obj.LoadFromFile(file_name);
  BuildShapes(obj, ExtractFilePath(file_name), turn_up, scale);
  return true;
}

void TModel::BuildShapes(const TOBJModel& obj, std::string_view model_folder, bool turn_up,
                         float scale) {
  Shapes.clear();
  TriangleCount = 0;
  const std::string folder(model_folder);
  float min_y = 999999;
  const auto vertex = [&](const TOBJCorner& corner) {
    TModelVertex v;
    if (corner.TexCoord >= 0) {
      v.TexCoord = obj.GetTexCoord(corner.TexCoord);
    }
    if (corner.Normal >= 0) {
      v.Normal = obj.GetNormal(corner.Normal);
    }
    if (corner.Position >= 0) {
      const Vector4f p = obj.GetPosition(corner.Position);
      v.Position = {p.x, p.y, p.z};
    }
    ScaleInPlace3(v.Position, scale);
    if (turn_up) {
      v.Normal = RotateAroundX(v.Normal, static_cast<float>(kPi / 2));
      v.Position = RotateAroundX(v.Position, static_cast<float>(kPi / 2));
    }
    min_y = std::min(min_y, v.Position.y);
    return v;
  };

  std::unordered_map<std::string, size_t> shapes_by_name;
  size_t current = 0;
  bool have_shape = false;
  std::string material_name;
  for (const TOBJGroup& group : obj.Groups) {
    for (const TOBJFace& face : group.Faces) {
      if (!have_shape || !SameTextIgnoringCase(face.Material, material_name)) {
        material_name = face.Material;
        TOBJMaterial material;
        if (!obj.FindMaterial(material_name, material)) {
          material = TOBJMaterial();
        }
        current = SelectShape(Shapes, shapes_by_name, material, folder);
        have_shape = true;
      }
      std::vector<TModelVertex>& vertices = Shapes[current].Vertices;
      for (size_t k = 2; k < face.Corners.size(); ++k) {
        vertices.push_back(vertex(face.Corners[0]));
        vertices.push_back(vertex(face.Corners[k - 1]));
        vertices.push_back(vertex(face.Corners[k]));
        ++TriangleCount;
      }
    }
  }
  for (TShape& shape : Shapes) {
    for (TModelVertex& v : shape.Vertices) {
      v.Position.y -= min_y;
    }
  }
}

bool TModel::Load(std::string_view file_name, bool turn_up, float scale) {
  if (!BuildShapes(file_name, turn_up, scale)) {
    return false;
  }
  LoadTextures();
  CreateBuffers();
  return true;
}

int32_t TModel::VertexCount() const {
  size_t count = 0;
  for (const TShape& shape : Shapes) {
    count += shape.Vertices.size();
  }
  return static_cast<int32_t>(count);
}

} // namespace meridia
