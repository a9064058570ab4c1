#include "models/Building.h"
#include "models/Model.h"

#include "CityModelDesign.h"
#include "decoders/ImageDecoders.h"
#include "engine/FrameCounters.h"
#include "gl/GLEntryPoints.h"
#include "view/Frustum.h"

#include <gtest/gtest.h>

#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"

#include <GL/gl.h>

#include <filesystem>
#include <vector>

namespace meridia {
namespace {

constexpr int kSide = 64;

class ModelGLTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(context_.Ready());
    LoadGLEntryPoints();
    RegisterImageDecoders();
    const citygen::CityModel city = citygen::BuildCityModel("47");
    std::filesystem::create_directories("base/models/city/47");
    ASSERT_TRUE(citygen::WriteCityModel(city, "base/models/city/47"));
    triangles_ = city.Triangles;
  }

  // Pixels that are not the clear colour.
  static int DrawnPixels() {
    std::vector<uint8_t> rgba(kSide * kSide * 4);
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    int drawn = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
      drawn += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    }
    return drawn;
  }

  testing::OffscreenGLContext context_{kSide, kSide};
  testing::TemporaryFolder folder_{testing::TemporaryFolder::Enter::kYes};
  int32_t triangles_ = 0;
};

TEST_F(ModelGLTest, EveryShapeGetsItsTextureAndAStaticBufferOfItsVertices) {
  TModel model;
  ASSERT_TRUE(model.Load("base\\models\\city\\47\\Bld_47.obj", true, 0.1f));
  ASSERT_EQ(model.TriangleCount, triangles_);
  for (const TShape& shape : model.Shapes) {
    SCOPED_TRACE(shape.Name);
    EXPECT_NE(shape.Texture, 0u);
    ASSERT_NE(shape.Buffer, 0u);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, shape.Buffer);
    GLint size = 0, usage = 0;
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
    EXPECT_EQ(size_t(size), shape.Vertices.size() * 36);
    EXPECT_EQ(usage, GL_STATIC_DRAW_ARB);
  }
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  TModel missing;
  EXPECT_FALSE(missing.Load("base\\models\\city\\48\\Bld_48.obj", true, 0.1f));
}

TEST_F(ModelGLTest, BuildingsInsideTheFrustumAreDrawnAndCountedAndStateIsRestored) {
  BuildingModels().clear();
  InitCity();
  ASSERT_EQ(BuildingModels().size(), 1u);
  // A view a few centimetres of planet units wide: the block, 60 m by 45 m, fills it.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-0.004, 0.004, -0.001, 0.006, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  TzoFrustum frustum;
  frustum.Extract();

  TBuilding building;
  building.SetCount(2);
  building.AddBuilding(0, 0, {0.01f, 0, 0}); // its base point is outside: not drawn at all
  building.AddBuilding(1, 0, {0, 0, 0});
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  TrisCount = 0;
  BuildingsDrawn = 0;
  building.Render(frustum);
  EXPECT_EQ(TrisCount, triangles_);
  EXPECT_EQ(BuildingsDrawn, 1);
  EXPECT_GT(DrawnPixels(), kSide * kSide / 4);

  building.Instances[1]->Position = {0, 0.0065f, 0}; // reaching into view from above it
  glClear(GL_COLOR_BUFFER_BIT);
  building.Render(frustum);
  EXPECT_EQ(DrawnPixels(), 0);
  EXPECT_EQ(TrisCount, triangles_);
  EXPECT_EQ(BuildingsDrawn, 1);

  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  GLint array = -1, elements = -1;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &array);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &elements);
  EXPECT_EQ(array, 0);
  EXPECT_EQ(elements, 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  BuildingModels().clear();
}

} // namespace
} // namespace meridia
