// The tree vertex programs against a real driver (Mesa, headless): loading by slot, the error
// box, reloads, and what the four shipped programs do to a leaf and a stem.
#include "vegetation/TreeShaders.h"

#include "app/FakePlatform.h"
#include "gl/GLEntryPoints.h"
#include "platform/GLLibraries.h"
#include "storage/Log.h"
#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPrograms[] = {"treevp", "leafvp", "treestaticvp", "leafstaticvp"};
constexpr int kSize = 64;

// A program that passes through position and colour.
constexpr const char* kPlainProgram = "!!ARBvp1.0\n"
                                      "MOV result.position, vertex.position;\n"
                                      "MOV result.color, vertex.color;\n"
                                      "END\n";

class TreeShadersGL : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(context_.Ready()) << SDL_GetError();
    ASSERT_TRUE(platform::LoadGLLibraries());
    LoadGLEntryPoints();
    fs::create_directories("base/shaders");
    ASSERT_TRUE(LogStart(folder_ / "test.zolog"));
    CreateShaderTables();
  }
  void TearDown() override {
    FreeShaderTables();
    LogFinish();
    platform::FreeGLLibraries();
  }

  static void Write(const std::string& name, const std::string& text) {
    std::ofstream("base/shaders/" + name + ".txt", std::ios::binary) << text;
  }
  static void CopyShippedPrograms() {
    for (const char* name : kPrograms) {
      const std::string file = std::string(name) + ".txt";
      fs::copy_file(fs::path(MERIDIA_RUN_DIR) / "base" / "shaders" / file,
                    fs::path("base/shaders") / file);
    }
  }
  std::vector<std::string> LogLines() const {
    std::ifstream in(folder_ / "test.zolog");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      // Past the time stamp "[hh:mm:ss:mmm] ".
      lines.push_back(line.size() > 15 ? line.substr(15) : line);
    }
    return lines;
  }
  int LogCount(const std::string& line) const {
    const auto lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }

  testing::OffscreenGLContext context_{kSize, kSize};
  testing::TemporaryFolder folder_{testing::TemporaryFolder::Enter::kYes};
  testing::FakePlatform platform_;
  TTreeShaders shaders_{[this](const std::string& text) { platform_.MessageBox(text, "Error"); }};
};

TEST_F(TreeShadersGL, TheFourShippedProgramsCompileIntoFourSlots) {
  CopyShippedPrograms();
  shaders_.InitTreeShaders();
  EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes.front();
  EXPECT_EQ(std::vector<int32_t>({shaders_.TreeProgram, shaders_.LeafProgram,
                                  shaders_.TreeStaticProgram, shaders_.LeafStaticProgram}),
            (std::vector<int32_t>{0, 1, 2, 3}));
  ASSERT_EQ(ProgramIds.size(), 4u);
  ASSERT_EQ(ProgramFiles->Count, 4);
  for (int slot = 0; slot < 4; ++slot) {
    const std::string name = kPrograms[slot];
    // The resolved name, as the data manager joins folder and file.
    EXPECT_EQ(ProgramFiles->Items[slot].Text, "base/shaders\\" + name + ".txt");
    EXPECT_EQ(static_cast<TShaderInfo*>(ProgramFiles->Items[slot].Object)->Target,
              static_cast<uint32_t>(GL_VERTEX_PROGRAM_ARB));
    EXPECT_GT(ProgramIds[slot], 0);
    EXPECT_EQ(glIsProgramARB(static_cast<GLuint>(ProgramIds[slot])), GL_TRUE);
    EXPECT_EQ(LogCount("Loading shader: " + name), 1) << name;
    EXPECT_EQ(LogCount("Shader compiled: " + name), 1) << name;
  }
  // The driver's maxima, in their order.
  const GLenum limits[7] = {
      GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB,
      GL_MAX_PROGRAM_NATIVE_TEMPORARIES_ARB,
      GL_MAX_PROGRAM_NATIVE_PARAMETERS_ARB,
      GL_MAX_PROGRAM_NATIVE_ATTRIBS_ARB,
  };
  for (int i = 0; i < 4; ++i) {
    GLint value = 0;
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, limits[i], &value);
    EXPECT_EQ(shaders_.VertexLimits[i], value) << i;
    EXPECT_GT(value, 0) << i;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TreeShadersGL, ASecondLoadGivesTheSameSlotAndCompilesNothing) {
  Write("plain", kPlainProgram);
  Write("other", kPlainProgram);
  const int32_t slot = shaders_.LoadVertexProgram("plain", false);
  const int32_t id = ProgramIds[slot];
  EXPECT_EQ(shaders_.LoadVertexProgram("other", false), slot + 1);
  EXPECT_EQ(shaders_.LoadVertexProgram("plain", false), slot);
  EXPECT_EQ(ProgramIds[slot], id);
  EXPECT_EQ(ProgramIds.size(), 2u);
  EXPECT_EQ(LogCount("Loading shader: plain"), 2);
  EXPECT_EQ(LogCount("Shader compiled: plain"), 1);
  EXPECT_TRUE(platform_.boxes.empty());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, '\n');) {
    lines.push_back(line);
  }
  return lines;
}

