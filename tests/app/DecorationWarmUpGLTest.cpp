// The start-up warm-up of the decorations against a real driver: whatever it draws, the frames
// after it must not be able to tell.
#include "app/DecorationWarmUp.h"

#include "decoders/ImageDecoders.h"
#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "models/Building.h"
#include "models/ModelInstance.h"
#include "platform/GLLibraries.h"
#include "storage/Log.h"
#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;

constexpr int kSize = 128;

// The impostor atlases are copied from a frame buffer with alpha, as the program's window has.
struct AlphaFrameBuffer {
  AlphaFrameBuffer() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
      SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    }
  }
  ~AlphaFrameBuffer() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

// What a later frame could see of the state the warm-up passed through.
struct GLState {
  std::vector<float> floats;
  std::vector<int> ints;
  bool operator==(const GLState&) const = default;
};

GLState ReadState() {
  GLState state;
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  for (const GLenum matrix : {GL_MODELVIEW, GL_PROJECTION, GL_MATRIX0_ARB}) {
    glMatrixMode(matrix);
    float m[16];
    glGetFloatv(GL_CURRENT_MATRIX_ARB, m);
    state.floats.insert(state.floats.end(), m, m + 16);
    GLint depth = 0;
    glGetIntegerv(GL_CURRENT_MATRIX_STACK_DEPTH_ARB, &depth);
    state.ints.push_back(depth);
  }
  glMatrixMode(static_cast<GLenum>(mode));
  state.ints.push_back(mode);
  for (const GLenum value : {GL_COLOR_CLEAR_VALUE, GL_CURRENT_COLOR}) {
    float v[4];
    glGetFloatv(value, v);
    state.floats.insert(state.floats.end(), v, v + 4);
  }
  for (const GLenum value : {GL_TEXTURE_BINDING_2D,
                             GL_ACTIVE_TEXTURE_ARB,
                             GL_CLIENT_ACTIVE_TEXTURE_ARB,
                             GL_ARRAY_BUFFER_BINDING_ARB,
                             GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB,
                             GL_VERTEX_ARRAY,
                             GL_NORMAL_ARRAY,
                             GL_COLOR_ARRAY,
                             GL_TEXTURE_COORD_ARRAY,
                             GL_DEPTH_TEST,
                             GL_DEPTH_WRITEMASK,
                             GL_CULL_FACE,
                             GL_BLEND,
                             GL_ALPHA_TEST,
                             GL_LIGHTING,
                             GL_LIGHT0,
                             GL_COLOR_MATERIAL,
                             GL_TEXTURE_2D,
                             GL_VERTEX_PROGRAM_ARB,
                             GL_SCISSOR_TEST}) {
    GLint v = 0;
    glGetIntegerv(value, &v);
    state.ints.push_back(v);
  }
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  state.ints.insert(state.ints.end(), viewport, viewport + 4);
  return state;
}

