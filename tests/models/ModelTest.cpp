#include "models/Model.h"
#include "models/Building.h"

#include "CityModelDesign.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "storage/DataManager.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace meridia {
namespace {

void Write(const std::string& path, std::string_view text) {
  if (const auto parent = std::filesystem::path(path).parent_path(); !parent.empty()) {
    std::filesystem::create_directories(parent);
  }
  std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

class ModelTest : public ::testing::Test {
protected:
  // Builds the shapes of an OBJ text written to m/model.obj, with m/model.mtl when given.
  TModel Build(std::string_view obj, std::string_view mtl = {}, bool turn_up = false,
               float scale = 1) {
    Write("m/model.obj", obj);
    if (!mtl.empty()) {
      Write("m/model.mtl", mtl);
    }
    TModel model;
    EXPECT_TRUE(model.BuildShapes("m\\model.obj", turn_up, scale));
    return model;
  }

  testing::TemporaryFolder folder_{testing::TemporaryFolder::Enter::kYes};
};

// Positions of the vertices in order, x only: the test positions are numbered along x.
std::vector<float> Xs(const TShape& shape) {
  std::vector<float> xs;
  for (const TModelVertex& v : shape.Vertices) {
    xs.push_back(v.Position.x);
  }
  return xs;
}

TEST_F(ModelTest, FacesFanAroundTheirFirstCorner) {
  const struct {
    const char* face;
    int32_t triangles;
    std::vector<float> xs;
  } cases[] = {
      {"f 1 2 3", 1, {1, 2, 3}},
      {"f 1 2 3 4", 2, {1, 2, 3, 1, 3, 4}},
      {"f 1 2 3 4 5", 3, {1, 2, 3, 1, 3, 4, 1, 4, 5}},
      {"f 1 2", 0, {}},
      {"f 5", 0, {}},
      {"f", 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    const TModel model =
        Build("v 1 0 0\nv 2 0 0\nv 3 0 0\nv 4 0 0\nv 5 0 0\n" + std::string(c.face) + "\n");
    EXPECT_EQ(model.TriangleCount, c.triangles);
    ASSERT_EQ(model.Shapes.size(), 1u); // a face, even an empty one, selects its shape
    EXPECT_EQ(Xs(model.Shapes[0]), c.xs);
  }
}

TEST_F(ModelTest, OneShapePerMaterialAcrossGroupsAndReturns) {
  const TModel model = Build("mtllib lib.mtl\nv 1 0 0\nv 2 0 0\nv 3 0 0\n"
                             "g a\nusemtl Brick\nf 1 2 3\n"
                             "g b\nf 3 2 1\nusemtl roof\nf 2 2 2\n"
                             "g c\nusemtl BRICK\nf 1 1 1\nusemtl nowhere\nf 3 3 3\n"
                             "usemtl elsewhere\nf 2 3 1\n",
                             "newmtl brick\nmap_Kd wall\nnewmtl roof\n");
  ASSERT_EQ(model.Shapes.size(), 3u);
  // Named as the library names them; unknown materials share the default's empty name.
  EXPECT_EQ(model.Shapes[0].Name, "brick");
  EXPECT_EQ(Xs(model.Shapes[0]), (std::vector<float>{1, 2, 3, 3, 2, 1, 1, 1, 1}));
  EXPECT_EQ(model.Shapes[1].Name, "roof");
  EXPECT_EQ(model.Shapes[2].Name, "");
  EXPECT_EQ(Xs(model.Shapes[2]), (std::vector<float>{3, 3, 3, 2, 3, 1}));
  EXPECT_EQ(model.TriangleCount, 6);
}

TEST_F(ModelTest, ScaledTurnedZUpToYUpAndLiftedOntoYZero) {
  const TModel model = Build("v 1 2 3\nv -1 -2 5\nv 0 4 7\nvn 0 0 1\nvt 0.25 0.5 0\n"
                             "f 1/1/1 2/1/1 3/1/1\n",
                             {}, true, 2);
  ASSERT_EQ(model.Shapes.size(), 1u);
  const auto& v = model.Shapes[0].Vertices;
  ASSERT_EQ(v.size(), 3u);
  // (x, y, z) * 2 turns to (2x, 2z, -2y); the lowest y (6) is then taken off every vertex.
  const Vector3f want[] = {{2, 0, -4}, {-2, 4, 4}, {0, 8, -8}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(v[i].Position.x, want[i].x, 1e-5);
    EXPECT_NEAR(v[i].Position.y, want[i].y, 1e-5);
    EXPECT_NEAR(v[i].Position.z, want[i].z, 1e-5);
    EXPECT_NEAR(v[i].Normal.y, 1, 1e-6); // +Z was up and is +Y now
    EXPECT_NEAR(v[i].Normal.z, 0, 1e-6);
    EXPECT_EQ(v[i].TexCoord.x, 0.25f);
    EXPECT_EQ(v[i].TexCoord.y, 0.5f);
  }
  // Parts a corner does not have stay zero; without the turn the lowest y is lifted the same.
  const TModel flat = Build("v 0 -3 0\nv 1 5 0\nf 1 2 2\n");
  const auto& w = flat.Shapes[0].Vertices;
  EXPECT_EQ(w[0].Position.y, 0);
  EXPECT_EQ(w[1].Position.y, 8);
  EXPECT_EQ(w[0].Normal.z, 0);
  EXPECT_EQ(w[0].TexCoord.x, 0);
}

TEST_F(ModelTest, FacesThatPointAtNothingStayOutOfTheShapesAndTheLift) {
  // Standing at y = 5: a corner made up at the origin would keep the lift from taking it down.
  const TModel model = Build("v 0 5 0\nv 1 5 0\nv 0 6 0\nvt 0 0\n"
                             "usemtl a\nf 1 2 9\nf 1/1 2/1 3/1\nf 1/2 2 3\nf 0 1 2 3\n");
  ASSERT_EQ(model.Shapes.size(), 1u);
  EXPECT_EQ(model.TriangleCount, 1);
  const auto& v = model.Shapes[0].Vertices;
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].Position.y, 0);
  EXPECT_EQ(v[1].Position.y, 0);
  EXPECT_EQ(v[2].Position.y, 1);
}

TEST_F(ModelTest, TextureFilesSearchedHereThenBesideTheModel) {
  Write("m/wall.tga", "x");
  Write("m/roof.png", "x");
  Write("here.jpg", "x");
  const TModel model = Build("v 0 0 0\nusemtl a\nf 1 1 1\nusemtl b\nf 1 1 1\nusemtl c\nf 1 1 1\n"
                             "usemtl d\nf 1 1 1\nusemtl e\nf 1 1 1\n",
                             "newmtl a\nmap_Kd wall\nnewmtl b\nmap_Kd roof.png\nnewmtl c\n"
                             "map_Kd here\nnewmtl d\nmap_Kd gone.tga\nnewmtl e\n");
  ASSERT_EQ(model.Shapes.size(), 5u);
  EXPECT_EQ(model.Shapes[0].TextureFile, "m\\wall.tga");
  EXPECT_EQ(model.Shapes[1].TextureFile, "m\\roof.png");
  EXPECT_EQ(model.Shapes[2].TextureFile, "here.jpg");
  EXPECT_FALSE(FileExists(model.Shapes[3].TextureFile));
  EXPECT_EQ(model.Shapes[4].TextureFile, "");
}

TEST_F(ModelTest, AMissingFileGivesNoShapes) {
  TModel model;
  EXPECT_FALSE(model.BuildShapes("m\\none.obj", true, 1));
  EXPECT_TRUE(model.Shapes.empty());
  EXPECT_EQ(model.TriangleCount, 0);
}

TEST_F(ModelTest, TheCityModelMakesTheShapesAndTrianglesItsGeneratorIntends) {
  const citygen::CityModel city = citygen::BuildCityModel("47");
  std::filesystem::create_directories("base/models/city/47");
  ASSERT_TRUE(citygen::WriteCityModel(city, "base/models/city/47"));
  TModel model;
  ASSERT_TRUE(model.BuildShapes("base\\models\\city\\47\\Bld_47.obj", true, 0.1f));
  EXPECT_EQ(int32_t(model.Shapes.size()), city.Materials);
  EXPECT_EQ(model.TriangleCount, city.Triangles);
  EXPECT_EQ(model.Shapes.size(), 7u);
  EXPECT_EQ(model.TriangleCount, 80);
  EXPECT_EQ(model.VertexCount(), 3 * 80);
  float min_y = 1e9f, max_y = -1e9f;
  for (const TShape& shape : model.Shapes) {
    EXPECT_TRUE(FileExists(shape.TextureFile)) << shape.Name;
    for (const TModelVertex& v : shape.Vertices) {
      min_y = std::min(min_y, v.Position.y);
      max_y = std::max(max_y, v.Position.y);
    }
  }
  // Metres once scaled: the plinth's underside on the ground, the tower 45 m above its top.
  EXPECT_EQ(min_y, 0);
  EXPECT_NEAR(max_y, 45.3f, 1e-4);
}

class BuildingTest : public ::testing::Test {
protected:
  void SetUp() override {
    BuildingModels().clear();
    for (int i = 0; i < 3; ++i) {
      BuildingModels().push_back(std::make_unique<TModel>());
      BuildingModels().back()->TriangleCount = 10 + i;
    }
  }
  void TearDown() override { BuildingModels().clear(); }
};

TEST_F(BuildingTest, EachBuildingTakesOneTurnDrawAndItsKindModTheCatalogue) {
  SetRandSeed(1234);
  std::vector<float> turns;
  for (int k = 0; k < 6; ++k) {
    turns.push_back(static_cast<float>(360.0 * RandomReal()));
  }
  SetRandSeed(1234);
  TBuilding building;
  building.SetCount(kBuildingsPerNode);
  const int32_t kinds[] = {0, 4, 2147483646, 7, 3};
  const Vector3f positions[] = {{0, 679, 0}, {679, 0, 0}, {0, 0, -679}, {1, 2, 3}, {0, 0, 0}};
  for (int k = 0; k < 5; ++k) {
    building.AddBuilding(k, kinds[k], positions[k]);
  }
  building.AddBuilding(5, 0, {1, 0, 0}); // outside the count: draws, places nothing
  const double after = RandomReal();
  SetRandSeed(1234);
  for (int k = 0; k < 6; ++k) {
    RandomReal();
  }
  EXPECT_EQ(after, RandomReal()) << "one draw per building, placed or not";

  ASSERT_EQ(building.Instances.size(), 5u);
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const TModelInstance& b = *building.Instances[size_t(k)];
    EXPECT_EQ(b.TurnAngle, turns[size_t(k)]);
    EXPECT_EQ(b.Model, BuildingModels()[size_t(kinds[k] % 3)].get());
    EXPECT_EQ(b.TriangleCount, 10 + kinds[k] % 3);
    EXPECT_EQ(b.Position.x, positions[k].x);
    // Upright: the model's +Y turned onto the way out from the planet's centre.
    const Vector3f up = TransformDirection({0, 1, 0}, b.Orientation);
    const Vector3f want = k == 4 ? Vector3f{0, 1, 0} : Normalized3(positions[k]);
    EXPECT_NEAR(up.x, want.x, 1e-5);
    EXPECT_NEAR(up.y, want.y, 1e-5);
    EXPECT_NEAR(up.z, want.z, 1e-5);
  }
}

TEST(Building, WithoutACatalogueInstancesHaveNoModel) {
  BuildingModels().clear();
  TBuilding building;
  building.SetCount(1);
  building.AddBuilding(0, 5, {0, 1, 0});
  ASSERT_NE(building.Instances[0], nullptr);
  EXPECT_EQ(building.Instances[0]->Model, nullptr);
  EXPECT_EQ(building.Instances[0]->TriangleCount, 0);
}

} // namespace
} // namespace meridia
