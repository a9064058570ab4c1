#include "models/OBJModel.h"

#include <gtest/gtest.h>

#include "storage/Log.h"
#include "storage/StorageTestSupport.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace meridia {
namespace {

// Removed first: truncating a file in place makes ext4 flush it to disk, slowly.
void WriteBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}
using namespace std::literals;

// A small house: quads and triangles, all three corner forms, relative indices, one material
// carried across a group, and a library named by the file and again by the implicit rule.
constexpr std::string_view kHouseObj = "# house\n"
                                       "mtllib house.mtl\n"
                                       "v 0 0 0\n"
                                       "v 1 0 0\n"
                                       "v 1 1 0\n"
                                       "v 0 1 0\n"
                                       "v 0.5 0.5 1 2\n"
                                       "vt 0 0\n"
                                       "vt 1 0\n"
                                       "vt 1 1 0.5\n"
                                       "vt 0 1\n"
                                       "vn 0 0 1\n"
                                       "g walls\n"
                                       "usemtl brick\n"
                                       "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
                                       "f -5/-4/-1 -4/-3/-1 -1/-1/-1\n"
                                       "g roof\n"
                                       "f 1//1 2//1 5//1\n"
                                       "usemtl Slate\n"
                                       "f 2 3/4 5\n";
constexpr std::string_view kHouseMtl = "# two materials\n"
                                       "newmtl brick\n"
                                       "Kd 0.8 0.25 0.5\n"
                                       "map_Kd brick wall.tga\n"
                                       "\n"
                                       "newmtl slate\n"
                                       "Ka 0.1 0.2 0.3 0.5\n"
                                       "illum 2\n"
                                       "Ns 10\n"
                                       "d 0.5\n"
                                       "Ni 1.5\n"
                                       "map_Bump slate_n.png\n";

// Each test in a folder of its own, with the log beside it.
class OBJModelTest : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    std::filesystem::create_directory("models");
  }

  // Writes the model (and its library when given) into models/ and loads it from here, so
  // that every load also moves into the model's folder and back.
  void Load(TOBJModel& model, std::string_view obj, std::string_view mtl = {}) {
    WriteBytes("models/house.obj", obj);
    if (!mtl.empty()) {
      WriteBytes("models/house.mtl", mtl);
    }
    const std::filesystem::path before = std::filesystem::current_path();
    model.LoadFromFile("models\\house.obj");
    EXPECT_EQ(std::filesystem::current_path(), before);
  }

  // What every load must leave, whatever the file: counts that match the arrays and corner
  // parts that are -1 or inside their array.
  static void ExpectConsistent(const TOBJModel& m) {
    ASSERT_EQ(m.PositionCount, int32_t(m.Positions.size()));
    ASSERT_EQ(m.TexCoordCount, int32_t(m.TexCoords.size()));
    ASSERT_EQ(m.NormalCount, int32_t(m.Normals.size()));
    for (const TOBJGroup& g : m.Groups) {
      ASSERT_EQ(g.Count, int32_t(g.Faces.size()));
      for (const TOBJFace& f : g.Faces) {
        ASSERT_EQ(f.Count, int32_t(f.Corners.size()));
        for (const TOBJCorner& c : f.Corners) {
          ASSERT_TRUE(c.Position == -1 || (c.Position >= 1 && c.Position <= m.PositionCount));
          ASSERT_TRUE(c.TexCoord == -1 || (c.TexCoord >= 1 && c.TexCoord <= m.TexCoordCount));
          ASSERT_TRUE(c.Normal == -1 || (c.Normal >= 1 && c.Normal <= m.NormalCount));
        }
      }
    }
  }
};

std::vector<std::array<int32_t, 3>> Corners(const TOBJFace& face) {
  std::vector<std::array<int32_t, 3>> out;
  for (const TOBJCorner& c : face.Corners) {
    out.push_back({c.Position, c.TexCoord, c.Normal});
  }
  return out;
}

using C = std::array<int32_t, 3>;

TEST_F(OBJModelTest, HouseGroupsFacesCornersAndMaterials) {
  TOBJModel m;
  Load(m, kHouseObj, kHouseMtl);
  ASSERT_EQ(m.PositionCount, 5);
  EXPECT_EQ(m.GetPosition(5).w, 2.0f);
  EXPECT_EQ(m.GetPosition(1).w, 1.0f); // the default w
  EXPECT_EQ(m.GetTexCoord(1).z, 1.0f);
  EXPECT_EQ(m.GetTexCoord(3).z, 0.5f);
  ASSERT_EQ(m.GroupCount(), 2);
  const TOBJGroup walls = m.GetGroup(0), roof = m.GetGroup(1);
  EXPECT_EQ(walls.Name, "walls");
  EXPECT_EQ(roof.Name, "roof");
  ASSERT_EQ(walls.Count, 2);
  ASSERT_EQ(roof.Count, 2);
  // Four corners stay four: no triangulation while reading.
  EXPECT_EQ(Corners(walls.Faces[0]), (std::vector<C>{{1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}}));
  // Relative indices count back from the end of what was read so far.
  EXPECT_EQ(Corners(walls.Faces[1]), (std::vector<C>{{1, 1, 1}, {2, 2, 1}, {5, 4, 1}}));
  EXPECT_EQ(Corners(roof.Faces[0]), (std::vector<C>{{1, -1, 1}, {2, -1, 1}, {5, -1, 1}}));
  EXPECT_EQ(Corners(roof.Faces[1]), (std::vector<C>{{2, -1, -1}, {3, 4, -1}, {5, -1, -1}}));
  // "usemtl" holds across groups until the next one.
  EXPECT_EQ(walls.Faces[1].Material, "brick");
  EXPECT_EQ(roof.Faces[0].Material, "brick");
  EXPECT_EQ(roof.Faces[1].Material, "Slate");

  // Named by the file and again implicitly: one library.
  ASSERT_EQ(m.Libraries.size(), 1u);
  TOBJMaterial slate;
  ASSERT_TRUE(m.FindMaterial("SLATE", slate));
  EXPECT_EQ(slate.Name, "slate");
  EXPECT_EQ(slate.Ka.w, 0.5f);
  EXPECT_EQ(slate.Kd.w, 1.0f);
  EXPECT_EQ(slate.Illum, 2);
  EXPECT_EQ(slate.Ns, 10.0f);
  EXPECT_EQ(slate.D, 0.5f);
  EXPECT_EQ(slate.Ni, 1.5f);
  EXPECT_EQ(slate.MapBump, "slate_n.png");
  TOBJMaterial brick;
  ASSERT_TRUE(m.FindMaterial("brick", brick));
  EXPECT_EQ(brick.Kd.y, 0.25f);
  EXPECT_EQ(brick.MapKd, "brick wall.tga"); // the rest of the line, blanks included
  EXPECT_FALSE(m.FindMaterial("glass", brick));
  ExpectConsistent(m);
}

