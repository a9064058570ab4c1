// The atlas and the planet pass in a real OpenGL context, headless.
#include "PlanetTestSupport.h"

#include "engine/FrameCounters.h"
#include "planet/PlanetControl.h"
#include "planet/PlanetCounters.h"

#include "support/OffscreenGLContext.h"

#include <GL/gl.h>

#include <algorithm>
#include <iterator>
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

} // namespace
} // namespace meridia::testing