TEST_F(TreeShadersGL, AProgramTheDriverRejectsIsReportedLineForLine) {
  CopyShippedPrograms();
  shaders_.InitTreeShaders();
  Write("broken", "!!ARBvp1.0\nMOV result.position, nowhere;\nEND\n");
  const int32_t slot = shaders_.LoadVertexProgram("broken", false);
  EXPECT_EQ(slot, 4);
  EXPECT_EQ(ProgramIds[slot], -1);
  EXPECT_EQ(static_cast<TShaderInfo*>(ProgramFiles->Items[slot].Object)->Target, 0u);
  EXPECT_EQ(LogCount("Loading shader: broken"), 1);
  EXPECT_EQ(LogCount("Shader compiled: broken"), 0);

  ASSERT_EQ(platform_.boxes.size(), 1u);
  const std::string prefix = "Error: "; // the caption, as the fake records it
  ASSERT_EQ(platform_.boxes[0].substr(0, prefix.size()), prefix);
  const std::string text = platform_.boxes[0].substr(prefix.size());
  // Every line ends with a single line feed; no carriage return anywhere.
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);

  GLint position = 0;
  glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
  EXPECT_GE(position, 0);
  // The driver's message, without the line feed Mesa ends it with.
  std::string error = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
  while (!error.empty() && error.back() == '\n') {
    error.pop_back();
  }
  EXPECT_FALSE(error.empty());
  const char* counts[7] = {
      "Instructions: ",     "Temps: ",           "Params: ", "Attribs: ", "ALU Instructions: ",
      "TEX Instructions: ", "Tex Indirections: "};
  std::vector<std::string> expected = {"Shader broken",
                                       "ARB_vertex_program",
                                       "Error: " + error,
                                       "Error Position: " + std::to_string(position),
                                       "",
                                       "Native Resources:"};
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 22u) << text;

  // The program's own use: a number after each name (a rejected program has none to speak of).
  for (int i = 0; i < 7; ++i) {
    const std::string& line = lines[6 + i];
    ASSERT_EQ(line.substr(0, std::string(counts[i]).size()), counts[i]) << text;
    expected.push_back(counts[i] +
                       std::to_string(std::stoi(line.substr(std::string(counts[i]).size()))));
  }
  expected.push_back("");
  expected.push_back("Vertex Program Native Maximums:");
  // The driver's own numbers, asked here in the box's order. The last three are fragment
  // quantities that a driver may refuse for a vertex program, leaving 0.
  const GLenum limits[7] = {
      GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB,     GL_MAX_PROGRAM_NATIVE_TEMPORARIES_ARB,
      GL_MAX_PROGRAM_NATIVE_PARAMETERS_ARB,       GL_MAX_PROGRAM_NATIVE_ATTRIBS_ARB,
      GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB,
      GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB,
  };
  for (int i = 0; i < 7; ++i) {
    GLint value = 0;
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, limits[i], &value);
    expected.push_back(counts[i] + std::to_string(value));
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  EXPECT_EQ(lines, expected);
}