TEST_F(OBJModelTest, LinesJoinedKeywordsAndDefaults) {
  const struct {
    const char* name;
    std::string obj;
    Vector4f first;
  } cases[] = {
      {"joined", "v 1 2 \\\n3\n", {1, 2, 3, 1}},
      {"joined over CR LF and blanks", "v 1 \\\r\n\r\n  2 \\\r\n 3 4\r\n", {1, 2, 3, 4}},
      {"last line ends in a backslash", "v 5 6\\", {5, 6, 0, 1}},
      {"tabs", "v\t7\t8\t9", {7, 8, 9, 1}},
      {"missing values keep defaults", "v 1\n", {1, 0, 0, 1}},
      {"odd numbers read as 0", "v 1,5 nan 0x10 inf\n", {0, 0, 0, 0}},
      {"exponents", "v 1e2 -2.5E-1 .5\n", {100, -0.25f, 0.5f, 1}},
      {"byte-order mark", "\xEF\xBB\xBFv 3 2 1\n", {3, 2, 1, 1}},
      {"keywords are case-sensitive", "V 9 9 9\nv 1 1 1\n", {1, 1, 1, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TOBJModel m;
    Load(m, c.obj);
    ASSERT_GE(m.PositionCount, 1);
    const Vector4f p = m.GetPosition(1);
    EXPECT_EQ(p.x, c.first.x);
    EXPECT_EQ(p.y, c.first.y);
    EXPECT_EQ(p.z, c.first.z);
    EXPECT_EQ(p.w, c.first.w);
  }
}

TEST_F(OBJModelTest, MaterialKeywordsAreCaseSensitiveAndNeedANewmtl) {
  TOBJModel m;
  Load(m, "f 1\n",
       "Kd 1 1 1\nnewmtl a\nkd 0.5 0.5 0.5\nKD 0.5 0.5 0.5\nKs 0.25 0.5 0.75 0\nmap_kd x.tga\n");
  TOBJMaterial a;
  ASSERT_TRUE(m.FindMaterial("A", a));
  EXPECT_EQ(a.Kd.x, 0.0f);
  EXPECT_EQ(a.Ks.x, 0.25f);
  EXPECT_EQ(a.Ks.w, 0.0f);
  EXPECT_EQ(a.MapKd, "");
  ASSERT_EQ(m.Libraries[0]->Materials.size(), 1u);
}

TEST_F(OBJModelTest, FacesBeforeAnyGroupGoToAnUnnamedOne) {
  TOBJModel m;
  Load(m, "v 0 0 0\nusemtl m\nf 1 1 1\ng named\nf 1 1\n");
  ASSERT_EQ(m.GroupCount(), 2);
  EXPECT_EQ(m.Groups[0].Name, "");
  EXPECT_EQ(m.Groups[0].Count, 1);
  EXPECT_EQ(m.Groups[0].Faces[0].Material, "m");
  EXPECT_EQ(m.Groups[1].Faces[0].Count, 2);
  EXPECT_EQ(m.GetGroup(2).Count, 0); // out of range: empty
}

TEST_F(OBJModelTest, FacesWithIndicesThatPointAtNothingAreDroppedAndReportedOnce) {
  TOBJModel m;
  // Two positions, one coordinate, no normal. Position 3 arrives later in the file, so a face
  // may name it; 4 never exists. Only the first and the last face point at nothing but entries.
  Load(m, "v 0 0 0\nv 1 0 0\nvt 0 0\n"
          "f 1/1 2/-1 3/1\n"
          "f 0 1 2\n"
          "f -3 1 2\n"
          "f 1 2 4\n"
          "f 1/x 2 3\n"
          "f 1//1 2 3\n"
          "f 1/-2147483648 2 3\n"
          "f -2 -1 3\n"
          "v 2 0 0\n");
  ASSERT_EQ(m.Groups.size(), 1u);
  ASSERT_EQ(m.Groups[0].Count, 2);
  EXPECT_EQ(Corners(m.Groups[0].Faces[0]), (std::vector<C>{{1, 1, -1}, {2, 1, -1}, {3, 1, -1}}));
  EXPECT_EQ(Corners(m.Groups[0].Faces[1]), (std::vector<C>{{1, -1, -1}, {2, -1, -1}, {3, -1, -1}}));
  EXPECT_EQ(m.DroppedFaceCount, 6);
  ExpectConsistent(m);
  const auto log = LogMessages();
  EXPECT_EQ(
      std::count(log.begin(), log.end(), "Model indices out of range ignored : models\\house.obj"),
      1);
}

TEST_F(OBJModelTest, MaterialsFoundFirstInLoadOrderIgnoringCase) {
  WriteBytes("models/second.mtl", "newmtl STONE\nKd 3 0 0\nnewmtl Only\nKd 4 0 0\n");
  TOBJModel m;
  // The byte-order mark hides nothing; a name met again keeps its first material, while the
  // lines after each "newmtl" still go to the material it made.
  Load(m, "mtllib second.mtl\n",
       "\xEF\xBB\xBFnewmtl Stone\nKd 1 0 0\nnewmtl stone\nKd 2 0 0\nnewmtl Other\nKd 5 0 0\n");
  ASSERT_EQ(m.Libraries.size(), 2u);
  ASSERT_EQ(m.Libraries[0]->Materials.size(), 3u);
  EXPECT_EQ(m.Libraries[0]->Materials[1].Kd.x, 2.0f);
  const struct {
    const char* name;
    float kd; // 0: not found
  } cases[] = {{"stone", 1}, {"STONE", 1}, {"sToNe", 1}, {"only", 4},
               {"OTHER", 5}, {"ston", 0},  {"stone ", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TOBJMaterial found;
    ASSERT_EQ(m.FindMaterial(c.name, found), c.kd != 0);
    EXPECT_EQ(found.Kd.x, c.kd);
  }
  TOBJMaterial own;
  ASSERT_TRUE(m.Libraries[0]->Find("STONE", own));
  EXPECT_EQ(own.Kd.x, 1.0f);
  ASSERT_TRUE(m.Libraries[1]->Find("stone", own));
  EXPECT_EQ(own.Kd.x, 3.0f);
}

TEST_F(OBJModelTest, LibrariesLoadOnceByFileNameEvenWhenMissing) {
  TOBJModel m;
  WriteBytes("models/extra.mtl", "newmtl e\n");
  Load(m, "mtllib HOUSE.MTL\nmtllib extra.mtl\nmtllib sub/../Extra\nmtllib gone.mtl\n"
          "mtllib gone.mtl\nusemtl e\n");
  // house.mtl (implicit, missing), extra.mtl, gone.mtl (missing): three, each once.
  ASSERT_EQ(m.Libraries.size(), 3u);
  EXPECT_TRUE(m.Libraries[0]->Materials.empty());
  EXPECT_EQ(m.Libraries[1]->FileName, "extra.mtl");
  TOBJMaterial e;
  EXPECT_TRUE(m.FindMaterial("E", e));
}

TEST_F(OBJModelTest, CurrentFolderRestoredOnEveryWayOut) {
  const std::filesystem::path before = std::filesystem::current_path();
  for (const char* name : {"models\\missing.obj", "nowhere/house.obj", "models/", "", "x.obj"}) {
    SCOPED_TRACE(name);
    TOBJModel m;
    m.LoadFromFile(name);
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(m.GroupCount(), 0);
    EXPECT_EQ(m.PositionCount, 0);
  }
}

TEST_F(OBJModelTest, StrangeFilesLoadWithoutHarm) {
  std::string utf16 = "\xFF\xFE";
  for (char ch : std::string("v 1 2 3\r\nf 1 1 1\r\n")) {
    utf16 += ch;
    utf16 += '\0';
  }
  std::string long_face = "v 0 0 0\nvt 0 0\nvn 0 0 1\nf";
  for (int i = 0; i < 20000; ++i) {
    long_face += " 1/1/1";
  }
  const std::string cases[] = {
      utf16,
      long_face,
      std::string(100000, '\\'),
      "v 1 2 3\nv 4 5 6\np 1\nl 1 2\no thing\ns off\n",
      "f\nf /\nf //\nf ///\nf 1/1/1/1/1\ng\nusemtl\nmtllib\n",
      std::string("v 1 2 3\0\0\0 f 1 2 3"sv),
  };
  for (const std::string& text : cases) {
    TOBJModel m;
    Load(m, text);
    ExpectConsistent(m);
  }
  TOBJModel m;
  Load(m, long_face);
  ASSERT_EQ(m.Groups.size(), 1u);
  EXPECT_EQ(m.Groups[0].Faces[0].Count, 20000);
  EXPECT_EQ(m.Groups[0].Faces[0].Corners[19999].Position, 1);
}

TEST_F(OBJModelTest, EveryTruncatedObjOrMtlLoadsWithoutHarm) {
  for (size_t n = 0; n <= kHouseObj.size(); ++n) {
    TOBJModel m;
    Load(m, kHouseObj.substr(0, n), kHouseMtl);
    ExpectConsistent(m);
  }
  for (size_t n = 0; n <= kHouseMtl.size(); ++n) {
    TOBJModel m;
    WriteBytes("models/house.mtl", kHouseMtl.substr(0, n));
    Load(m, kHouseObj);
    ExpectConsistent(m);
    TOBJMaterial brick;
    EXPECT_EQ(m.FindMaterial("brick", brick),
              n >= std::string_view("# two materials\nnewmtl brick").size());
  }
}

} // namespace
} // namespace meridia
