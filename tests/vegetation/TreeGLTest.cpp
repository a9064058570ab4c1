// A grown tree kind against a real driver (Mesa, headless): its textures and buffers, the
// impostor atlas, and what Render draws near and far, still and in the wind.
#include "vegetation/Tree.h"

#include "decoders/ImageDecoders.h"
#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "platform/GLLibraries.h"
#include "storage/Log.h"
#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"
#include "vegetation/Wind.h"
#include "view/Frustum.h"
#include "view/RenderOrigin.h"

#include <GL/glu.h>
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
// and both kinds built in it as start-up builds them.
struct Scene {
  AlphaFrameBuffer alpha;
  testing::OffscreenGLContext context{kSize, kSize};
  testing::TemporaryFolder folder{testing::TemporaryFolder::Enter::kYes};
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
    glEnable(GL_DEPTH_TEST);
    SetRandSeed(500);
    CreateTreeKinds([](const std::string&) {});
  }
  static void TearDownTestSuite() {
    FreeTreeKinds();
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
    ASSERT_EQ(TreeKinds.size(), 2u);
  }

  TTree& Tree() { return *TreeKinds[0]; }

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
  // Fewer than 65536 vertices: 16-bit indices.
  ASSERT_LT(tree.StemVertices.size(), 65536u);
  EXPECT_EQ(static_cast<size_t>(size), tree.StemIndices.size() * 2);
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
  // Between 0.8 and 1 both are drawn, the geometry where it stands without the impostor: the
  // impostor's turn toward the camera stays with the impostor.
  for (const float heading : {0.0f, 90.0f, 150.0f}) {
    const std::vector<bool> geometry = Picture(heading, 0.7f, 30);
    const std::vector<bool> both = Picture(heading, 0.9f, 30);
    EXPECT_GT(Count(both), Count(geometry)) << heading;
    size_t kept = 0;
    for (size_t i = 0; i < geometry.size(); ++i) {
      kept += geometry[i] && both[i];
    }
    EXPECT_GT(kept, Count(geometry) * 97 / 100) << heading;
  }

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

// The ground of these pictures: a sphere a little above the planet's base radius.
float TestGround(const Vector3f& /*direction*/) {
  return 678.5f;
}

