// The Wavefront OBJ reader: positions, texture coordinates, normals and named groups of polygon
// faces, with the MTL libraries the file names. Once loaded, every corner part is -1 or a 1-based
// index inside its array, whatever the file said, so no reader ever indexes outside them: a face
// with a corner that points at nothing is left out whole.
#pragma once

#include "engine/VectorTypes.h"
#include "models/OBJMaterialLib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
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
  // Negative indices count back from the end of the array read so far. A face with an index
  // that points at no entry (0, or past the array once the whole file is read) is dropped, since
  // a corner made up at the origin would drag the model's bounds there; one log line for the
  // file, and DroppedFaceCount tells how many.
  void LoadFromFile(std::string_view file_name);
  // Loads the library unless one of the same file name (ignoring case, the extension taken as
  // ".mtl") is loaded already. A missing file still adds an empty library.
  void LoadMaterialLib(std::string_view name);
  // Asks every library in load order; the first match ignoring case is copied out. Found through
  // an index by name, so that a file of many materials is not searched once per face.
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
  // Faces the last load left out because an index pointed at nothing.
  int32_t DroppedFaceCount = 0;

private:
  struct MaterialPlace {
    size_t library;
    size_t material;
  };

  void ReadLine(std::string_view line);
  void AddFace(std::string_view rest);
  // Run once the whole file is read, when every array has its final length.
  void DropBadFaces();
  // named: by an "mtllib" line, rather than tried for the file's own name.
  void AddMaterialLib(std::string_view name, bool named);

  std::unordered_map<std::string, size_t> library_names_; // lower-case file name: library
  // Lower-case material name: where FindMaterial's scan in load order would stop first.
  std::unordered_map<std::string, MaterialPlace> materials_;
};

} // namespace meridia
