#include "models/OBJModel.h"

#include "engine/StringList.h"
#include "engine/Strings.h"
#include "platform/FileSystem.h"
#include "storage/DataManager.h"
#include "storage/FilePaths.h"
#include "storage/Log.h"

#include <algorithm>

namespace meridia {
namespace {

constexpr size_t kGrowthStep = 1000;

// Room for one more entry. Capacity goes up in whole steps of kGrowthStep, but by half of what
// is there once that is more than one step, so that a large model is not copied once per step.
template <typename T> void MakeRoom(std::vector<T>& v) {
  if (v.size() == v.capacity()) {
    const size_t steps = std::max<size_t>(1, v.capacity() / (2 * kGrowthStep));
    v.reserve(v.capacity() + steps * kGrowthStep);
  }
}

// One part of a corner word. Empty: absent (-1). Negative: counted back from the end of the array
// as read so far. Zero, or back past the start: 0, which points at nothing, so that the face is
// dropped with those that point past the end once the whole file is read.
int32_t CornerPart(std::string_view text, int32_t count) {
  if (text.empty()) {
    return -1;
  }
  const int64_t value = StrToIntDef0(text);
  if (value > 0) {
    return static_cast<int32_t>(value);
  }
  const int64_t from_end = value == 0 ? 0 : int64_t{count} + value + 1;
  return from_end < 1 ? 0 : static_cast<int32_t>(from_end);
}

// Puts the process back in the folder it was in, however the load ends.
class CurrentDirGuard {
public:
  explicit CurrentDirGuard(std::string previous) : previous_(std::move(previous)) {}
  ~CurrentDirGuard() { platform::SetCurrentDir(previous_); }
  CurrentDirGuard(const CurrentDirGuard&) = delete;
  CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

private:
  std::string previous_;
};

template <typename T> T Entry(const std::vector<T>& v, int32_t index, T fallback) {
  if (index < 1 || static_cast<size_t>(index) > v.size()) {
    return fallback;
  }
  return v[static_cast<size_t>(index) - 1];
}

} // namespace

void TOBJModel::LoadFromFile(std::string_view file_name) {
  const std::string previous = platform::GetCurrentDir();
  if (previous.empty()) {
    // Without a way back, the folder cannot be changed safely.
    LogWrite("Model not loaded, current folder unknown : " + std::string(file_name));
    return;
  }
  const CurrentDirGuard guard(previous);
  const std::string folder = ExtractFilePath(file_name);
  if (!folder.empty() && !platform::SetCurrentDir(folder)) {
    LoadFileToString(file_name); // logs the missing file
    return;
  }
  const std::string name = ExtractFileName(file_name);
  AddMaterialLib(ChangeFileExt(name, ".mtl"), false);

  std::string text = LoadFileToString(name);
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.erase(0, 3); // a UTF-8 byte-order mark would hide the first keyword
  }
  TzoStringList lines;
  lines.AddText(text, true);
  text = std::string();

  DroppedFaceCount = 0;
  const std::vector<TzoString>& items = lines.Items;
  for (size_t i = 0; i < items.size(); ++i) {
    std::string line = Trim(items[i].Text);
    if (line.empty()) {
      continue;
    }
    while (!line.empty() && line.back() == '\\') {
      line.pop_back();
      if (i + 1 < items.size()) {
        ++i;
        line += ' ';
        line += Trim(items[i].Text);
      }
    }
    ReadLine(line);
  }
  DropBadFaces();
  if (DroppedFaceCount > 0) {
    LogWrite("Model indices out of range ignored : " + std::string(file_name));
  }

  Positions.shrink_to_fit();
  TexCoords.shrink_to_fit();
  Normals.shrink_to_fit();
  for (TOBJGroup& group : Groups) {
    group.Faces.shrink_to_fit();
  }
}

void TOBJModel::ReadLine(std::string_view line) {
  std::string_view rest = line;
  const std::string_view keyword = NextToken(rest);
  if (keyword == "v") {
    float v[4] = {0, 0, 0, 1};
    ReadFloats(rest, v, 4);
    MakeRoom(Positions);
    Positions.push_back({v[0], v[1], v[2], v[3]});
    PositionCount = static_cast<int32_t>(Positions.size());
  } else if (keyword == "vt") {
    float v[3] = {0, 0, 1};
    ReadFloats(rest, v, 3);
    MakeRoom(TexCoords);
    TexCoords.push_back({v[0], v[1], v[2]});
    TexCoordCount = static_cast<int32_t>(TexCoords.size());
  } else if (keyword == "vn") {
    float v[3] = {0, 0, 0};
    ReadFloats(rest, v, 3);
    MakeRoom(Normals);
    Normals.push_back({v[0], v[1], v[2]});
    NormalCount = static_cast<int32_t>(Normals.size());
  } else if (keyword == "usemtl") {
    CurrentMaterial = std::string(rest);
  } else if (keyword == "mtllib") {
    LoadMaterialLib(rest);
  } else if (keyword == "g") {
    if (!Groups.empty()) {
      Groups.back().Faces.shrink_to_fit();
    }
    Groups.emplace_back();
    Groups.back().Name = std::string(rest);
  } else if (keyword == "f") {
    AddFace(rest);
  }
}

void TOBJModel::AddFace(std::string_view rest) {
  if (Groups.empty()) {
    Groups.emplace_back(); // faces before any "g"
  }
  TOBJGroup& group = Groups.back();
  MakeRoom(group.Faces);
  TOBJFace& face = group.Faces.emplace_back();
  face.Material = CurrentMaterial;
  while (!rest.empty()) {
    std::string_view token = NextToken(rest);
    std::string_view parts[3];
    int part_count = 0;
    while (part_count < 3) {
      const size_t slash = token.find('/');
      parts[part_count++] = token.substr(0, slash);
      if (slash == std::string_view::npos) {
        break;
      }
      token.remove_prefix(slash + 1);
    }
    TOBJCorner corner;
    corner.Position = part_count > 0 ? CornerPart(parts[0], PositionCount) : -1;
    corner.TexCoord = part_count > 1 ? CornerPart(parts[1], TexCoordCount) : -1;
    corner.Normal = part_count > 2 ? CornerPart(parts[2], NormalCount) : -1;
    face.Corners.push_back(corner);
  }
  face.Count = static_cast<int32_t>(face.Corners.size());
  group.Count = static_cast<int32_t>(group.Faces.size());
}

void TOBJModel::DropBadFaces() {
  const auto bad = [](int32_t index, int32_t count) { return index == 0 || index > count; };
  const auto bad_face = [&](const TOBJFace& face) {
    return std::any_of(face.Corners.begin(), face.Corners.end(), [&](const TOBJCorner& c) {
      return bad(c.Position, PositionCount) || bad(c.TexCoord, TexCoordCount) ||
             bad(c.Normal, NormalCount);
    });
  };
  for (TOBJGroup& group : Groups) {
    const size_t dropped = std::erase_if(group.Faces, bad_face);
    DroppedFaceCount += static_cast<int32_t>(dropped);
    group.Count = static_cast<int32_t>(group.Faces.size());
  }
}

void TOBJModel::LoadMaterialLib(std::string_view name) {
  AddMaterialLib(name, true);
}

void TOBJModel::AddMaterialLib(std::string_view name, bool named) {
  const std::string key = LowerCase(ExtractFileName(ChangeFileExt(ToBackslashes(name), ".mtl")));
  if (const auto known = library_names_.find(key); known != library_names_.end()) {
    Libraries[known->second]->Named = Libraries[known->second]->Named || named;
    return;
  }
  auto library = std::make_unique<TOBJMaterialLib>();
  library->Load(name);
  library->Named = named;
  const size_t at = Libraries.size();
  library_names_.try_emplace(LowerCase(ExtractFileName(library->FileName)), at);
  // Libraries come in load order, so a name already placed belongs to an earlier library.
  for (size_t i = 0; i < library->Materials.size(); ++i) {
    materials_.try_emplace(LowerCase(library->Materials[i].Name), MaterialPlace{at, i});
  }
  Libraries.push_back(std::move(library));
}

bool TOBJModel::FindMaterial(std::string_view name, TOBJMaterial& material) const {
  const auto found = materials_.find(LowerCase(name));
  if (found == materials_.end()) {
    return false;
  }
  const auto [library, index] = found->second;
  if (library < Libraries.size() && index < Libraries[library]->Materials.size() &&
      SameTextIgnoringCase(Libraries[library]->Materials[index].Name, name)) {
    material = Libraries[library]->Materials[index];
    return true;
  }
  // The libraries changed behind the index's back: the plain search still gives the right answer.
  for (const auto& each : Libraries) {
    if (each->Find(name, material)) {
      return true;
    }
  }
  return false;
}

TOBJGroup TOBJModel::GetGroup(int32_t i) const {
  if (i < 0 || i >= GroupCount()) {
    return {};
  }
  return Groups[static_cast<size_t>(i)];
}

Vector4f TOBJModel::GetPosition(int32_t i) const {
  return Entry(Positions, i, Vector4f{0, 0, 0, 1});
}

Vector3f TOBJModel::GetTexCoord(int32_t i) const {
  return Entry(TexCoords, i, Vector3f{0, 0, 1});
}

Vector3f TOBJModel::GetNormal(int32_t i) const {
  return Entry(Normals, i, Vector3f{0, 0, 0});
}

} // namespace meridia
