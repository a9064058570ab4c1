// OBJ models: what the OBJ reader finds (groups, faces, the libraries and materials that are
// there and missing, faces left out for indices that point at nothing) and what the static model
// loader makes of it (shapes, fanned triangles, the bounds after the Z-up turn, each shape's
// texture as the loader searches for it and whether the texture loader can decode it), with the
// lines the loaders write to the viewer's log.
#include "FileKind.h"

#include "decoders/ImageDecoders.h"
#include "models/Material.h"
#include "models/Model.h"
#include "models/OBJModel.h"
#include "storage/DataManager.h"
#include "storage/FilePaths.h"

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

// A shape's texture as the viewer would load it.
struct TextureCheck {
  std::string material;
  std::string file;
  bool found = false;
  bool decoded = false;
};

// What LoadTexture would accept: a picture the decoders read, with sides a texture can hold.
bool Decodes(const std::string& file) {
  bool has_alpha = false;
  const TDecodedBitmap bitmap = LoadImageBitmap(file, has_alpha);
  return !bitmap.IsEmpty() && bitmap.Width <= 0xFFFF && bitmap.Height <= 0xFFFF;
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
  RegisterImageDecoders();
  const LogCapture log;
  TOBJModel obj;
  obj.LoadFromFile(path);
  int64_t faces = 0;
  std::vector<std::string> found, missing, missing_libraries;
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
  // The library named like the model is only tried; it is missing only when a line names it.
  for (const auto& library : obj.Libraries) {
    if (library->Named && !library->Found) {
      missing_libraries.push_back(library->FileName);
    }
  }

  TModel model;
  model.BuildShapes(obj, ExtractFilePath(path), true, static_cast<float>(options.scale));
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
  std::vector<TextureCheck> textures;
  bool textures_whole = true;
  for (const TShape& shape : model.Shapes) {
    if (!shape.TextureFile.empty()) {
      TextureCheck& t = textures.emplace_back();
      t.material = shape.Name;
      t.file = shape.TextureFile;
      t.found = FileExists(t.file);
      t.decoded = t.found && Decodes(t.file);
      textures_whole = textures_whole && t.decoded;
    }
  }
  const bool whole =
      missing.empty() && missing_libraries.empty() && textures_whole && obj.DroppedFaceCount == 0;
  const std::vector<std::string> log_lines = log.Lines();
  for (const std::string& line : log_lines) {
    err << "meridia-inspect: " << path << ": log: " << line << "\n";
  }

  if (options.json) {
    std::string texture_list = "[";
    for (const TextureCheck& t : textures) {
      texture_list += std::string(texture_list.size() > 1 ? "," : "") +
                      "{\"material\":" + JsonString(t.material) +
                      ",\"file\":" + JsonString(t.file) +
                      ",\"found\":" + (t.found ? "true" : "false") +
                      ",\"decoded\":" + (t.decoded ? "true" : "false") + "}";
    }
    texture_list += "]";
    out << "{\"file\":" << JsonString(path)
        << ",\"kind\":\"model\",\"whole\":" << (whole ? "true" : "false")
        << ",\"groups\":" << obj.GroupCount() << ",\"faces\":" << faces
        << ",\"dropped_faces\":" << obj.DroppedFaceCount << ",\"materials\":" << JsonList(found)
        << ",\"missing_materials\":" << JsonList(missing)
        << ",\"missing_libraries\":" << JsonList(missing_libraries)
        << ",\"shapes\":" << model.Shapes.size() << ",\"triangles\":" << model.TriangleCount
        << ",\"bounds\":"
        << (any ? std::string("[")
                      .append(Point(low, true))
                      .append(",")
                      .append(Point(high, true))
                      .append("]")
                : std::string("null"))
        << ",\"textures\":" << texture_list << ",\"log\":" << JsonList(log_lines) << "}\n";
  } else {
    out << path << ": model, " << obj.GroupCount() << " groups, " << faces << " faces, "
        << found.size() << " materials found, " << missing.size() << " missing; "
        << model.Shapes.size() << " shapes, " << model.TriangleCount << " triangles at scale "
        << Number(options.scale) << "\n";
    if (any) {
      out << "  bounds " << Point(low, false) << " to " << Point(high, false) << "\n";
    }
    for (const std::string& name : missing_libraries) {
      out << "  missing material library " << (name.empty() ? "(no name)" : name) << "\n";
    }
    for (const std::string& name : missing) {
      out << "  missing material " << name << "\n";
    }
    if (obj.DroppedFaceCount > 0) {
      out << "  " << obj.DroppedFaceCount << " faces left out: indices out of range\n";
    }
    for (const TShape& shape : model.Shapes) {
      out << "  shape " << (shape.Name.empty() ? "(default material)" : shape.Name) << ": "
          << shape.Vertices.size() / 3 << " triangles, texture ";
      if (shape.TextureFile.empty()) {
        out << "none\n";
        continue;
      }
      const auto t = std::find_if(textures.begin(), textures.end(),
                                  [&](const TextureCheck& c) { return c.material == shape.Name; });
      out << shape.TextureFile
          << (!t->found     ? " (missing)"
              : !t->decoded ? " (not decoded: drawn untextured)"
                            : "")
          << "\n";
    }
  }
  if (!whole) {
    err << "meridia-inspect: " << path << ": not understood whole\n";
  }
  return whole ? 0 : 1;
}

} // namespace meridia::inspect