TEST_F(TreeGL, APlantedTreeStandsOnTheGroundWhereItWasPlanted) {
  // A tree planted where +Y is far from the planet's up, seen from 8 m above the ground at a
  // distance along the ground: near (geometry) and far (impostor).
  const Vector3f up = Normalized3({0.3f, -0.4f, 1.0f});
  // Looking along the ground across the turn that stands the tree up, so that the tree's
  // frame and the planet's differ in heading.
  const Vector3f east = Normalized3(Cross3(Normalized3(Cross3(up, {0, 1, 0})), up));
  const Vector3f base = Scale3(up, TestGround(up));
  for (const float distance : {0.004f, 0.03f}) {
    TPlanetaryTrees trees(base);
    trees.SetCount(1);
    trees.AddTree(0, 0, base);
    ASSERT_EQ(trees.Instances[0]->Tree, TreeKinds[0].get());
    const Vector3f eye = Add3(Add3(base, Scale3(east, distance)), Scale3(up, 0.0008f));
    const Vector3f target = Add3(base, Scale3(up, 0.0008f));

    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40, 1, 0.00005, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
    TzoFrustum frustum;
    frustum.Extract();
    TrisCount = 0;
    TreesDrawn = 0;
    TreeImpostorsDrawn = 0;
    trees.Render(frustum, eye);
    DrawPlantedTrees();
    const float lod = TPlanetaryTrees::Lod(base, eye);
    EXPECT_EQ(TrisCount, TreeKinds[0]->PlanDraw(lod).Triangles) << distance;
    // One instance, near as geometry alone, far as its impostor alone.
    EXPECT_EQ(TreesDrawn, 1) << distance;
    EXPECT_EQ(TreeImpostorsDrawn, distance > 0.01f ? 1 : 0) << distance;

    // Where the base and the crown's middle land on the screen.
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble bx, by, bz, cx, cy, cz;
    const Vector3f crown = Add3(base, Scale3(up, 0.001f)); // 10 m up the tree
    gluProject(base.x, base.y, base.z, model, projection, viewport, &bx, &by, &bz);
    gluProject(crown.x, crown.y, crown.z, model, projection, viewport, &cx, &cy, &cz);
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    auto lit = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= kSize || y >= kSize) {
        return false;
      }
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * kSize + x) * 4];
      return std::max({p[0], p[1], p[2]}) > 8;
    };
    auto lit_near = [&](double x, double y, int reach) {
      int count = 0;
      for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
          count += lit(static_cast<int>(x) + dx, static_cast<int>(y) + dy);
        }
      }
      return count;
    };
    const int reach = distance < 0.01f ? 6 : 2;
    EXPECT_GT(lit_near(bx, by + 2 * reach, reach), 0) << "the trunk above the base, " << distance;
    EXPECT_GT(lit_near(cx, cy, reach), reach * reach) << "the crown, " << distance;
    // Nothing stands far to the side of the tree, nor below the ground line at the base.
    const double width = 1.5 * (cy - by);
    EXPECT_EQ(lit_near(bx - width, cy, reach), 0) << distance;
    EXPECT_EQ(lit_near(bx + width, cy, reach), 0) << distance;

    // The far tree's impostor faces the camera: it covers about as much as the tree's own
    // geometry would from there, whichever way the tree's frame lies on the planet.
    if (distance > 0.01f) {
      const auto covered = [&] {
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        size_t count = 0;
        for (int y = 0; y < kSize; ++y) {
          for (int x = 0; x < kSize; ++x) {
            count += lit(x, y);
          }
        }
        return count;
      };
      const size_t impostor = covered();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      trees.Instances[0]->Render(eye, 0.0f);
      const size_t geometry = covered();
      EXPECT_GT(impostor, geometry * 6 / 10);
      EXPECT_LT(impostor, geometry * 16 / 10);
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TreeGL, PlantedTreesDrawnInOneRunShowTheSamePixelsAsEachDrawnAlone) {
  // Both kinds from the full mesh out to impostors alone, on a ground facing +z, seen from 8 m
  // up from two sides so that the impostors show different tiles.
  const Vector3f ground{0, 0, 678.5f};
  TPlanetaryTrees trees(ground);
  constexpr int kTrees = 14;
  trees.SetCount(kTrees);
  SetRandSeed(21);
  for (int i = 0; i < kTrees; ++i) {
    const float along = 0.002f + 0.0035f * static_cast<float>(i);
    const float across = (i % 2 == 0 ? -0.15f : 0.15f) * along;
    trees.AddTree(i, i / 2, Add3(ground, {across, along, 0}));
  }
  for (const float side : {-0.0004f, 0.0006f}) {
    const Vector3f eye{side, 0, 678.5f + 0.0008f};
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40, 1, 0.00005, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Drawn from the ground's origin, the way the viewer draws near the ground.
    SetRenderOrigin(ground);
    gluLookAt(eye.x, eye.y, 0.0008, 0, 0.02, 0.0008, 0, 0, 1);
    TzoFrustum frustum;
    frustum.Extract();
    SetWindTime(900);
    const auto picture = [] {
      std::vector<uint8_t> rgba(kSize * kSize * 4);
      glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
      return rgba;
    };

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TrisCount = TreesDrawn = TreeImpostorsDrawn = 0;
    int shown = 0;
    for (const auto& instance : trees.Instances) {
      if (frustum.SphereVisible(instance->Position, instance->SphereRadius / 10000.0f)) {
        instance->Render(eye, TPlanetaryTrees::Lod(instance->Position, eye));
        ++shown;
      }
    }
    const std::vector<uint8_t> alone = picture();
    const int32_t counts[] = {TrisCount, TreesDrawn, TreeImpostorsDrawn};
    ASSERT_GT(TreeImpostorsDrawn, 3) << side;
    ASSERT_LT(TreeImpostorsDrawn, shown - 2) << side;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TrisCount = TreesDrawn = TreeImpostorsDrawn = 0;
    trees.Render(frustum, eye);
    EXPECT_EQ(TrisCount, counts[0]) << side;
    EXPECT_EQ(TreesDrawn, counts[1]) << side;
    EXPECT_EQ(TreeImpostorsDrawn, counts[2]) << side;
    DrawPlantedTrees();
    const std::vector<uint8_t> together = picture();
    size_t lit = 0, differ = 0;
    for (size_t i = 0; i < alone.size(); i += 4) {
      lit += std::max({alone[i], alone[i + 1], alone[i + 2]}) > 8;
      differ += !std::equal(&alone[i], &alone[i + 4], &together[i]);
    }
    EXPECT_GT(lit, size_t{kSize * kSize / 20}) << side;
    EXPECT_EQ(differ, 0u) << side;
    // Nothing stays queued for the next frame.
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPlantedTrees();
    EXPECT_EQ(picture(), std::vector<uint8_t>(alone.size(), 0)) << side;
  }
  SetWindTime(0);
  SetRenderOrigin({0, 0, 0});
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia
