// The Wavefront OBJ reader: positions, texture coordinates, normals and named groups of polygon
// faces, with the MTL libraries the file names. Once loaded, every corner part is -1 or a 1-based
// index inside its array, whatever the file said, so no reader ever indexes outside them.
#pragma once

#include "engine/VectorTypes.h"
#include "models/OBJMaterialLib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace meridia {

// 1-based indices as in the file; -1 for a part the corner does not have.
struct TOBJCorner {
  int32_t Position = -1;
  int32_t TexCoord = -1;
  int32_t Normal = -1;
};

struct TOBJFace {
  int32_t Count = 0; // corners; no triangulation here
  std::vector<TOBJCorner> Corners;
  std::string Material; // the "usemtl" in effect when the face was read
};

struct TOBJGroup {
  std::string Name;
  std::vector<TOBJFace> Faces;
  int32_t Count = 0;
};

class TOBJModel {
public:
  // Reads the file with the current folder moved to the file's own, so that the names inside
  // resolve beside it; the folder is restored on the way out. The library named like the file
  // (".mtl") is always tried first. Faces before the first "g" go to a group without a name.
  // Negative indices count back from the end of the array read so far. An index that points
  // at no entry (0, or past the array once the whole file is read) leaves that part -1, with
  // one log line for the file.
  void LoadFromFile(std::string_view file_name);
  // Loads the library unless one of the same file name (ignoring case, the extension taken as
  // ".mtl") is loaded already. A missing file still adds an empty library.
  void LoadMaterialLib(std::string_view name);
  // Asks every library in load order; the first match ignoring case is copied out.
  bool FindMaterial(std::string_view name, TOBJMaterial& material) const;

  int32_t GroupCount() const { return static_cast<int32_t>(Groups.size()); }
  // 0-based; an empty group for an index out of range.
  TOBJGroup GetGroup(int32_t i) const;
  // 1-based as in the corners; the defaults (0, 0, 0, 1), (0, 0, 1) and (0, 0, 0) out of range.
  Vector4f GetPosition(int32_t i) const;
  Vector3f GetTexCoord(int32_t i) const;
  Vector3f GetNormal(int32_t i) const;

  std::vector<Vector4f> Positions;
  int32_t PositionCount = 0;
  std::vector<Vector3f> TexCoords;
  int32_t TexCoordCount = 0;
  std::vector<Vector3f> Normals;
  int32_t NormalCount = 0;
  std::vector<TOBJGroup> Groups;
  std::string CurrentMaterial;
  std::vector<std::unique_ptr<TOBJMaterialLib>> Libraries;

private:
  void ReadLine(std::string_view line);
  void AddFace(std::string_view rest);
  // Past the end once the whole file is read: the part is dropped.
  void CheckIndices();

  std::unordered_set<std::string> library_names_; // lower-case file names of Libraries
  bool bad_index_ = false;
};

} // namespace meridia
