#include "CityModelDesign.h"

#include "models/OBJModel.h"
#include "storage/DataManager.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <set>

namespace meridia {
namespace {

using citygen::BuildCityModel;
using citygen::CityModel;

TEST(CityModel, TheWrittenModelReadsBackWithEveryPartPresent) {
  const CityModel model = BuildCityModel("47");
  EXPECT_EQ(model.ObjName, "Bld_47.obj");
  testing::TemporaryFolder folder;
  ASSERT_TRUE(citygen::WriteCityModel(model, folder.path().string()));

  TOBJModel obj;
  obj.LoadFromFile(folder / "Bld_47.obj");
  ASSERT_EQ(obj.GroupCount(), model.Groups);
  int32_t faces = 0, triangles = 0;
  std::set<std::string> materials;
  for (const TOBJGroup& group : obj.Groups) {
    faces += group.Count;
    for (const TOBJFace& face : group.Faces) {
      triangles += face.Count - 2;
      materials.insert(face.Material);
      for (const TOBJCorner& c : face.Corners) {
        ASSERT_TRUE(c.Position >= 1 && c.TexCoord >= 1 && c.Normal >= 1);
      }
      TOBJMaterial material;
      ASSERT_TRUE(obj.FindMaterial(face.Material, material)) << face.Material;
      ASSERT_FALSE(material.MapKd.empty());
    }
  }
  EXPECT_EQ(faces, model.Faces);
  EXPECT_EQ(triangles, model.Triangles);
  EXPECT_EQ(int32_t(materials.size()), model.Materials);
  // Fewer materials than groups: shapes merge across groups.
  EXPECT_LT(model.Materials, model.Groups);
  // Quads and the gable ends' pentagons, no triangles: more than two triangles a face.
  EXPECT_GT(triangles, 2 * faces);
  for (const auto& texture : model.Textures) {
    EXPECT_TRUE(FileExists(folder / texture.Name)) << texture.Name;
  }
}

TEST(CityModel, SameBytesEveryTime) {
  const CityModel a = BuildCityModel("47"), b = BuildCityModel("47");
  EXPECT_EQ(a.Obj, b.Obj);
  EXPECT_EQ(a.Mtl, b.Mtl);
  ASSERT_EQ(a.Textures.size(), b.Textures.size());
  for (size_t i = 0; i < a.Textures.size(); ++i) {
    EXPECT_EQ(a.Textures[i].Image.Pixels, b.Textures[i].Image.Pixels);
  }
}

} // namespace
} // namespace meridia
