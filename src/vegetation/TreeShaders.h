// The four vertex programs that draw trees: stems and leaves, animated in the wind or still for
// the impostor atlas. Program objects sit in a module-wide table by slot, one slot per program
// file; a file is compiled once however often it is asked for. A program the driver rejects is
// reported in an "Error" box with the driver's message and the native resources it used, and
// its slot then holds no program (-1).
#pragma once

#include "engine/Object.h"
#include "engine/StringList.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace meridia {

class TShaderInfo : public TObject {
public:
  uint32_t Target = 0; // the vertex program target once the program compiled
};

// The module's tables: program object ids by slot (-1: none), and the files by slot, lower-cased
// resolved paths with their TShaderInfo objects (owned by the list).
extern std::vector<int32_t> ProgramIds;
extern TzoStringList* ProgramFiles;

// Module initialisation and finalisation: create and free the tables. The program objects are
// left to the rendering context, which takes them when it ends.
void CreateShaderTables();
void FreeShaderTables();

class TTreeShaders {
public:
  // Shows an error box captioned "Error" with the text.
  using ShowErrorFunction = std::function<void(const std::string& text)>;

  explicit TTreeShaders(ShowErrorFunction show_error) : show_error_(std::move(show_error)) {}

  // Reads the native vertex program maxima, then loads "treevp", "leafvp", "treestaticvp" and
  // "leafstaticvp" into the four slots.
  void InitTreeShaders();
  // The slot of the program file "base/shaders/<name>.txt". A file already loaded gives its
  // slot at once unless reload is set, which compiles it again into the same program object.
  int32_t LoadVertexProgram(const std::string& name, bool reload);

  // Instructions, temporaries, parameters, attributes, ALU instructions, TEX instructions,
  // texture indirections.
  std::array<int32_t, 7> VertexLimits{};
  int32_t TreeProgram = 0;
  int32_t LeafProgram = 0;
  int32_t TreeStaticProgram = 0;
  int32_t LeafStaticProgram = 0;

private:
  ShowErrorFunction show_error_;
};

} // namespace meridia
