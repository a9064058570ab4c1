// meridia-inspect on OBJ files in the styles other exporters write, and on the city model.
#include "FileKind.h"

#include "CityModelDesign.h"
#include "models/OBJModel.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"
#include "support/TestPictures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace meridia::inspect {
namespace {

const std::string kFixtures = MERIDIA_MODEL_FIXTURES;

// The number after "key": in one line of JSON; -1 when absent.
int64_t JsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  return at == std::string::npos ? -1 : std::stoll(json.substr(at + key.size() + 3));
}

// A path as the loader composes it ("\\" between folders), inside a JSON string.
std::string JsonBackslashes(const std::string& path) {
  std::string json;
  for (const char c : path) {
    json += c == '/' ? std::string("\\\\") : std::string(1, c);
  }
  return json;
}

InspectOptions Options(bool json, double scale = 1) {
  InspectOptions options;
  options.json = json;
  options.scale = scale;
  return options;
}

// Every face fanned: n - 2 triangles each, none for fewer than three corners.
int64_t FanTriangles(const std::string& path) {
  TOBJModel obj;
  obj.LoadFromFile(path);
  int64_t triangles = 0;
  for (const TOBJGroup& group : obj.Groups) {
    for (const TOBJFace& face : group.Faces) {
      triangles += std::max(0, face.Count - 2);
    }
  }
  return triangles;
}

TEST(InspectModel, ExportsOfOtherToolsAsTheLoaderSeesThem) {
  const struct {
    const char* file;
    int status, groups, faces, dropped, triangles, shapes;
    const char* materials;
    const char* missing;
    const char* missing_libraries;
    std::string textures;
  } cases[] = {
      // Objects ("o") are not groups; a hexagon fans into four triangles; the brick picture the
      // library names is not there.
      {"blender.obj", 1, 1, 9, 0, 18, 2, R"(["Material","Roof.001"])", "[]", "[]",
       R"([{"material":"Material","file":")" + JsonBackslashes(kFixtures + "/bricks.png") +
           R"(","found":false,"decoded":false}])"},
      // CR LF, blanks before the line end, a library that is not there.
      {"max.obj", 1, 2, 4, 0, 5, 1, "[]", R"(["wire_028089177","01 - Default"])",
       R"(["max_missing.mtl"])", "[]"},
      {"relative.obj", 0, 3, 3, 0, 5, 1, "[]", "[]", "[]", "[]"},
      // Three faces point at entries that do not exist; "mtllib" alone names a library too.
      {"malformed.obj", 1, 1, 6, 3, 4, 1, "[]", R"(["broken"])", R"(["","nowhere.mtl"])", "[]"},
      {"points_lines.obj", 0, 0, 0, 0, 0, 0, "[]", "[]", "[]", "[]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kFixtures + "/" + c.file;
    ASSERT_TRUE(IsModel(path));
    std::ostringstream out, err;
    EXPECT_EQ(DescribeModel(path, Options(true), out, err), c.status) << err.str();
    const std::string json = out.str();
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);
    EXPECT_NE(json.find("\"kind\":\"model\""), std::string::npos);
    EXPECT_NE(json.find(c.status == 0 ? "\"whole\":true" : "\"whole\":false"), std::string::npos);
    EXPECT_EQ(JsonNumber(json, "groups"), c.groups);
    EXPECT_EQ(JsonNumber(json, "faces"), c.faces);
    EXPECT_EQ(JsonNumber(json, "dropped_faces"), c.dropped);
    EXPECT_EQ(JsonNumber(json, "triangles"), c.triangles);
    EXPECT_EQ(JsonNumber(json, "triangles"), FanTriangles(path));
    EXPECT_EQ(JsonNumber(json, "shapes"), c.shapes);
    EXPECT_NE(json.find(std::string("\"materials\":") + c.materials), std::string::npos) << json;
    EXPECT_NE(json.find(std::string("\"missing_materials\":") + c.missing), std::string::npos)
        << json;
    EXPECT_NE(json.find(std::string("\"missing_libraries\":") + c.missing_libraries),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"textures\":" + c.textures), std::string::npos) << json;
    // The loader's own word for the faces it left out reaches the person.
    EXPECT_EQ(err.str().find("log: Model indices out of range ignored : " + path) !=
                  std::string::npos,
              c.dropped > 0)
        << err.str();
  }
}

TEST(InspectModel, TheCityModelWithItsBoundsAndTexturesAtAScale) {
  testing::TemporaryFolder folder;
  const citygen::CityModel city = citygen::BuildCityModel("47");
  ASSERT_TRUE(citygen::WriteCityModel(city, folder.path().string()));
  const std::string path = folder / "Bld_47.obj";
  std::ostringstream json, text, err;
  ASSERT_EQ(DescribeModel(path, Options(true, 0.1), json, err), 0);
  EXPECT_EQ(JsonNumber(json.str(), "triangles"), city.Triangles);
  EXPECT_EQ(JsonNumber(json.str(), "shapes"), city.Materials);
  // Z-up turned to Y-up, metres, standing on y = 0.
  EXPECT_NE(json.str().find(R"("bounds":[[-30,0,-20],[30,45.2999992,20]])"), std::string::npos)
      << json.str();
  ASSERT_EQ(DescribeModel(path, Options(false), text, err), 0);
  EXPECT_EQ(text.str().find("(missing)"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("glass.tga"), std::string::npos);
}

// A texture that is there but cannot be decoded fails the model as much as a missing one: the
// viewer draws that shape untextured.
TEST(InspectModel, TexturesAreFoundAndDecodedAsTheViewerWould) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  std::filesystem::create_directory("m");
  const std::vector<uint8_t> card = testing::TgaCard(false);
  std::ofstream("m/card.tga", std::ios::binary)
      .write(reinterpret_cast<const char*>(card.data()), std::streamsize(card.size()));
  std::ofstream("m/junk.png", std::ios::binary) << std::string(50, 'j');
  const std::string mtl = "newmtl good\nmap_Kd card\nnewmtl junk\nmap_Kd junk.png\n"
                          "newmtl gone\nmap_Kd gone.tga\n";
  std::ofstream("m/m.mtl", std::ios::binary) << mtl;
  const auto describe = [](const std::string& materials, std::string& json) {
    std::ofstream("m/m.obj", std::ios::binary) << "v 0 0 0\nv 1 0 0\nv 0 1 0\n" << materials;
    std::ostringstream out, err;
    const int status = DescribeModel("m/m.obj", Options(true), out, err);
    json = out.str();
    return status;
  };
  std::string json;
  EXPECT_EQ(describe("usemtl good\nf 1 2 3\nusemtl junk\nf 1 2 3\nusemtl gone\nf 1 2 3\n", json),
            1);
  EXPECT_NE(json.find(R"("textures":[)"
                      R"({"material":"good","file":"m\\card.tga","found":true,"decoded":true},)"
                      R"({"material":"junk","file":"m\\junk.png","found":true,"decoded":false},)"
                      R"({"material":"gone","file":"m\\gone.tga","found":false,"decoded":false}])"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("Picture not decoded : m\\junk.png : )"), std::string::npos) << json;
  EXPECT_EQ(describe("usemtl good\nf 1 2 3\n", json), 0);
  EXPECT_NE(json.find(R"("whole":true)"), std::string::npos) << json;
}

TEST(InspectModel, FacesLeftOutAloneFailTheModel) {
  testing::TemporaryFolder folder;
  const std::string path = folder / "m.obj";
  std::ofstream(path, std::ios::binary) << "v 0 0 5\nv 1 0 5\nv 0 0 6\nf 1 2 3\nf 1 2 4\n";
  std::ostringstream out, err;
  EXPECT_EQ(DescribeModel(path, Options(false), out, err), 1);
  EXPECT_NE(out.str().find("1 faces left out: indices out of range\n"), std::string::npos)
      << out.str();
  // Standing on y = 0 and 1 high: no corner made up at the origin.
  EXPECT_NE(out.str().find("bounds (0 0 "), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(") to (1 1 "), std::string::npos) << out.str();
  EXPECT_NE(err.str().find("log: Model indices out of range ignored : " + path + "\n"),
            std::string::npos)
      << err.str();
}

TEST(InspectModel, RecognisedByNameOrFirstKeywordAndUnreadableFilesFail) {
  testing::TemporaryFolder folder;
  const auto write = [&](const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return folder / name;
  };
  EXPECT_TRUE(IsModel(write("a.txt", "# comment\n\n  v 1 2 3\n")));
  EXPECT_TRUE(IsModel(write("b", "mtllib x.mtl\n")));
  EXPECT_TRUE(IsModel(write("C.OBJ", "anything")));
  EXPECT_FALSE(IsModel(write("d.txt", "# only a comment\n")));
  EXPECT_FALSE(IsModel(write("e.png", "\x89PNG\r\n")));
  std::ostringstream out, err;
  EXPECT_EQ(DescribeModel(folder / "gone.obj", Options(true), out, err), 1);
  EXPECT_NE(out.str().find("\"error\""), std::string::npos);
}

} // namespace
} // namespace meridia::inspect
