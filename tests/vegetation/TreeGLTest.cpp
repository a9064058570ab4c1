// A grown tree kind against a real driver (Mesa, headless): its textures and buffers, the
// impostor atlas, and what Render draws near and far, still and in the wind.
#include "vegetation/Tree.h"

#include "decoders/ImageDecoders.h"
#include "engine/Random.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "platform/GLLibraries.h"
#include "storage/Log.h"
#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"
#include "vegetation/Wind.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;

constexpr int kSize = 256;
constexpr int kAtlas = 1024;

// The atlas is copied from the frame buffer, so the frame buffer needs alpha: asked for before
// the context exists (the program's window asks for it too).
struct AlphaFrameBuffer {
  AlphaFrameBuffer() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
      SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    }
  }
  ~AlphaFrameBuffer() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

// What the suite shares: the context, a runnable folder with the shipped programs and pictures,
// and kind 0 generated in it.
struct Scene {
  AlphaFrameBuffer alpha;
  testing::OffscreenGLContext context{kSize, kSize};
  testing::TemporaryFolder folder{testing::TemporaryFolder::Enter::kYes};
  std::unique_ptr<TTreeShaders> shaders;
  std::unique_ptr<TTree> tree;
};
Scene* g_scene = nullptr;

class TreeGL : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    g_scene = new Scene();
    if (!g_scene->context.Ready() || !platform::LoadGLLibraries()) {
      return;
    }
    LoadGLEntryPoints();
    ReadGLImplementation();
    DropOptionalEntryPointsNotOffered();
    for (const char* folder : {"base/shaders", "base/textures/trees"}) {
      fs::create_directories(folder);
      fs::copy(fs::path(MERIDIA_RUN_DIR) / folder, folder);
    }
    LogStart(g_scene->folder / "test.zolog");
    RegisterImageDecoders();
    CreateShaderTables();
    CreateTreeTextureTables();
    g_scene->shaders = std::make_unique<TTreeShaders>([](const std::string&) {});
    g_scene->shaders->InitTreeShaders();
    glEnable(GL_DEPTH_TEST);
    SetRandSeed(500);
    g_scene->tree = std::make_unique<TTree>();
    g_scene->tree->Generate(*g_scene->shaders, 0, kAtlas);
  }
  static void TearDownTestSuite() {
    g_scene->tree.reset();
    FreeTreeTextureTables();
    FreeShaderTables();
    UnregisterImageDecoders();
    LogFinish();
    platform::FreeGLLibraries();
    delete g_scene;
    g_scene = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(g_scene->context.Ready()) << SDL_GetError();
    ASSERT_TRUE(g_scene->tree != nullptr);
  }

  TTree& Tree() { return *g_scene->tree; }

  // Looks at the tree base from the given heading (degrees about +Y, 0 from +Z) under an
  // orthographic view a little wider than the tree, draws it at lod and turn, and returns the
  // pixels that are not background.
  std::vector<bool> Picture(float heading, float lod, float turn) {
    TTree& tree = Tree();
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double w = tree.BoundRadius * 1.4;
    glOrtho(-w, w, -1, tree.BoundHeight * 1.1, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-heading, 0, 1, 0);
    const double radians = heading * 3.14159265358979 / 180.0;
    const Vector3f camera{static_cast<float>(50 * std::sin(radians)), 0,
                          static_cast<float>(50 * std::cos(radians))};
    tree.Render({0, 0, 0}, camera, lod, turn);
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<bool> lit(kSize * kSize);
    for (size_t i = 0; i < lit.size(); ++i) {
      lit[i] = std::max({rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]}) > 8;
    }
    return lit;
  }
};

size_t Count(const std::vector<bool>& lit) {
  return static_cast<size_t>(std::count(lit.begin(), lit.end(), true));
}

// Shared lit pixels over lit pixels of either.
double Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
  size_t both = 0, either = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    both += a[i] && b[i];
    either += a[i] || b[i];
  }
  return either == 0 ? 0.0 : static_cast<double>(both) / either;
}