class DecorationWarmUpGL : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    alpha_ = new AlphaFrameBuffer();
    context_ = new testing::OffscreenGLContext(kSize, kSize);
    folder_ = new testing::TemporaryFolder(testing::TemporaryFolder::Enter::kYes);
    if (!context_->Ready() || !platform::LoadGLLibraries()) {
      return;
    }
    LoadGLEntryPoints();
    ReadGLImplementation();
    DropOptionalEntryPointsNotOffered();
    for (const char* folder : {"base/shaders", "base/textures/trees", "base/models/city/47"}) {
      fs::create_directories(folder);
      fs::copy(fs::path(MERIDIA_RUN_DIR) / folder, folder, fs::copy_options::recursive);
    }
    LogStart(*folder_ / "test.zolog");
    RegisterImageDecoders();
    CreateShaderTables();
    CreateTreeTextureTables();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    SetRandSeed(500);
    BuildingModels().clear();
    InitCity();
    CreateTreeKinds([](const std::string&) {});
  }
  static void TearDownTestSuite() {
    FreeTreeKinds();
    BuildingModels().clear();
    FreeTreeTextureTables();
    FreeShaderTables();
    UnregisterImageDecoders();
    LogFinish();
    platform::FreeGLLibraries();
    delete folder_;
    delete context_;
    delete alpha_;
  }

  // Both kinds near, in between and far, and a building, as the decoration pass leaves them.
  static std::vector<uint8_t> DrawScene() {
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.01, 0.01, -0.01, 0.01, 0.01, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float lods[] = {0.0f, 0.9f, 1.5f};
    for (size_t i = 0; i < 6; ++i) {
      TTreeInstance tree;
      const Vector3f position{-0.004f + 0.0016f * static_cast<float>(i), -0.003f, -0.02f};
      tree.Setup(TreeKinds[i % 2].get(), position, {0, 1, 0}, 30.0f * static_cast<float>(i));
      tree.Render({0, 0, 0}, lods[i / 2]);
    }
    TModelInstance building;
    building.Setup(BuildingModels()[0].get(), {0.003f, -0.003f, -0.015f}, {0, 1, 0}, 0);
    building.Render();
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }

  static AlphaFrameBuffer* alpha_;
  static testing::OffscreenGLContext* context_;
  static testing::TemporaryFolder* folder_;
};

AlphaFrameBuffer* DecorationWarmUpGL::alpha_ = nullptr;
testing::OffscreenGLContext* DecorationWarmUpGL::context_ = nullptr;
testing::TemporaryFolder* DecorationWarmUpGL::folder_ = nullptr;

TEST_F(DecorationWarmUpGL, DrawsYetLeavesPicturesStateCountersAndTheSharedGeneratorUnchanged) {
  ASSERT_TRUE(context_->Ready()) << SDL_GetError();
  ASSERT_EQ(TreeKinds.size(), 2u);
  ASSERT_EQ(BuildingModels().size(), 1u);
  ASSERT_FALSE(BuildingModels()[0]->Shapes.empty());

  const std::vector<uint8_t> before = DrawScene();
  ASSERT_GT(std::count_if(before.begin(), before.end(), [](uint8_t v) { return v != 0; }), 1000)
      << "the scene shows trees and a building";

  SetRandSeed(777);
  const int32_t next_draw = Random(1000000);
  SetRandSeed(777);
  TrisCount = 11;
  TreesDrawn = 12;
  TreeImpostorsDrawn = 13;
  BuildingsDrawn = 14;
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glColor4f(0.5f, 0.25f, 1.0f, 1.0f);
  const GLState state = ReadState();

  const auto gen = reinterpret_cast<PFNGLGENQUERIESPROC>(SDL_GL_GetProcAddress("glGenQueries"));
  const auto begin = reinterpret_cast<PFNGLBEGINQUERYPROC>(SDL_GL_GetProcAddress("glBeginQuery"));
  const auto end = reinterpret_cast<PFNGLENDQUERYPROC>(SDL_GL_GetProcAddress("glEndQuery"));
  const auto result =
      reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(SDL_GL_GetProcAddress("glGetQueryObjectuiv"));
  ASSERT_TRUE(gen != nullptr && begin != nullptr && end != nullptr && result != nullptr);
  GLuint query = 0;
  gen(1, &query);
  begin(GL_SAMPLES_PASSED, query);
  WarmUpDecorations();
  end(GL_SAMPLES_PASSED);
  GLuint samples = 0;
  result(query, GL_QUERY_RESULT, &samples);
  EXPECT_GT(samples, 0u) << "the warm-up draws, in view";

  EXPECT_EQ(Random(1000000), next_draw);
  EXPECT_EQ(TrisCount, 11);
  EXPECT_EQ(TreesDrawn, 12);
  EXPECT_EQ(TreeImpostorsDrawn, 13);
  EXPECT_EQ(BuildingsDrawn, 14);
  EXPECT_TRUE(ReadState() == state);
  EXPECT_EQ(DrawScene(), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia
