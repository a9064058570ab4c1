// A Wavefront MTL material library: the materials of one file, in file order, found by name
// ignoring case through an index that Load builds. A missing or unreadable file leaves the
// library empty, never absent.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace meridia {

// Every field starts empty or zero, the colours at (0, 0, 0, 1): that is also the material a
// name that no library knows stands for.
struct TOBJMaterial {
  std::string Name;
  Vector4f Ka{0, 0, 0, 1};
  Vector4f Kd{0, 0, 0, 1};
  Vector4f Ks{0, 0, 0, 1};
  int32_t Illum = 0;
  float Ns = 0;
  std::string MapKa;
  std::string MapKd;
  std::string MapKs;
  std::string MapBump;
  std::string MapD;
  float D = 0;
  float Ni = 0;
  int32_t Reserved = 0; // no keyword sets it
};

// Separators between the words of an OBJ or MTL line.
inline constexpr std::string_view kOBJSeparators = "\t\n\r ";

// The word before the first separator (the whole line without one); removes it and the run of
// separators after it from the front of line.
std::string_view NextToken(std::string_view& line);

// Up to count numbers from the front of line into values, which keep their defaults past the
// last word; text that is not a number reads as 0.
void ReadFloats(std::string_view line, float* values, int count);

bool SameTextIgnoringCase(std::string_view a, std::string_view b);

class TOBJMaterialLib {
public:
  // Replaces the materials with those of the file. Keywords are case-sensitive; property lines
  // before the first "newmtl" have no material to go to and are skipped, as is a UTF-8
  // byte-order mark.
  void Load(std::string_view file_name);
  // The first material whose name equals name ignoring case, copied out.
  bool Find(std::string_view name, TOBJMaterial& material) const;

  std::string FileName;
  std::vector<TOBJMaterial> Materials; // as Load left them: the index describes them
  bool Found = false;                  // the file was there to read
  bool Named = false; // named by an "mtllib" line, not only tried for the model's own name

private:
  std::unordered_map<std::string, size_t> index_; // lower-case name: its first material
};

} // namespace meridia