TEST_F(TreeGL, TexturesAndBuffersExist) {
  TTree& tree = Tree();
  GLint alpha_bits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alpha_bits);
  EXPECT_GE(alpha_bits, 8);
  ASSERT_GE(TreeTextureIds.size(), 2u);
  EXPECT_NE(TreeTextureIds[static_cast<size_t>(tree.BarkTexture)], 0u);
  EXPECT_NE(TreeTextureIds[static_cast<size_t>(tree.LeafTexture)], 0u);
  // Asked again under the same name: the first slot, and the new entry stays empty.
  const size_t before = TreeTextureIds.size();
  EXPECT_EQ(LoadTreeTexture("trees\\2_bark"), tree.BarkTexture);
  EXPECT_EQ(TreeTextureIds.size(), before + 1);
  EXPECT_EQ(TreeTextureIds.back(), 0u);
  // A missing picture: a slot of its own holding no texture.
  EXPECT_EQ(LoadTreeTexture("trees\\absent"), static_cast<int32_t>(before + 1));
  EXPECT_EQ(TreeTextureIds.back(), 0u);

  EXPECT_NE(tree.StemBuffer, 0u);
  EXPECT_NE(tree.StemIndexBuffer, 0u);
  EXPECT_NE(tree.LeafBuffer, 0u);
  EXPECT_NE(tree.ImpostorTexture, 0u);
  GLint size = 0;
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, tree.StemIndexBuffer);
  glGetBufferParameterivARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
  EXPECT_EQ(static_cast<size_t>(size), tree.StemIndices.size() * 4);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);

  // A tree without leaves makes no leaf buffer.
  TTree bare;
  bare.SetSpecies(0, nullptr);
  bare.LeavesFactor = 0;
  bare.Trunk->Length = 5;
  bare.Trunk->Radius = 0.5f;
  bare.GrowStem(*bare.Trunk, 0);
  bare.BuildStemMesh();
  bare.UploadBuffers();
  EXPECT_EQ(bare.LeafBuffer, 0u);
  EXPECT_NE(bare.StemBuffer, 0u);
  bare.ReleaseGL();
  EXPECT_EQ(bare.StemBuffer, 0u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TreeGL, EveryAtlasTileShowsTheTreeStandingInItsLowerMiddle) {
  TTree& tree = Tree();
  glBindTexture(GL_TEXTURE_2D, tree.ImpostorTexture);
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  ASSERT_EQ(width, kAtlas);
  GLint min_filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
  EXPECT_EQ(min_filter, glGenerateMipmapEXT != nullptr ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  std::vector<uint8_t> rgba(static_cast<size_t>(kAtlas) * kAtlas * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  const int tile = kAtlas / 4;
  auto alpha = [&](int x, int y) { return rgba[(static_cast<size_t>(y) * kAtlas + x) * 4 + 3]; };
  for (int i = 0; i < 16; ++i) {
    const int x0 = tile * (i % 4);
    const int y0 = tile * (i / 4);
    // The trunk rises from the middle of the tile's bottom edge.
    int trunk = 0, trunk_area = 0;
    for (int y = y0 + tile / 40; y < y0 + tile / 5; ++y) {
      for (int x = x0 + tile * 45 / 100; x < x0 + tile * 55 / 100; ++x) {
        trunk += alpha(x, y) > 127;
        ++trunk_area;
      }
    }
    EXPECT_GT(trunk, trunk_area / 5) << "tile " << i;
    // The crown fills the upper part; the bottom corners show nothing.
    int crown = 0;
    for (int y = y0 + tile / 2; y < y0 + tile; ++y) {
      for (int x = x0; x < x0 + tile; ++x) {
        crown += alpha(x, y) > 127;
      }
    }
    EXPECT_GT(crown, tile * tile / 20) << "tile " << i;
    EXPECT_EQ(alpha(x0 + 2, y0 + 2), 0) << "tile " << i;
    EXPECT_EQ(alpha(x0 + tile - 3, y0 + 2), 0) << "tile " << i;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TreeGL, NearGeometryAndFarImpostorShowTheSameTree) {
  for (const float heading : {0.0f, 90.0f, 200.0f}) {
    for (const float turn : {0.0f, 90.0f, 237.0f}) {
      const std::vector<bool> near = Picture(heading, 0.0f, turn);
      const std::vector<bool> far = Picture(heading, 5.0f, turn);
      ASSERT_GT(Count(near), 2000u);
      ASSERT_GT(Count(far), 2000u);
      // Leaves face the viewer either way; the atlas's 22.5 degree steps leave some slack.
      const double overlap = Overlap(near, far);
      EXPECT_GT(overlap, 0.72) << "heading " << heading << " turn " << turn;
      // The impostor is turned the way the geometry is, not the other way.
      if (turn != 0.0f) {
        EXPECT_GT(overlap, Overlap(near, Picture(heading, 5.0f, -turn)) + 0.03)
            << "heading " << heading << " turn " << turn;
      }
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TreeGL, TrianglesAsPlannedAndTheWindSwaysTheCrown) {
  TTree& tree = Tree();
  for (const float lod : {0.0f, 0.6f, 0.9f, 1.0f, 3.0f}) {
    Picture(0, lod, 0);
    EXPECT_EQ(tree.TrianglesDrawn, tree.PlanDraw(lod).Triangles) << lod;
  }
  // Between 0.8 and 1 both are drawn.
  EXPECT_GT(Count(Picture(0, 0.9f, 0)), Count(Picture(0, 0.7f, 0)));

  SetWindTime(0);
  const std::vector<bool> still = Picture(0, 0, 0);
  SetWindTime(1700);
  const std::vector<bool> swayed = Picture(0, 0, 0);
  SetWindTime(0);
  EXPECT_LT(Overlap(still, swayed), 0.95);
  // The foot of the trunk stays where it is.
  for (int y = 14; y < 20; ++y) {
    EXPECT_TRUE(still[static_cast<size_t>(y * kSize + kSize / 2)]) << y;
    EXPECT_TRUE(swayed[static_cast<size_t>(y * kSize + kSize / 2)]) << y;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia
