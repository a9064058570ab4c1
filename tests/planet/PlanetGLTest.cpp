// The atlas and the planet pass in a real OpenGL context, headless.
#include "PlanetTestSupport.h"

#include "engine/FrameCounters.h"
#include "engine/VectorGeometry.h"
#include "engine/WorkerPool.h"
#include "gl/GLEntryPoints.h"
#include "planet/PlanetControl.h"
#include "planet/PlanetCounters.h"

#include "support/OffscreenGLContext.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>
#include <vector>

namespace meridia::testing {
namespace {

std::vector<uint8_t> ReadAtlas() {
  std::vector<uint8_t> texels(static_cast<size_t>(kAtlasSize) * kAtlasSize * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  return texels;
}

TEST(TextureBufferGL, TheAtlasIsOneClampedLinearRgbTextureAndUploadsStayInTheirTile) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  {
    TTextureBuffer atlas(kAtlasSize, kAtlasTileSize);
    ASSERT_GT(atlas.TextureIds[0], 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(atlas.TextureIds[0]));
    GLint width = 0, format = 0, mode = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(width, 2048);
    EXPECT_TRUE(format == 3 || format == GL_RGB || format == GL_RGB8) << format;
    EXPECT_EQ(mode, GL_MODULATE);
    const GLenum parameters[][2] = {{GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                    {GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                                    {GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE},
                                    {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE},
                                    {GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE}};
    for (const auto& [name, value] : parameters) {
      GLint actual = 0;
      glGetTexParameteriv(GL_TEXTURE_2D, name, &actual);
      EXPECT_EQ(actual, static_cast<GLint>(value)) << name;
    }

    std::vector<uint8_t> tile(kPatchTexelBytes);
    for (size_t i = 0; i < tile.size(); ++i) {
      tile[i] = static_cast<uint8_t>(1 + i % 251);
    }
    atlas.UploadTile(130, tile.data()); // column 2, row 1
    const std::vector<uint8_t> white(kPatchTexelBytes, 255);
    atlas.UploadTile(-1, white.data());
    atlas.UploadTile(atlas.TileCount, white.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(atlas.TextureIds[0]));
    const std::vector<uint8_t> texels = ReadAtlas();
    EXPECT_EQ(texels.size() - std::count(texels.begin(), texels.end(), 0), tile.size())
        << "nothing outside tile 130, nothing from the bad tiles";
    for (int row = 0; row < 16; ++row) {
      for (int column = 0; column < 16; ++column) {
        const size_t at = ((16 + static_cast<size_t>(row)) * kAtlasSize + 32 + column) * 3;
        const size_t from = (static_cast<size_t>(row) * 16 + column) * 3;
        ASSERT_TRUE(std::equal(&tile[from], &tile[from] + 3, &texels[at])) << row << ", " << column;
      }
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The first texel of a tile (16 by 16 texels, 128 tiles a row) in the texture of that name.
uint8_t FirstTexel(int32_t texture, int32_t tile) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  const std::vector<uint8_t> texels = ReadAtlas();
  return texels[((tile / 128) * 16 * static_cast<size_t>(kAtlasSize) + (tile % 128) * 16) * 3];
}

TEST(TextureBufferGL, AlternateTexturesReceiveEachUploadAtTheStartOfTheirNextFrame) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  {
    const std::vector<uint8_t> one(kPatchTexelBytes, 1), two(kPatchTexelBytes, 2),
        three(kPatchTexelBytes, 3);
    TTextureBuffer late(kAtlasSize, kAtlasTileSize);
    late.UploadTile(0, one.data());
    EXPECT_FALSE(late.UseAlternateTextures()) << "the second texture would lack that tile";

    TTextureBuffer atlas(kAtlasSize, kAtlasTileSize);
    ASSERT_TRUE(atlas.UseAlternateTextures());
    EXPECT_FALSE(atlas.UseAlternateTextures());
    const int32_t first = atlas.TextureIds[0];
    atlas.UploadTile(5, one.data());
    EXPECT_EQ(FirstTexel(first, 5), 0) << "kept until the frame starts";
    atlas.BeginFrame();
    const int32_t second = atlas.TextureIds[0];
    ASSERT_NE(second, first);
    // Each step: the uploads after the previous frame's start, then what each texture holds in
    // tiles 5 and 9 once the next frame has started.
    const struct {
      std::vector<std::pair<int32_t, const std::vector<uint8_t>*>> uploads;
      uint8_t first_5, first_9, second_5, second_9;
    } steps[] = {
        {{}, 1, 0, 1, 0},
        {{{5, &two}, {9, &three}, {5, &three}}, 1, 0, 3, 3},
        {{}, 3, 3, 3, 3},
    };
    EXPECT_EQ(FirstTexel(second, 5), 1);
    EXPECT_EQ(FirstTexel(first, 5), 0);
    for (const auto& step : steps) {
      for (const auto& [tile, pixels] : step.uploads) {
        atlas.UploadTile(tile, pixels->data());
      }
      atlas.BeginFrame();
      EXPECT_EQ(FirstTexel(first, 5), step.first_5);
      EXPECT_EQ(FirstTexel(first, 9), step.first_9);
      EXPECT_EQ(FirstTexel(second, 5), step.second_5);
      EXPECT_EQ(FirstTexel(second, 9), step.second_9);
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// One frame of the planet seen from 3000 units up +Z, the whole of it in view.
void DrawFrame(TPlanetControl& control) {
  glViewport(0, 0, 800, 600);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.4853, 0.4853, -0.364, 0.364, 1, 16384); // 40 degrees, 4:3
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -3000);
  TrisCount = 0;
  control.Render();
}

TEST(PlanetGL, ThePassDrawsATexturedPlanetWithinItsBudgetAndRestoresItsState) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  ResetPlanetState();
  {
    TPlanetary_Camera camera;
    camera.SetPosition(3, {0, 0, 3000});
    TPlanetControl control(std::make_unique<TPlanetObject>(
        camera, SmallFactory(), std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize)));
    UpdateReference(camera.Positions[3]);

    auto frame = [&] { DrawFrame(control); };

    frame();
    EXPECT_EQ(GenerationsThisFrame, 50);
    EXPECT_EQ(control.Planet->Atlas->TilesInUse, 50);
    EXPECT_EQ(GenerationBudget, 15);
    EXPECT_GT(NodesDrawn, 256);
    frame();
    EXPECT_EQ(GenerationsThisFrame, 15);
    EXPECT_EQ(control.Planet->Atlas->TilesInUse, 65);
    for (int k = 0; k < 10; ++k) {
      frame();
    }

    GLint binding = -1, attrib_depth = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attrib_depth);
    EXPECT_EQ(binding, 0);
    EXPECT_EQ(attrib_depth, 0);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The planet fills the middle in the colour map's hue, lit; space stays black.
    uint8_t centre[3] = {}, corner[3] = {9, 9, 9};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(400, 300, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, centre);
    glReadPixels(2, 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, corner);
    EXPECT_GT(centre[0], centre[1]);
    EXPECT_GT(centre[1], centre[2]);
    EXPECT_GT(centre[2], 0);
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 0);
  }
  ResetPlanetState();
}

TEST(PlanetGL, EachFrameQueuesAfreshSoPatchesDroppedFromAFullListComeBack) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  ResetPlanetState();
  {
    TPlanetary_Camera camera;
    camera.SetPosition(3, {0, 0, 3000});
    TPlanetControl control(std::make_unique<TPlanetObject>(
        camera, SmallFactory(), std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize)));
    TPlanetObject& planet = *control.Planet;
    UpdateReference(camera.Positions[3]);
    planet.RefineIfPending();

    // Only the level-5 leaves wait for a texture, more of them in view than one list holds.
    std::vector<TNode*> waiting;
    for (auto& root : planet.Roots) {
      ForEachNode(*root, [&](TNode& n) {
        n.Generated = n.Level != 5;
        bool beyond = false;
        for (const TNode* a = &n; a != nullptr; a = a->Parent) {
          beyond = beyond || a->BeyondHorizon;
        }
        if (n.Level == 5 && !beyond && n.Face != planet.FaceOrder[5]) {
          waiting.push_back(&n);
        }
      });
    }
    ASSERT_GT(waiting.size(), 110u);

    DrawFrame(control); // the first 50 in drawing order fill the list and are built
    EXPECT_EQ(GenerationsThisFrame, 50);
    std::vector<TNode*> dropped;
    std::copy_if(waiting.begin(), waiting.end(), std::back_inserter(dropped),
                 [](const TNode* n) { return !n->Generated; });
    EXPECT_EQ(dropped.size(), waiting.size() - 50);

    DrawFrame(control); // the list starts empty and takes those dropped last frame
    ASSERT_EQ(GenerationQueue.Count[5], 50);
    for (int32_t k = 0; k < 50; ++k) {
      EXPECT_EQ(std::count(dropped.begin(), dropped.end(), GenerationQueue.Nodes[5][k]), 1) << k;
    }
    EXPECT_EQ(GenerationsThisFrame, 15);
  }
  ResetPlanetState();
}

// What a flight leaves: every node's tile in walk order, each frame's generation count and the
// atlas's texels once every upload has reached it.
struct Flown {
  std::vector<int32_t> tiles;
  std::vector<int32_t> generations;
  std::vector<int32_t> tiles_in_use;
  std::vector<uint8_t> texels;
  int32_t built_ahead = 0;
};

// A descent towards +Z over an atlas that starts with 40 free tiles and gets some back before
// each frame; `threads` 0 builds without a pool.
Flown FlyDescent(bool alternate_textures, int32_t threads) {
  if (threads > 0) {
    StartWorkerPool(threads);
  }
  ResetPlanetState();
  Flown flown;
  {
    auto atlas = std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize);
    if (alternate_textures) {
      EXPECT_TRUE(atlas->UseAlternateTextures());
    }
    std::vector<int32_t> held;
    while (atlas->TilesInUse < atlas->TileCount - 40) {
      held.push_back(atlas->AcquireTile());
    }
    TPlanetary_Camera camera;
    camera.SetPosition(3, {0, 0, 3000});
    TPlanetControl control(
        std::make_unique<TPlanetObject>(camera, SmallFactory(), std::move(atlas)));
    const Vector3f down = Normalized3({0.2f, 0.1f, 1});
    const struct {
      float radius;
      size_t given_back;
    } frames[] = {{3000, 0}, {3000, 25},   {1000, 9},   {700, 40},
                  {682, 3},  {680.2f, 30}, {680.1f, 30}};
    for (const auto& frame : frames) {
      for (size_t k = 0; k < frame.given_back; ++k) {
        const size_t at = k * 7919 % held.size();
        control.Planet->Atlas->ReleaseTile(held[at]);
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(at));
      }
      UpdateReference(Scale3(down, frame.radius));
      DrawFrame(control);
      // What the pool builds ahead is ready by the next frame, as a quick frame would find it.
      control.Planet->WaitForBuildsAhead();
      flown.generations.push_back(GenerationsThisFrame);
      flown.tiles_in_use.push_back(control.Planet->Atlas->TilesInUse);
    }
    flown.built_ahead = control.Planet->PatchesBuiltAhead;
    control.Planet->Atlas->BeginFrame();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(control.Planet->Atlas->TextureIds[0]));
    flown.texels = ReadAtlas();
    // Every live patch's tile holds what that patch builds.
    for (auto& root : control.Planet->Roots) {
      ForEachNode(*root, [&](TNode& n) {
        flown.tiles.push_back(n.Tile);
        if (n.Tile < 0) {
          return;
        }
        TPatchTexels texels;
        BuildPatch(n, texels);
        for (size_t row = 0; row < 16; ++row) {
          const size_t at =
              ((static_cast<size_t>(n.Tile / kAtlasTilesPerRow) * 16 + row) * kAtlasSize +
               static_cast<size_t>(n.Tile % kAtlasTilesPerRow) * 16) *
              3;
          EXPECT_TRUE(std::equal(&texels[row * 48], &texels[row * 48] + 48, &flown.texels[at]))
              << "tile " << n.Tile << " row " << row;
        }
      });
    }
  }
  ResetPlanetState();
  StopWorkerPool();
  return flown;
}

TEST(PlanetGL, PatchesBuiltOnThePoolTakeTheSameTilesAndTexelsAsOneByOne) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  for (const bool alternate : {false, true}) {
    const Flown alone = FlyDescent(alternate, 0);
    // The first frame's 50 meet a full atlas after 40; later ones are cut by the budget.
    ASSERT_GE(alone.generations.size(), 2u);
    EXPECT_EQ(alone.generations[0], 50);
    EXPECT_EQ(alone.generations[1], 15);
    EXPECT_EQ(alone.tiles_in_use[0], kAtlasTilesPerRow * kAtlasTilesPerRow);
    EXPECT_EQ(alone.built_ahead, 0);
    for (const int32_t threads : {2, 5}) {
      const Flown pooled = FlyDescent(alternate, threads);
      EXPECT_EQ(pooled.generations, alone.generations) << threads << " threads";
      EXPECT_EQ(pooled.tiles, alone.tiles) << threads << " threads";
      EXPECT_EQ(pooled.tiles_in_use, alone.tiles_in_use) << threads << " threads";
      EXPECT_TRUE(pooled.texels == alone.texels) << threads << " threads";
      // The budget leaves patches waiting in most frames: built ahead, they were served next.
      EXPECT_GE(pooled.built_ahead, 20) << threads << " threads";
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia::testing

namespace meridia::testing {
namespace {

std::vector<uint8_t> ReadFrame() {
  std::vector<uint8_t> pixels(800 * 600 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

TEST(PlanetGL, BatchedFansDrawThePixelsOfImmediateModeAndLeaveTheSameState) {
  OffscreenGLContext gl(800, 600);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  ResetPlanetState();
  {
    // Low over the planet, where the leaves differ in level and stitch to split neighbours.
    const Vector3f eye{0, 300, 650};
    TPlanetary_Camera camera;
    camera.SetPosition(3, eye);
    TPlanetControl control(std::make_unique<TPlanetObject>(
        camera, SmallFactory(), std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize)));
    TPlanetObject& planet = *control.Planet;
    UpdateReference(eye);
    auto look = [&] {
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glFrustum(-0.4853, 0.4853, -0.364, 0.364, 1, 16384);
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glRotatef(-60, 1, 0, 0);
      glTranslatef(-eye.x, -eye.y, -eye.z);
    };
    // Some patches with tiles of their own, most still borrowing.
    for (int k = 0; k < 3; ++k) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      look();
      planet.Render();
    }
    auto draw = [&](auto&& submit) {
      glViewport(0, 0, 800, 600);
      glClearColor(0, 0, 0, 0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glEnable(GL_DEPTH_TEST);
      glEnable(GL_TEXTURE_2D);
      glEnable(GL_CULL_FACE);
      glTexCoord2f(-7, -7);
      look();
      planet.Frustum.Extract();
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(planet.Atlas->TextureIds[0]));
      submit();
      glBindTexture(GL_TEXTURE_2D, 0);
      std::array<float, 4> current{};
      glGetFloatv(GL_CURRENT_TEXTURE_COORDS, current.data());
      return std::pair{ReadFrame(), current};
    };
    const auto [immediate, immediate_coord] =
        draw([&] { planet.DrawFaces(planet.Frustum, ImmediateModePatchSink()); });
    // With the driver's multi-draw call, and without it one draw call a fan.
    LoadGLEntryPoints();
    ASSERT_NE(glMultiDrawArraysEXT, nullptr);
    const auto multi_draw = glMultiDrawArraysEXT;
    TPatchBatch batch;
    for (const bool loaded : {true, false}) {
      glMultiDrawArraysEXT = loaded ? multi_draw : nullptr;
      const auto [batched, batched_coord] = draw([&] {
        planet.DrawFaces(planet.Frustum, batch);
        DrawPatchBatch(batch);
      });
      EXPECT_TRUE(immediate == batched) << "every pixel as immediate mode drew it: " << loaded;
      EXPECT_EQ(immediate_coord, batched_coord) << loaded;
    }
    glMultiDrawArraysEXT = multi_draw;

    EXPECT_GT(NodesDrawn, 500);
    size_t lit = 0;
    for (size_t i = 0; i < immediate.size(); i += 4) {
      lit += immediate[i] + immediate[i + 1] + immediate[i + 2] > 0 ? 1 : 0;
    }
    EXPECT_GT(lit, immediate.size() / 4 / 10) << "the ground fills a good part of the view";
    EXPECT_TRUE(batch.Vertices.empty());
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  ResetPlanetState();
}

} // namespace
} // namespace meridia::testing
