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

// One part of a corner word. Empty: absent. Negative: counted back from the end of the array as
// read so far. Zero, or back past the start: absent, and the file is reported.
int32_t CornerPart(std::string_view text, int32_t count, bool& bad) {
  if (text.empty()) {
    return -1;
  }
  const int64_t value = StrToIntDef0(text);
  if (value > 0) {
    return static_cast<int32_t>(value); // checked once the whole file is read
  }
  const int64_t from_end = value == 0 ? 0 : int64_t{count} + value + 1;
  if (from_end < 1) {
    bad = true;
    return -1;
  }
  return static_cast<int32_t>(from_end);
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
  LoadMaterialLib(ChangeFileExt(name, ".mtl"));

  std::string text = LoadFileToString(name);
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.erase(0, 3); // a UTF-8 byte-order mark would hide the first keyword
  }
  TzoStringList lines;
  lines.AddText(text, true);
  text = std::string();

  bad_index_ = false;
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
  CheckIndices();
  if (bad_index_) {
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
    corner.Position = part_count > 0 ? CornerPart(parts[0], PositionCount, bad_index_) : -1;
    corner.TexCoord = part_count > 1 ? CornerPart(parts[1], TexCoordCount, bad_index_) : -1;
    corner.Normal = part_count > 2 ? CornerPart(parts[2], NormalCount, bad_index_) : -1;
    face.Corners.push_back(corner);
  }
  face.Count = static_cast<int32_t>(face.Corners.size());
  group.Count = static_cast<int32_t>(group.Faces.size());
}

void TOBJModel::CheckIndices() {
  const auto check = [this](int32_t& index, int32_t count) {
    if (index > count) {
      index = -1;
      bad_index_ = true;
    }
  };
  for (TOBJGroup& group : Groups) {
    for (TOBJFace& face : group.Faces) {
      for (TOBJCorner& corner : face.Corners) {
        check(corner.Position, PositionCount);
        check(corner.TexCoord, TexCoordCount);
        check(corner.Normal, NormalCount);
      }
    }
  }
}

void TOBJModel::LoadMaterialLib(std::string_view name) {
  const std::string key = LowerCase(ExtractFileName(ChangeFileExt(ToBackslashes(name), ".mtl")));
  if (library_names_.contains(key)) {
    return;
  }
  auto library = std::make_unique<TOBJMaterialLib>();
  library->Load(name);
  library_names_.insert(LowerCase(ExtractFileName(library->FileName)));
  Libraries.push_back(std::move(library));
}

bool TOBJModel::FindMaterial(std::string_view name, TOBJMaterial& material) const {
  for (const auto& library : Libraries) {
    if (library->Find(name, material)) {
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
