// OBJ models: what the OBJ reader finds (groups, faces, the materials its libraries have and
// lack) and what the static model loader makes of it (shapes, fanned triangles, the bounds after
// the Z-up turn, each shape's texture as the loader searches for it).
#include "FileKind.h"

#include "models/Model.h"
#include "models/OBJModel.h"
#include "storage/DataManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

namespace meridia::inspect {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kKeywords[] = {"v", "vt", "vn", "f", "g", "o", "s", "mtllib", "usemtl"};

std::string Number(double v) {
  if (!std::isfinite(v)) {
    return "null";
  }
  if (v == 0) {
    return "0"; // not "-0"
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

std::string JsonList(const std::vector<std::string>& names) {
  std::string json = "[";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      json.push_back(',');
    }
    json.append(JsonString(names[i]));
  }
  json.push_back(']');
  return json;
}

// "(x y z)" for people, "[x,y,z]" in JSON.
std::string Point(const Vector3f& p, bool json) {
  std::string text(json ? "[" : "(");
  const char between = json ? ',' : ' ';
  text.append(Number(p.x)).push_back(between);
  text.append(Number(p.y)).push_back(between);
  text.append(Number(p.z)).push_back(json ? ']' : ')');
  return text;
}

} // namespace

bool IsModel(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".obj") {
    return true;
  }
  // Otherwise by the first line that is neither blank nor a comment.
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  size_t start = 0;
  while (start < head.size()) {
    const size_t end = std::min(head.find_first_of("\r\n", start), head.size());
    std::string_view line = std::string_view(head).substr(start, end - start);
    const size_t first = line.find_first_not_of(" \t");
    start = end + 1;
    if (first == std::string_view::npos || line[first] == '#') {
      continue;
    }
    line.remove_prefix(first);
    const std::string_view word = NextToken(line);
    return std::find(std::begin(kKeywords), std::end(kKeywords), word) != std::end(kKeywords);
  }
  return false;
}

int DescribeModel(const std::string& path, const InspectOptions& options, std::ostream& out,
                  std::ostream& err) {
  if (!std::ifstream(path, std::ios::binary).is_open()) {
    err << "meridia-inspect: " << path << ": cannot be read\n";
    if (options.json) {
      out << JsonError(path, "cannot be read") << "\n";
    }
    return 1;
  }
  TOBJModel obj;
  obj.LoadFromFile(path);
  int64_t faces = 0;
  std::vector<std::string> found, missing;
  std::set<std::string> seen;
  for (const TOBJGroup& group : obj.Groups) {
    faces += group.Count;
    for (const TOBJFace& face : group.Faces) {
      if (face.Material.empty() || !seen.insert(face.Material).second) {
        continue;
      }
      TOBJMaterial material;
      (obj.FindMaterial(face.Material, material) ? found : missing).push_back(face.Material);
    }
  }

  TModel model;
  model.BuildShapes(path, true, static_cast<float>(options.scale));
  Vector3f low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
  for (const TShape& shape : model.Shapes) {
    for (const TModelVertex& v : shape.Vertices) {
      low = {std::min(low.x, v.Position.x), std::min(low.y, v.Position.y),
             std::min(low.z, v.Position.z)};
      high = {std::max(high.x, v.Position.x), std::max(high.y, v.Position.y),
              std::max(high.z, v.Position.z)};
    }
  }
  const bool any = model.VertexCount() > 0;

  if (options.json) {
    out << "{\"file\":" << JsonString(path) << ",\"kind\":\"model\",\"groups\":" << obj.GroupCount()
        << ",\"faces\":" << faces << ",\"materials\":" << JsonList(found)
        << ",\"missing_materials\":" << JsonList(missing) << ",\"shapes\":" << model.Shapes.size()
        << ",\"triangles\":" << model.TriangleCount << ",\"bounds\":"
        << (any ? std::string("[")
                      .append(Point(low, true))
                      .append(",")
                      .append(Point(high, true))
                      .append("]")
                : std::string("null"))
        << "}\n";
    return 0;
  }
  out << path << ": model, " << obj.GroupCount() << " groups, " << faces << " faces, "
      << found.size() << " materials found, " << missing.size() << " missing; "
      << model.Shapes.size() << " shapes, " << model.TriangleCount << " triangles at scale "
      << Number(options.scale) << "\n";
  if (any) {
    out << "  bounds " << Point(low, false) << " to " << Point(high, false) << "\n";
  }
  for (const std::string& name : missing) {
    out << "  missing material " << name << "\n";
  }
  for (const TShape& shape : model.Shapes) {
    out << "  shape " << (shape.Name.empty() ? "(default material)" : shape.Name) << ": "
        << shape.Vertices.size() / 3 << " triangles, texture ";
    if (shape.TextureFile.empty()) {
      out << "none\n";
    } else {
      out << shape.TextureFile << (FileExists(shape.TextureFile) ? "" : " (missing)") << "\n";
    }
  }
  return 0;
}

} // namespace meridia::inspect
