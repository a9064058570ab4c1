#include "terrain/TerrainMaps.h"

#include "engine/Random.h"
#include "terrain/PixelBufferD.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;

class TerrainMapsTest : public ::testing::Test {
protected:
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  static std::vector<char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  testing::TemporaryFolder folder_;
  fs::path dir_ = folder_.path();
};

TEST_F(TerrainMapsTest, FileLayoutIsSizesThenRowMajorFloats) {
  THeightMapBuffer map;
  map.SetSize(4, 2);
  for (size_t i = 0; i < map.Data.size(); ++i) {
    map.Data[i] = 0.25f * static_cast<float>(i);
  }
  ASSERT_TRUE(SaveHeightMapToFile(map, Path("m.dat")));
  const auto bytes = Bytes(Path("m.dat"));
  ASSERT_EQ(bytes.size(), 8u + 8u * 4u);
  int32_t width = 0, height = 0;
  std::memcpy(&width, bytes.data(), 4);
  std::memcpy(&height, bytes.data() + 4, 4);
  EXPECT_EQ(width, 4);
  EXPECT_EQ(height, 2);
  float sample = 0;
  std::memcpy(&sample, bytes.data() + 8 + 4 * 5, 4); // (x 1, y 1)
  EXPECT_EQ(sample, 1.25f);

  TPixelBuffer_d loaded;
  ASSERT_TRUE(loaded.LoadFromFile(Path("m.dat")));
  EXPECT_EQ(loaded.Width, 4);
  EXPECT_EQ(loaded.Height, 2);
  EXPECT_EQ(loaded.Data, map.Data);
}

TEST_F(TerrainMapsTest, DamagedFilesAreRefusedWhole) {
  THeightMapBuffer map;
  map.SetSize(8, 8);
  map.Data.assign(64, 0.5f);
  ASSERT_TRUE(SaveHeightMapToFile(map, Path("good.dat")));
  const auto bytes = Bytes(Path("good.dat"));
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::ofstream(Path("cut.dat"), std::ios::binary).write(bytes.data(), length);
    TPixelBuffer_d loaded;
    EXPECT_FALSE(loaded.LoadFromFile(Path("cut.dat"))) << length;
    EXPECT_TRUE(loaded.IsEmpty());
    EXPECT_FALSE(IsValidMapFile(Path("cut.dat")));
  }
  // A header that does not describe the file, or sides that are not powers of two.
  auto patched = bytes;
  const int32_t six = 6;
  std::memcpy(patched.data(), &six, 4);
  std::ofstream(Path("odd.dat"), std::ios::binary).write(patched.data(), patched.size());
  EXPECT_FALSE(IsValidMapFile(Path("odd.dat")));
  patched = bytes;
  patched.push_back(0);
  std::ofstream(Path("long.dat"), std::ios::binary).write(patched.data(), patched.size());
  EXPECT_FALSE(IsValidMapFile(Path("long.dat")));
  EXPECT_TRUE(IsValidMapFile(Path("good.dat")));
}

TEST_F(TerrainMapsTest, GenerationWritesBothMapsAndIsReproducible) {
  const std::string folder = (dir_ / "").string();
  SetRandSeed(500);
  ASSERT_TRUE(GenerateTerrainMaps(folder, 500, 64, 64));
  const auto erosion = Bytes(Path("errosion.dat"));
  const auto base = Bytes(Path("basemap.dat"));
  EXPECT_EQ(erosion.size(), 8u + 64u * 64u * 4u);
  EXPECT_EQ(base.size(), erosion.size());

  TPixelBuffer_d map;
  ASSERT_TRUE(map.LoadFromFile(Path("errosion.dat")));
  float lowest = 2, highest = -1;
  for (float v : map.Data) {
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_EQ(lowest, 0.0f);
  EXPECT_EQ(highest, 1.0f);

  SetRandSeed(500);
  ASSERT_TRUE(GenerateTerrainMaps(folder, 500, 64, 64));
  EXPECT_EQ(Bytes(Path("errosion.dat")), erosion);
  EXPECT_EQ(Bytes(Path("basemap.dat")), base);
}

TEST_F(TerrainMapsTest, UnwritableFolderOrBadSizeFails) {
  std::ofstream(Path("file")) << "x";
  SetRandSeed(500);
  EXPECT_FALSE(GenerateTerrainMaps(Path("file") + "/", 500, 16, 16));
  EXPECT_FALSE(GenerateTerrainMaps((dir_ / "").string(), 500, 48, 48));
  EXPECT_FALSE(fs::exists(Path("errosion.dat")));
}

} // namespace
} // namespace meridia
