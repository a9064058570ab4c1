#include "terrain/TerrainMaps.h"

#include "engine/Random.h"
#include "terrain/PixelBufferD.h"

#include <gtest/gtest.h>

#include "support/FileSizeLimit.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia {
namespace {

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const std::string& path, const std::vector<char>& bytes, size_t length) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(length));
}

TEST(TerrainMaps, FileLayoutIsSizesThenRowMajorFloats) {
  const testing::TemporaryFolder folder;
  THeightMapBuffer map;
  map.SetSize(4, 2);
  for (size_t i = 0; i < map.Data.size(); ++i) {
    map.Data[i] = 0.25f * static_cast<float>(i);
  }
  ASSERT_TRUE(SaveHeightMapToFile(map, folder / "m.dat"));
  const auto bytes = Bytes(folder / "m.dat");
  ASSERT_EQ(bytes.size(), 8u + 8u * 4u);
  int32_t sides[2] = {};
  float sample = 0;
  std::memcpy(sides, bytes.data(), 8);
  std::memcpy(&sample, bytes.data() + 8 + 4 * 5, 4); // (x 1, y 1)
  EXPECT_EQ(sides[0], 4);
  EXPECT_EQ(sides[1], 2);
  EXPECT_EQ(sample, 1.25f);

  TPixelBuffer_d loaded;
  ASSERT_TRUE(loaded.LoadFromFile(folder / "m.dat"));
  EXPECT_EQ(loaded.Width, 4);
  EXPECT_EQ(loaded.Height, 2);
  EXPECT_EQ(loaded.Data, map.Data);
}

TEST(TerrainMaps, EveryWorldButTheDefaultOneKeepsTaggedMapsInAFolderOfItsOwn) {
  EXPECT_EQ(WorldMapFolder(500), "base/maps/");
  EXPECT_EQ(WorldMapFolder(7), "base/maps/world-7/");
  EXPECT_EQ(WorldMapFolder(0), "base/maps/world-0/");
  EXPECT_EQ(WorldMapFolder(INT32_MIN), "base/maps/world--2147483648/");

  const testing::TemporaryFolder folder;
  THeightMapBuffer map;
  map.SetSize(4, 2);
  map.Data.assign(8, 0.75f);
  ASSERT_TRUE(SaveHeightMapToFile(map, folder / "bare.dat", 500));
  ASSERT_TRUE(SaveHeightMapToFile(map, folder / "seven.dat", 7));
  const auto bare = Bytes(folder / "bare.dat");
  const auto seven = Bytes(folder / "seven.dat");
  // The tag, then the default world's layout byte for byte.
  ASSERT_EQ(seven.size(), 8u + bare.size());
  EXPECT_EQ(std::string(seven.data(), 4), "MWLD");
  int32_t seed = 0;
  std::memcpy(&seed, seven.data() + 4, 4);
  EXPECT_EQ(seed, 7);
  EXPECT_TRUE(std::equal(bare.begin(), bare.end(), seven.begin() + 8));

  // A map is loaded only for the world that made it.
  const struct {
    const char* file;
    int32_t world;
    bool loads;
  } cases[] = {{"bare.dat", 500, true},
               {"bare.dat", 7, false},
               {"seven.dat", 7, true},
               {"seven.dat", 500, false},
               {"seven.dat", -7, false}};
  for (const auto& c : cases) {
    TPixelBuffer_d loaded;
    EXPECT_EQ(loaded.LoadFromFile(folder / c.file, c.world), c.loads) << c.file << c.world;
    EXPECT_EQ(loaded.Data, c.loads ? map.Data : std::vector<float>()) << c.file << c.world;
    EXPECT_EQ(IsValidMapFile(folder / c.file, c.world), c.loads) << c.file << c.world;
  }
  const TMapFileFacts facts = InspectMapFile(folder / "seven.dat");
  EXPECT_TRUE(facts.Tagged);
  EXPECT_EQ(facts.Seed, 7);
  EXPECT_EQ(facts.Width, 4);
  EXPECT_EQ(facts.Height, 2);
  EXPECT_EQ(facts.Refusal, "");
  EXPECT_FALSE(InspectMapFile(folder / "bare.dat").Tagged);
  EXPECT_EQ(InspectMapFile(folder / "bare.dat").Seed, 500);
  EXPECT_EQ(InspectMapFile(folder / "missing.dat").Refusal, "cannot be opened");
}

TEST(TerrainMaps, DamagedFilesAreRefusedWhole) {
  const testing::TemporaryFolder folder;
  const std::string good = folder / "good.dat", bad = folder / "bad.dat";
  THeightMapBuffer map;
  map.SetSize(8, 8);
  map.Data.assign(64, 0.5f);
  // Every prefix of a map, of the default world and of another, is refused.
  for (const int32_t world : {500, 7}) {
    ASSERT_TRUE(SaveHeightMapToFile(map, good, world));
    EXPECT_TRUE(IsValidMapFile(good, world));
    const auto bytes = Bytes(good);
    for (size_t length = 0; length < bytes.size(); ++length) {
      Write(bad, bytes, length);
      TPixelBuffer_d loaded;
      EXPECT_FALSE(loaded.LoadFromFile(bad, world)) << length;
      EXPECT_TRUE(loaded.IsEmpty());
      EXPECT_FALSE(IsValidMapFile(bad, world));
    }
  }
  auto bytes = Bytes(good);
  // One byte too many, or a width that is not a power of two.
  bytes.push_back(0);
  Write(bad, bytes, bytes.size());
  EXPECT_FALSE(IsValidMapFile(bad, 7));
  const int32_t six = 6;
  std::memcpy(bytes.data() + 8, &six, 4);
  Write(bad, bytes, bytes.size() - 1);
  EXPECT_FALSE(IsValidMapFile(bad, 7));
  EXPECT_EQ(InspectMapFile(bad).Refusal, "header does not match its size");

  // The right size, but one sample that no generator makes and no height can carry.
  for (const float sample : {std::nanf(""), INFINITY, -INFINITY, 1e30f, -2000.0f}) {
    map.Data.assign(64, 0.5f);
    map.Data[37] = sample;
    ASSERT_TRUE(SaveHeightMapToFile(map, bad));
    TPixelBuffer_d loaded;
    EXPECT_FALSE(loaded.LoadFromFile(bad)) << sample;
    EXPECT_TRUE(loaded.IsEmpty());
    EXPECT_FALSE(IsValidMapFile(bad)) << sample;
    EXPECT_EQ(InspectMapFile(bad).Refusal, "samples out of range");
  }
}

TEST(TerrainMaps, GenerationWritesBothMapsReproduciblyOrFails) {
  const testing::TemporaryFolder folder;
  const std::string dir = folder / "";
  SetRandSeed(500);
  ASSERT_TRUE(GenerateTerrainMaps(dir, 500, 64, 64));
  const auto erosion = Bytes(folder / "errosion.dat");
  const auto base = Bytes(folder / "basemap.dat");
  EXPECT_EQ(erosion.size(), 8u + 64u * 64u * 4u);
  EXPECT_EQ(base.size(), erosion.size());
  EXPECT_NE(base, erosion);
  SetRandSeed(500);
  ASSERT_TRUE(GenerateTerrainMaps(dir, 500, 64, 64));
  EXPECT_EQ(Bytes(folder / "errosion.dat"), erosion);
  EXPECT_EQ(Bytes(folder / "basemap.dat"), base);

  // A disk that fills part way through a map: the files stay as they were, nothing half
  // written is left, and the caller still gets both maps.
  const testing::TemporaryFolder full;
  std::ofstream(full / "errosion.dat") << "old";
  std::ofstream(full / "basemap.dat") << "old";
  TTerrainMaps maps;
  SetRandSeed(500);
  {
    const testing::FileSizeLimit limit(erosion.size() / 2);
    EXPECT_FALSE(GenerateTerrainMaps(full / "", 500, 64, 64, &maps));
  }
  EXPECT_EQ(Bytes(full / "errosion.dat"), std::vector<char>({'o', 'l', 'd'}));
  EXPECT_EQ(Bytes(full / "basemap.dat"), std::vector<char>({'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(full.path()), {}), 2);
  ASSERT_EQ(maps.Base.Data.size(), 64u * 64u);
  EXPECT_EQ(std::memcmp(maps.Erosion.Data.data(), erosion.data() + 8, erosion.size() - 8), 0);
  EXPECT_EQ(std::memcmp(maps.Base.Data.data(), base.data() + 8, base.size() - 8), 0);

  const testing::TemporaryFolder empty;
  std::ofstream(empty / "file") << "x";
  EXPECT_FALSE(GenerateTerrainMaps(empty / "file/", 500, 16, 16)) << "not a folder";
  EXPECT_FALSE(GenerateTerrainMaps(empty / "", 500, 48, 48, &maps)) << "not a power of two";
  EXPECT_TRUE(maps.Erosion.Data.empty() && maps.Base.Data.empty());
  EXPECT_FALSE(std::filesystem::exists(empty / "errosion.dat"));
}

} // namespace
} // namespace meridia