TEST_F(TreeShadersGL, AReloadCompilesIntoTheSameProgramAndKeepsItWhenTheNewTextFails) {
  Write("swap", kPlainProgram);
  const int32_t slot = shaders_.LoadVertexProgram("swap", false);
  const int32_t id = ProgramIds[slot];
  ASSERT_GT(id, 0);

  Write("swap", "!!ARBvp1.0\nbroken\nEND\n");
  EXPECT_EQ(shaders_.LoadVertexProgram("swap", true), slot);
  EXPECT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(ProgramIds[slot], id);
  EXPECT_EQ(glIsProgramARB(static_cast<GLuint>(id)), GL_TRUE);

  Write("swap", std::string(kPlainProgram) + "# and a comment\n");
  EXPECT_EQ(shaders_.LoadVertexProgram("swap", true), slot);
  EXPECT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(ProgramIds[slot], id);
  EXPECT_EQ(LogCount("Shader compiled: swap"), 2);

  // A file whose first compile failed has no program to reload into: it gets a new one.
  Write("late", "!!ARBvp1.0\nbroken\nEND\n");
  const int32_t late = shaders_.LoadVertexProgram("late", false);
  EXPECT_EQ(ProgramIds[late], -1);
  Write("late", kPlainProgram);
  EXPECT_EQ(shaders_.LoadVertexProgram("late", true), late);
  EXPECT_GT(ProgramIds[late], 0);
  EXPECT_EQ(glIsProgramARB(static_cast<GLuint>(ProgramIds[late])), GL_TRUE);
  EXPECT_EQ(platform_.boxes.size(), 2u);
}

TEST_F(TreeShadersGL, AMissingFileFailsToCompileAndIsReported) {
  const int32_t slot = shaders_.LoadVertexProgram("absent", false);
  EXPECT_EQ(ProgramIds[slot], -1);
  ASSERT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(platform_.boxes[0].rfind("Error: Shader absent\nARB_vertex_program\n", 0), 0u);
  EXPECT_EQ(LogCount("Loading shader: absent"), 1);
  EXPECT_EQ(LogCount("Shader compiled: absent"), 0);
  EXPECT_EQ(ProgramFiles->Items[slot].Text, "base/shaders\\absent");
}

// Lit pixels of the frame and the columns they span.
struct Coverage {
  int pixels = 0;
  int left = kSize, right = -1;
};

Coverage Measure() {
  std::vector<uint8_t> rgba(kSize * kSize * 4);
  glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  Coverage coverage;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      if (rgba[(y * kSize + x) * 4] > 16) {
        ++coverage.pixels;
        coverage.left = std::min(coverage.left, x);
        coverage.right = std::max(coverage.right, x);
      }
    }
  }
  return coverage;
}

uint8_t CentreRed() {
  uint8_t rgba[4] = {};
  glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return rgba[0];
}

// Draws one square through the program of the slot: as a leaf, four corner offsets of
// +-half around the centre; as a stem, the same square placed at the centre in the XY plane.
// The frame is 2 units wide, under an orthographic projection.
class ProgramPicture : public TreeShadersGL {
protected:
  void SetUp() override {
    TreeShadersGL::SetUp();
    if (HasFatalFailure()) {
      return;
    }
    CopyShippedPrograms();
    shaders_.InitTreeShaders();
    ASSERT_TRUE(platform_.boxes.empty());
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -4, 4);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_VERTEX_PROGRAM_ARB);
  }
  void TearDown() override {
    glDisable(GL_VERTEX_PROGRAM_ARB);
    TreeShadersGL::TearDown();
  }

  Coverage Draw(int32_t slot, bool leaf, float half, float sway, float nz = 1.0f) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, static_cast<GLuint>(ProgramIds[slot]));
    // Local parameters belong to the program bound.
    glProgramLocalParameter4fARB(GL_VERTEX_PROGRAM_ARB, 0, wind_x, 0, 0, 0);
    const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    glBegin(GL_QUADS);
    for (const auto& corner : corners) {
      glColor4f(1, 1, 1, 1);
      glNormal3f(0, 0, nz);
      glMultiTexCoord3fARB(GL_TEXTURE0_ARB, 0, 0, sway);
      glMultiTexCoord3fARB(GL_TEXTURE1_ARB, centre_x, 0, 0);
      if (leaf) {
        glVertex3f(corner[0], corner[1], 0);
      } else {
        glVertex3f(centre_x + corner[0], corner[1], 0);
      }
    }
    glEnd();
    return Measure();
  }

  float centre_x = 0.0f;
  float wind_x = 0.0f;
};

