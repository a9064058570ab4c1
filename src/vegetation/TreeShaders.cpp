#include "vegetation/TreeShaders.h"

#include "engine/Strings.h"
#include "gl/GLEntryPoints.h"
#include "storage/DataManager.h"
#include "storage/Log.h"

namespace meridia {

std::vector<int32_t> ProgramIds;
TzoStringList* ProgramFiles = nullptr;

namespace {

// The order of VertexLimits and of the counts in the error box.
constexpr GLenum kNativeLimits[7] = {
    GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB,     GL_MAX_PROGRAM_NATIVE_TEMPORARIES_ARB,
    GL_MAX_PROGRAM_NATIVE_PARAMETERS_ARB,       GL_MAX_PROGRAM_NATIVE_ATTRIBS_ARB,
    GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
    GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
};
constexpr GLenum kNativeCounts[7] = {
    GL_PROGRAM_NATIVE_INSTRUCTIONS_ARB,     GL_PROGRAM_NATIVE_TEMPORARIES_ARB,
    GL_PROGRAM_NATIVE_PARAMETERS_ARB,       GL_PROGRAM_NATIVE_ATTRIBS_ARB,
    GL_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, GL_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
    GL_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
};
constexpr const char* kCountNames[7] = {
    "Instructions: ",     "Temps: ",
    "Params: ",           "Attribs: ",
    "ALU Instructions: ", "TEX Instructions: ",
    "Tex Indirections: ",
};

// The last three are fragment-program quantities: a driver may refuse them for a vertex program
// with GL_INVALID_ENUM and leave the value alone. What is left is 0; the error is taken back
// out so that it is not blamed on whatever runs next.
std::array<int32_t, 7> QueryProgram(const GLenum (&names)[7]) {
  std::array<int32_t, 7> values{};
  for (size_t i = 0; i < values.size(); ++i) {
    GLint value = 0;
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, names[i], &value);
    values[i] = value;
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  return values;
}

std::string ErrorMessage(const std::string& name, const std::string& error, int32_t position,
                         const std::array<int32_t, 7>& native,
                         const std::array<int32_t, 7>& limits) {
  std::string text = "Shader " + name + "\n" + "ARB_vertex_program\n" + "Error: " + error + "\n" +
                     "Error Position: " + std::to_string(position) + "\n" + "\n" +
                     "Native Resources:\n";
  for (size_t i = 0; i < native.size(); ++i) {
    text += kCountNames[i] + std::to_string(native[i]) + "\n";
  }
  text += "\nVertex Program Native Maximums:\n";
  for (size_t i = 0; i < limits.size(); ++i) {
    text += kCountNames[i] + std::to_string(limits[i]) + "\n";
  }
  return text;
}

} // namespace

void CreateShaderTables() {
  FreeShaderTables();
  ProgramFiles = new TzoStringList();
}

void FreeShaderTables() {
  if (ProgramFiles != nullptr) {
    ProgramFiles->FreeObjects();
    ProgramFiles->SetCount(0);
    delete ProgramFiles;
    ProgramFiles = nullptr;
  }
  ProgramIds.clear();
}

void TTreeShaders::InitTreeShaders() {
  VertexLimits = QueryProgram(kNativeLimits);
  TreeProgram = LoadVertexProgram("treevp", false);
  LeafProgram = LoadVertexProgram("leafvp", false);
  TreeStaticProgram = LoadVertexProgram("treestaticvp", false);
  LeafStaticProgram = LoadVertexProgram("leafstaticvp", false);
}

int32_t TTreeShaders::LoadVertexProgram(const std::string& name, bool reload) {
  // Made on first use where module start-up has not made them (a scene built by a test).
  if (ProgramFiles == nullptr) {
    CreateShaderTables();
  }
  LogWrite("Loading shader: " + name);
  static const std::string kFolders[] = {"base/shaders"};
  static const std::string kExtensions[] = {"txt"};
  const std::string path = FindFile(name, kFolders, kExtensions);
  const std::string text = LoadFileToString(path);

  const std::string key = LowerCase(path);
  int32_t slot = ProgramFiles->IndexOf(key, nullptr);
  if (slot < 0) {
    slot = ProgramFiles->AddObject(key, new TShaderInfo());
    ProgramIds.resize(static_cast<size_t>(ProgramFiles->Count), -1);
  } else if (!reload) {
    return slot;
  }
  auto* info = static_cast<TShaderInfo*>(ProgramFiles->Items[static_cast<size_t>(slot)].Object);

  int32_t& id = ProgramIds[static_cast<size_t>(slot)];
  // A reload compiles into the program it has; a slot whose first compile failed has none, and
  // binding -1 would quietly make a program of that name, so it gets a new one.
  const bool fresh = !reload || id < 0;
  if (fresh) {
    GLuint program = 0;
    glGenProgramsARB(1, &program);
    id = static_cast<int32_t>(program);
  }
  glBindProgramARB(GL_VERTEX_PROGRAM_ARB, static_cast<GLuint>(id));
  glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                     static_cast<GLsizei>(text.size()), text.data());

  GLint position = 0;
  glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
  const GLubyte* error_text = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
  std::string error =
      error_text != nullptr ? std::string(reinterpret_cast<const char*>(error_text)) : "";
  // Drivers end the message with a line break of their own (Mesa does); the box has one item a
  // line, so it goes.
  while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) {
    error.pop_back();
  }
  const std::array<int32_t, 7> native = QueryProgram(kNativeCounts);

  if (position <= -1) {
    info->Target = GL_VERTEX_PROGRAM_ARB;
    LogWrite("Shader compiled: " + name);
    return slot;
  }
  const std::string message = ErrorMessage(name, error, position, native, VertexLimits);
  if (show_error_) {
    show_error_(message);
  } else {
    LogWrite(message);
  }
  if (fresh) {
    const GLuint program = static_cast<GLuint>(id);
    glDeleteProgramsARB(1, &program);
    id = -1;
  }
  return slot;
}

} // namespace meridia
