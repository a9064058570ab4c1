#include "terrain/HeightMapFactory.h"
#include "terrain/TerrainMaps.h"

#include "engine/ProgramVariant.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include "storage/Log.h"

#include "support/FileSizeLimit.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace meridia {
namespace {

TEST(PixelBufferD, BicubicHitsSamplesExactlyAndWraps) {
  // Sample (x, y) is x + 1000 y: every lookup says where it read.
  TPixelBuffer_d map;
  map.SetSize(8, 4);
  for (size_t i = 0; i < map.Data.size(); ++i) {
    map.Data[i] = static_cast<float>(i % 8 + 1000 * (i / 8));
  }
  EXPECT_EQ(map.SampleBicubic(0.0, 0.0), 0.0);
  // U = 1 reads column Width - 1, not column 0 although the grid wraps at Width.
  EXPECT_EQ(map.SampleBicubic(1.0, 0.0), 7.0);
  EXPECT_EQ(map.SampleBicubic(3.0 / 7.0, 2.0 / 3.0), 3.0 + 2000.0);
  // One full wrap in u lands one column early (the scale is Width - 1, the wrap Width).
  EXPECT_EQ(map.SampleBicubic(2.0, 0.0), 6.0);
  const double between = map.SampleBicubic(3.5 / 7.0, 1.0 / 3.0);
  EXPECT_TRUE(between > 1003.0 && between < 1004.0) << between;

  EXPECT_EQ(TPixelBuffer_d().SampleBicubic(0.3, 0.7), 0.0) << "empty";
  map.SetSize(6, 4);
  EXPECT_TRUE(map.IsEmpty()) << "sides must be powers of two";
  map.SetSize(4, 2);
  EXPECT_EQ(map.LastIndex, 7);
}

class FactoryTest : public ::testing::Test {
protected:
  void TearDown() override { SetProgramVariant(ProgramVariant::kStandard); }

  static THeightMapFactory Make() {
    auto erosion = std::make_unique<TPixelBuffer_d>();
    erosion->SetSize(64, 64);
    for (size_t i = 0; i < erosion->Data.size(); ++i) {
      erosion->Data[i] = static_cast<float>((i * 2654435761u % 1000u) / 1000.0);
    }
    return THeightMapFactory(kPlanetSeed, std::move(erosion), TzoImage());
  }
  static Vector3f Direction(int i) {
    return CubeFaceDirection(i % 6, std::sin(i * 1.3), std::cos(i * 0.7));
  }
  static double Continent(const THeightMapFactory& f, const Vector3f& d) {
    return f.NoiseExtra.SumOctaves(7, 2.0 * d.x, 2.0 * d.y, 2.0 * d.z) - 0.2;
  }
};

TEST_F(FactoryTest, SeaFloorIsFiveTimesTheContinentDeficitPolesIncluded) {
  SetRandSeed(7);
  const THeightMapFactory factory = Make();
  EXPECT_EQ(RandSeed(), static_cast<uint32_t>(kPlanetSeed)) << "left seeded with the planet's";
  int sea = 0;
  for (int i = -2; i < 200; ++i) {
    // First both poles, where lon = lat = 0.5 whatever the sign of y.
    const Vector3f d = i < 0 ? Vector3f{0, i == -2 ? 1.0f : -1.0f, 0} : Direction(i);
    const double continent = Continent(factory, d);
    const double height = factory.TerrainHeight(d.x, d.y, d.z);
    ASSERT_TRUE(std::isfinite(height)) << i;
    if (continent < 0) {
      ++sea;
      EXPECT_DOUBLE_EQ(height, 5 * continent) << i;
    } else {
      EXPECT_GE(height, 0.0) << "land is never below the water line's zero";
    }
  }
  EXPECT_TRUE(sea > 0 && sea < 200) << sea;
}

TEST_F(FactoryTest, CubeFacesProjectOntoTheUnitSphereAndAnUnknownFaceGivesTheCentre) {
  const THeightMapFactory factory = Make();
  const struct {
    int face;
    Vector3f centre;
  } cases[] = {{0, {0, 0, 1}}, {1, {0, 0, -1}}, {2, {0, 1, 0}}, {3, {0, -1, 0}},
               {4, {1, 0, 0}}, {5, {-1, 0, 0}}, {9, {0, 0, 0}}};
  for (const auto& c : cases) {
    const Vector3f centre = CubeFaceDirection(c.face, 0, 0);
    EXPECT_TRUE(centre.x == c.centre.x && centre.y == c.centre.y && centre.z == c.centre.z)
        << c.face;
    const Vector3f corner = CubeFaceDirection(c.face, 1, -1);
    EXPECT_NEAR(Length3(corner), c.face < 6 ? 1.0 : 0.0, 1e-6) << c.face;
  }
  EXPECT_EQ(factory.HeightOnFace(9, 0.3, 0.4), -1.0f);
}

TEST_F(FactoryTest, DetailVariantAddsDetailOnLandOnly) {
  const THeightMapFactory standard = Make();
  SetProgramVariant(ProgramVariant::kDetail);
  const THeightMapFactory detail = Make();
  int differing = 0;
  for (int i = 0; i < 300; ++i) {
    const Vector3f d = Direction(i);
    const double a = standard.TerrainHeight(d.x, d.y, d.z);
    const double b = detail.TerrainHeight(d.x, d.y, d.z);
    if (a < 0) {
      EXPECT_EQ(a, b) << "the sea floor has no detail in either variant";
    } else if (a != b) {
      ++differing;
      EXPECT_GE(b, a) << "full detail only adds";
    }
  }
  EXPECT_GT(differing, 0);
}

TEST_F(FactoryTest, MissingErosionMapReadsAsZero) {
  const THeightMapFactory factory(kPlanetSeed, nullptr, TzoImage());
  EXPECT_EQ(factory.ErosionSampler, nullptr);
  int land = 0;
  for (int i = 0; i < 50; ++i) {
    const Vector3f d = Direction(i);
    const double m = Continent(factory, d);
    if (m >= 0) {
      ++land;
      // Only the inverted octave survives: 0.1 * (1 - 0) times the continent mask.
      EXPECT_NEAR(factory.TerrainHeight(d.x, d.y, d.z), 0.1 * std::min(16 * m, 1.0), 1e-12);
    }
  }
  EXPECT_GT(land, 0);
}

TEST_F(FactoryTest, FromFilesADamagedErosionMapIsMadeAgainAndADamagedBaseMapAloneIsNot) {
  meridia::testing::TemporaryFolder folder(meridia::testing::TemporaryFolder::Enter::kYes);
  std::filesystem::create_directories("base/maps");
  auto write = [](const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  };
  auto read = [](const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // A valid 4 by 4 map file, and the same one byte short.
  std::string small(8 + 16 * 4, '\0');
  const int32_t side = 4;
  const float sample = 0.25f;
  std::memcpy(&small[0], &side, 4);
  std::memcpy(&small[4], &side, 4);
  for (size_t at = 8; at < small.size(); at += 4) {
    std::memcpy(&small[at], &sample, 4);
  }
  const std::string damaged = small.substr(0, small.size() - 1);
  // A 1 by 1 colour map, uncompressed 24-bit, its pixel (blue, green, red) = (30, 60, 90).
  const std::string color_map = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 30, 60, 90};
  const size_t full_size = 8 + 2048u * 2048u * 4u;

  const struct {
    const char* name;
    std::string erosion, base;
    bool with_color_map;
    int32_t erosion_width;
    size_t erosion_size, base_size; // the files afterwards
  } cases[] = {
      // Loaded as they are: the small erosion map kept, the damaged base map left alone.
      {"base map damaged", small, damaged, false, 4, small.size(), damaged.size()},
      // Generated again, both maps, from the shared generator in whatever state it was.
      {"erosion map damaged", damaged, small, true, 2048, full_size, full_size},
  };
  for (const auto& c : cases) {
#ifndef NDEBUG
    // Unoptimised, and more so instrumented, the full-size generation takes over a minute; the
    // generator is checked on small maps elsewhere, so such builds keep to the cases without it.
    if (c.erosion_size == full_size) {
      continue;
    }
#endif
    write(kErosionMapFile, c.erosion);
    write(kBaseMapFile, c.base);
    std::filesystem::remove(kColorMapFile);
    if (c.with_color_map) {
      write(kColorMapFile, color_map);
    }
    SetRandSeed(7);
    THeightMapFactory factory(kPlanetSeed);
    EXPECT_EQ(RandSeed(), static_cast<uint32_t>(kPlanetSeed)) << c.name;
    ASSERT_NE(factory.ErosionSampler, nullptr) << c.name;
    EXPECT_EQ(factory.ErosionSampler->Width, c.erosion_width) << c.name;
    EXPECT_EQ(read(kErosionMapFile).size(), c.erosion_size) << c.name;
    EXPECT_EQ(read(kBaseMapFile).size(), c.base_size) << c.name;
    ASSERT_NE(factory.BaseSampler, nullptr) << c.name;
    EXPECT_EQ(factory.BaseSampler->IsEmpty(), c.base_size == damaged.size()) << c.name;

    // Without a colour map every colour is black.
    SetHeightMapFactory(&factory);
    uint8_t rgb[3] = {1, 1, 1};
    SurfaceColor({0, 0.5f, 0.866f}, {0, 0, 1}, 0.3f, rgb);
    SetHeightMapFactory(nullptr);
    EXPECT_EQ(rgb[0], c.with_color_map ? 90 : 0) << c.name;
    EXPECT_EQ(rgb[1], c.with_color_map ? 60 : 0) << c.name;
    EXPECT_EQ(rgb[2], c.with_color_map ? 30 : 0) << c.name;
  }
}

// Worlds on small maps: each seed's maps lie in a folder of their own, made on the world's first
// visit, used as they are afterwards, and made again when damaged or made by another world.
TEST_F(FactoryTest, EachWorldMakesItsOwnMapsOnceAndNeverUsesAnotherWorlds) {
  const meridia::testing::TemporaryFolder log_folder;
  const std::string log_name = log_folder / "test.zolog";
  meridia::testing::TemporaryFolder folder(meridia::testing::TemporaryFolder::Enter::kYes);
  std::filesystem::create_directories("base/maps");
  // A 1 by 1 colour map, so that the log holds only what the maps did.
  std::ofstream(kColorMapFile, std::ios::binary)
      << std::string({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 30, 60, 90});
  std::vector<std::string> log;
  auto visit = [&](int32_t seed) {
    EXPECT_TRUE(LogStart(log_name));
    auto factory = std::make_unique<THeightMapFactory>(seed, 64);
    LogFinish();
    log.clear();
    std::ifstream in(log_name);
    for (std::string line; std::getline(in, line);) {
      log.push_back(line.size() > 15 ? line.substr(15) : line);
    }
    log.erase(log.begin()); // "Log Started"
    log.pop_back();         // "Log Finished"
    EXPECT_NE(factory->ErosionSampler, nullptr) << seed;
    return factory;
  };
  auto read = [](const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string generating = "Generating terrain maps";
  const std::string seven = "base/maps/world-7/errosion.dat";
  const std::string nine = "base/maps/world-9/errosion.dat";

  // The first visit makes the world's maps, tagged with its seed, and nothing else.
  const auto first = visit(7);
  EXPECT_EQ(log, std::vector<std::string>{generating});
  for (const char* name : {"errosion.dat", "basemap.dat"}) {
    const TMapFileFacts facts = InspectMapFile("base/maps/world-7/" + std::string(name));
    EXPECT_TRUE(facts.Tagged && facts.Seed == 7 && facts.Width == 64 && facts.Refusal.empty())
        << name;
  }
  EXPECT_FALSE(std::filesystem::exists(kErosionMapFile));
  const std::string seven_bytes = read(seven);

  // The next visit loads them; another world makes its own, and it is another planet.
  EXPECT_EQ(visit(7)->ErosionSampler->Data, first->ErosionSampler->Data);
  EXPECT_EQ(log, std::vector<std::string>{});
  const auto other = visit(9);
  EXPECT_EQ(log, std::vector<std::string>{generating});
  EXPECT_NE(other->ErosionSampler->Data, first->ErosionSampler->Data);
  int differing = 0;
  for (int i = 0; i < 100; ++i) {
    const Vector3f d = Direction(i);
    differing += first->HeightAt(d) != other->HeightAt(d);
  }
  EXPECT_GT(differing, 90);

  // Made again the same, byte for byte, when gone, cut short, or another world's.
  const struct {
    const char* name;
    std::function<void()> spoil;
    std::vector<std::string> log;
  } cases[] = {
      {"gone", [] { std::filesystem::remove_all("base/maps/world-7"); }, {generating}},
      {"cut short",
       [&] { std::filesystem::resize_file(seven, seven_bytes.size() - 4); },
       {"Map file refused (header does not match its size) : " + seven,
        "Terrain map damaged, generating it again : " + seven, generating}},
      {"another world's",
       [&] {
         std::filesystem::copy_file(nine, seven, std::filesystem::copy_options::overwrite_existing);
       },
       {"Map file refused (made by seed 9, not 7) : " + seven,
        "Terrain map damaged, generating it again : " + seven, generating}},
  };
  for (const auto& c : cases) {
    c.spoil();
    EXPECT_EQ(visit(7)->ErosionSampler->Data, first->ErosionSampler->Data) << c.name;
    EXPECT_EQ(log, c.log) << c.name;
    EXPECT_TRUE(read(seven) == seven_bytes) << c.name;
  }

  // The default world keeps its bare maps where they always were, and takes no tagged one.
  std::filesystem::copy_file(seven, kErosionMapFile);
  visit(kPlanetSeed);
  EXPECT_EQ(log, (std::vector<std::string>{
                     std::string("Map file refused (made by seed 7, not 500) : ") + kErosionMapFile,
                     std::string("Terrain map damaged, generating it again : ") + kErosionMapFile,
                     generating}));
  EXPECT_FALSE(InspectMapFile(kErosionMapFile).Tagged);
  EXPECT_TRUE(IsValidMapFile(kBaseMapFile, kPlanetSeed));
}

// Viewers started together on a new world each make its maps; each file is renamed into place
// whole, so whoever comes last, the folder holds two whole maps of that world and nothing else.
TEST_F(FactoryTest, ViewersStartedTogetherOnANewWorldLeaveItsMapsWhole) {
  meridia::testing::TemporaryFolder folder(meridia::testing::TemporaryFolder::Enter::kYes);
  std::filesystem::create_directories("base/maps");
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> viewers;
  for (int i = 0; i < 4; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      char go = 0;
      close(start[1]);
      const bool read_go = read(start[0], &go, 1) == 0;
      const THeightMapFactory factory(11, 256);
      _exit(read_go && factory.ErosionSampler != nullptr ? 0 : 1);
    }
    viewers.push_back(pid);
  }
  close(start[0]);
  close(start[1]); // every viewer sees the end of the pipe at the same moment
  for (const pid_t pid : viewers) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a viewer went without maps";
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("base/maps/world-11")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"basemap.dat", "errosion.dat"}));
  const THeightMapFactory alone(11, 256);
  for (const char* name : {"errosion.dat", "basemap.dat"}) {
    EXPECT_TRUE(IsValidMapFile("base/maps/world-11/" + std::string(name), 11)) << name;
  }
  std::filesystem::remove_all("base/maps/world-11");
  const THeightMapFactory fresh(11, 256);
  EXPECT_EQ(fresh.ErosionSampler->Data, alone.ErosionSampler->Data);
}

TEST_F(FactoryTest, MapsTheDiskCannotTakeAreUsedFromMemoryAndNoPartOfThemIsLeft) {
#ifndef NDEBUG
  GTEST_SKIP() << "two full-size generations; the writes are checked on small maps elsewhere";
#endif
  const meridia::testing::TemporaryFolder log_folder;
  const std::string log_name = log_folder / "test.zolog";
  meridia::testing::TemporaryFolder folder(meridia::testing::TemporaryFolder::Enter::kYes);
  std::filesystem::create_directories("base/maps");
  auto read = [](const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string damaged = "a map cut short";
  const std::string unable = "Unable to write the terrain maps in base/maps/";
  const std::string kept = "Terrain maps could not be kept, this run uses them from memory";
  const std::string io_error = "IO Error : Read after end of file";
  const std::string generating = "Generating terrain maps";
  // The limit holds for every file on its own, like a disk with 1 MiB free for each.
  const uint64_t limit = 1 << 20;
  const struct {
    const char* name;
    bool damaged_before; // both maps there, damaged
    std::vector<std::string> log;
  } cases[] = {
      {"first run", false, {generating, io_error, unable, kept}},
      {"damaged maps",
       true,
       {std::string("Map file refused (header does not match its size) : ") + kErosionMapFile,
        std::string("Terrain map damaged, generating it again : ") + kErosionMapFile, generating,
        io_error, unable, kept}},
  };
  std::vector<float> first_erosion;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.damaged_before) {
      std::ofstream(kErosionMapFile, std::ios::binary) << damaged;
      std::ofstream(kBaseMapFile, std::ios::binary) << damaged;
    }
    ASSERT_TRUE(LogStart(log_name));
    std::unique_ptr<THeightMapFactory> factory;
    {
      const meridia::testing::FileSizeLimit full_disk(limit);
      factory = std::make_unique<THeightMapFactory>(kPlanetSeed);
    }
    LogFinish();

    ASSERT_NE(factory->ErosionSampler, nullptr);
    ASSERT_NE(factory->BaseSampler, nullptr);
    EXPECT_EQ(factory->ErosionSampler->Width, 2048);
    EXPECT_EQ(factory->BaseSampler->Count, 2048 * 2048);
    // The same maps both times: the generator starts from the seeded noise either way.
    if (first_erosion.empty()) {
      first_erosion = factory->ErosionSampler->Data;
    } else {
      EXPECT_TRUE(factory->ErosionSampler->Data == first_erosion);
    }
    // The files as they were before: no part of the new maps is left.
    EXPECT_EQ(read(kErosionMapFile), c.damaged_before ? damaged : "");
    EXPECT_EQ(read(kBaseMapFile), c.damaged_before ? damaged : "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("base/maps"), {}),
              c.damaged_before ? 2 : 0)
        << "no temporary file";

    std::vector<std::string> log;
    std::ifstream in(log_name);
    for (std::string line; std::getline(in, line);) {
      log.push_back(line.size() > 15 ? line.substr(15) : line);
    }
    ASSERT_GE(log.size(), 1u + c.log.size());
    EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.begin() + 1 + c.log.size()), c.log);
  }
}

TEST(SurfaceColor, RowsByHeightColumnsByLatitudeClamped) {
  // Pixel (col, row) holds (blue, green, red) = (col, row % 256, row / 8).
  TzoImage map;
  map.SetPixelFormat(24);
  map.SetSize(256, 2048);
  for (int row = 0; row < 2048; ++row) {
    for (int col = 0; col < 256; ++col) {
      uint8_t* p = map.PixelAt(col, row);
      p[0] = static_cast<uint8_t>(col);
      p[1] = static_cast<uint8_t>(row % 256);
      p[2] = static_cast<uint8_t>(row / 8);
    }
  }
  const struct {
    Vector3f direction;
    float height;
    int red, green, blue;
  } cases[] = {
      {{0, 0, 1}, 0.0f, 0, 0, 0},
      // A quarter of the way from row 1000 to 1001, half way from column 127 to 128.
      {{0, 0.5f, 0}, static_cast<float>(1000.25 / 2047.0), 1000 / 8, 1000 % 256, 127},
      // Heights of 1 and above read rows 2046 and 2047 with the fraction of height * 2047;
      // the pole's column has no column beyond it.
      {{0, -1, 0}, 1.0f, 2046 / 8, 2046 % 256, 255},
      // 254 + (255 - 254) * 0.5, the fraction of 3070.5, truncated.
      {{0, 0, 1}, 1.5f, 255, 254, 0},
      // Values no map should give still land inside the picture: NaN as height 0, infinities
      // and huge values on the clamped rows without a fraction.
      {{0, 0, 1}, std::nanf(""), 0, 0, 0},
      {{0, 0, 1}, INFINITY, 2046 / 8, 2046 % 256, 0},
      {{0, 0, 1}, -INFINITY, 0, 0, 0},
      {{0, 0, 1}, 1e30f, 2046 / 8, 2046 % 256, 0},
      {{0, std::nanf(""), 0}, 0.0f, 0, 0, 0},
      {{0, -INFINITY, 0}, 0.0f, 0, 0, 255},
  };
  for (const auto& c : cases) {
    uint8_t rgb[3];
    ColorMapLookup(map, c.direction, c.height, rgb);
    EXPECT_EQ(rgb[0], c.red) << c.height;
    EXPECT_EQ(rgb[1], c.green) << c.height;
    EXPECT_EQ(rgb[2], c.blue) << c.height;
  }
}

TEST(SurfaceColor, EmptyOrTinyMapsNeverReadOutside) {
  uint8_t rgb[3] = {9, 9, 9};
  ColorMapLookup(TzoImage(), {0, 1, 0}, 0.7f, rgb);
  EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
  TzoImage tiny;
  tiny.SetPixelFormat(24);
  tiny.SetSize(1, 1);
  tiny.PixelAt(0, 0)[2] = 200;
  ColorMapLookup(tiny, {0, 0.9f, 0}, 1.7f, rgb);
  EXPECT_EQ(rgb[0], 200);
}

} // namespace
} // namespace meridia