TEST_F(ProgramPicture, LeavesFaceTheViewerFromAnySideAndScaleWithTheTree) {
  // Half a unit wide: 16 by 16 pixels whichever way the tree stands to the viewer.
  for (const float turn : {0.0f, 90.0f, 135.0f}) {
    glLoadIdentity();
    glRotatef(turn, 0, 1, 0);
    glRotatef(turn / 3, 1, 0, 0);
    for (int32_t slot : {shaders_.LeafStaticProgram, shaders_.LeafProgram}) {
      EXPECT_NEAR(Draw(slot, true, 0.25f, 0).pixels, 256, 24) << turn << " " << slot;
    }
    // A stem square in the same place is seen edge-on once turned a quarter.
    if (turn == 90.0f) {
      EXPECT_EQ(Draw(shaders_.TreeStaticProgram, false, 0.25f, 0).pixels, 0);
    }
  }
  glLoadIdentity();
  glScalef(0.5f, 0.5f, 0.5f);
  EXPECT_NEAR(Draw(shaders_.LeafStaticProgram, true, 0.25f, 0).pixels, 64, 12);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ProgramPicture, TheWindMovesTipsNotTrunksAndTheTurnCarriesTheTree) {
  wind_x = 0.5f;
  for (int32_t slot : {shaders_.TreeProgram, shaders_.LeafProgram}) {
    const bool leaf = slot == shaders_.LeafProgram;
    const Coverage trunk = Draw(slot, leaf, 0.25f, 0);
    const Coverage tip = Draw(slot, leaf, 0.25f, 1);
    // 0.5 units of wind is 16 pixels to the right at full sway, none at the trunk.
    EXPECT_NEAR(trunk.left, 24, 1) << slot;
    EXPECT_NEAR(tip.left - trunk.left, 16, 1) << slot;
    EXPECT_EQ(tip.pixels, trunk.pixels) << slot;
  }
  // The still programs ignore the wind.
  for (int32_t slot : {shaders_.TreeStaticProgram, shaders_.LeafStaticProgram}) {
    EXPECT_NEAR(Draw(slot, slot == shaders_.LeafStaticProgram, 0.25f, 1).left, 24, 1);
  }
  wind_x = 0.0f;

  // A quarter turn about +Y takes a point half a unit right of the axis onto the axis: the stem
  // square turns edge-on, the leaf comes to the middle still facing the viewer.
  glMatrixMode(GL_MATRIX0_ARB);
  glLoadIdentity();
  glRotatef(90, 0, 1, 0);
  glMatrixMode(GL_MODELVIEW);
  centre_x = 0.5f;
  EXPECT_EQ(Draw(shaders_.TreeProgram, false, 0.25f, 0).pixels, 0);
  const Coverage leaf = Draw(shaders_.LeafProgram, true, 0.25f, 0);
  EXPECT_NEAR(leaf.left, 24, 1);
  EXPECT_NEAR(leaf.pixels, 256, 24);
  // The impostor programs show the tree unturned.
  EXPECT_NEAR(Draw(shaders_.LeafStaticProgram, true, 0.25f, 0).left, 40, 1);
  glMatrixMode(GL_MATRIX0_ARB);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ProgramPicture, StemsAreShadedByTheFixedLightLeavesKeepTheirColour) {
  // Light 0 by default shines along the view axis: a stem facing it is fully lit, one facing
  // away gets only the ambient share; a leaf's colour is its own either way.
  for (int32_t slot : {shaders_.TreeProgram, shaders_.TreeStaticProgram}) {
    Draw(slot, false, 0.25f, 0, 1.0f);
    EXPECT_GE(CentreRed(), 250) << slot;
    Draw(slot, false, 0.25f, 0, -1.0f);
    EXPECT_NEAR(CentreRed(), 0.35 * 255, 3) << slot;
  }
  for (int32_t slot : {shaders_.LeafProgram, shaders_.LeafStaticProgram}) {
    Draw(slot, true, 0.25f, 0, -1.0f);
    EXPECT_GE(CentreRed(), 250) << slot;
  }
}

} // namespace
} // namespace meridia
