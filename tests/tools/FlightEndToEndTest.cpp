// Runs the real flight tool headless, from a private copy of the runnable folder, and checks
// what a run leaves behind: exit status, statistics, screenshot and log.
#include "imaging/TGAImage.h"
#include "support/FlightRunFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using meridia::testing::FlyIn;

fs::path MakeRunFolder() {
  return meridia::testing::MakeFlightRunFolder(MERIDIA_RUN_DIR);
}

fs::path SharedMaps() {
  return meridia::testing::SharedTerrainMaps(MERIDIA_RUN_DIR, MERIDIA_TEST_DIR);
}

class FlightEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = MakeRunFolder();
    ASSERT_FALSE(dir_.empty());
    ASSERT_TRUE(meridia::testing::CopyTerrainMaps(SharedMaps(), dir_))
        << "the terrain maps could not be generated";
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Fly(const std::string& args) { return FlyIn(dir_, args); }

  fs::path dir_;
};

// A 24-bit 800 by 600 TGA shot: header checked, pixels (blue, green, red) returned.
std::string ShotPixels(const fs::path& shot) {
  const std::string bytes = ReadBytes(shot);
  EXPECT_EQ(bytes.size(), 18u + 800u * 600u * 3u) << shot;
  if (bytes.size() < 18) {
    return {};
  }
  std::array<uint8_t, 18> head{};
  std::memcpy(head.data(), bytes.data(), head.size());
  const auto header = meridia::TGAHeader::FromBytes(head);
  EXPECT_EQ(header.ImageType, 2);
  EXPECT_EQ(header.Width, 800);
  EXPECT_EQ(header.Height, 600);
  EXPECT_EQ(header.PixelDepth, 24);
  EXPECT_EQ(header.ImageDescriptor, 0);
  return bytes.substr(18);
}

// One statistics column of every frame, as numbers.
std::vector<double> Column(const std::vector<std::string>& stats, int column) {
  std::vector<double> values;
  for (size_t i = 1; i < stats.size(); ++i) {
    std::istringstream row(stats[i]);
    std::string cell;
    for (int c = 0; c <= column; ++c) {
      std::getline(row, cell, ',');
    }
    values.push_back(std::stod(cell));
  }
  return values;
}

enum StatsColumn {
  kRenderMs = 1,
  kFrameMs = 2,
  kLevel = 4,
  kTilesInUse = 8,
  kGenerations = 9,
  kHeightKm = 10,
  kGenerateMs = 11,
  kUploadMs = 12,
  kSwapMs = 13
};

TEST_F(FlightEndToEnd, ThirtyFramesLeaveStatisticsAScreenshotALogAndAnEmptyCacheIndex) {
  fs::create_directory(dir_ / "cache");
  ASSERT_EQ(Fly("--frames 30 --shot 29 --stats s.csv"), 0) << ReadLines(dir_ / "out.txt").back();

  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 31u);
  EXPECT_EQ(stats[0], "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,vertex_count,"
                      "tiles_in_use,generations,height_km,generate_ms,upload_ms,swap_ms");
  for (size_t i = 1; i < stats.size(); ++i) {
    EXPECT_EQ(stats[i].rfind(std::to_string(i) + ",", 0), 0u) << stats[i];
    EXPECT_EQ(std::count(stats[i].begin(), stats[i].end(), ','), 13) << stats[i];
  }
  // The parts of a frame's time lie within it: patches are built and uploaded while drawing.
  const auto render = Column(stats, kRenderMs), frame = Column(stats, kFrameMs);
  const auto generate = Column(stats, kGenerateMs), upload = Column(stats, kUploadMs);
  const auto swap = Column(stats, kSwapMs), generations = Column(stats, kGenerations);
  for (size_t i = 0; i < render.size(); ++i) {
    EXPECT_GE(generate[i], 0.0);
    EXPECT_GE(upload[i], 0.0);
    EXPECT_LE(generate[i] + upload[i], render[i] + 0.001) << "frame " << i + 1;
    EXPECT_LE(render[i] + swap[i], frame[i] + 0.001) << "frame " << i + 1;
    EXPECT_EQ(generations[i] == 0, generate[i] == 0) << "frame " << i + 1;
  }
  ShotPixels(dir_ / "screens" / "frame_00029.tga");
  EXPECT_FALSE(fs::exists(dir_ / "screens" / "frame_00028.tga"));

  const auto log = ReadLines(dir_ / "meridia-flight.zolog");
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log.front().find("] Log Started"), std::string::npos) << log.front();
  EXPECT_NE(log.back().find(" Log Finished"), std::string::npos) << log.back();

  // An empty cache folder receives an empty index; without an archive nothing is copied.
  EXPECT_EQ(ReadBytes(dir_ / "cache" / "data.cache"), std::string(4, '\0'));
  EXPECT_FALSE(fs::exists(dir_ / "cache" / "archive"));
}

TEST_F(FlightEndToEnd, TheDescentReachesTheFinestLevelsAndEndsOnTheGround) {
  ASSERT_EQ(Fly(std::string("--script ") + MERIDIA_FLIGHTS_DIR +
                "/descent.flight --stats s.csv --shot 500"),
            0)
      << ReadLines(dir_ / "out.txt").back();
  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 1u + 500u);
  const auto level = Column(stats, kLevel);
  EXPECT_GE(*std::max_element(level.begin(), level.end()), 18.0);
  EXPECT_EQ(level.front(), 7.0) << "the first refinement from (0, 0, 1000)";
  const auto generations = Column(stats, kGenerations);
  EXPECT_EQ(generations.front(), 50.0);
  EXPECT_LE(*std::max_element(generations.begin() + 1, generations.end()), 15.0);
  EXPECT_GT(Column(stats, kTilesInUse).back(), 1000.0);
  // The camera is kept above the terrain all the way down and ends within metres of it.
  const auto height = Column(stats, kHeightKm);
  EXPECT_GE(*std::min_element(height.begin(), height.end()), 0.0);
  EXPECT_LT(height.back(), 0.05);

  // Ground fills the lower half of the levelled view.
  const std::string pixels = ShotPixels(dir_ / "screens" / "frame_00500.tga");
  ASSERT_EQ(pixels.size(), 800u * 600u * 3u);
  size_t lit = 0;
  for (size_t at = 0; at < 250u * 800u * 3u; at += 3) {
    lit += pixels[at] != 0 || pixels[at + 1] != 0 || pixels[at + 2] != 0;
  }
  EXPECT_GT(lit, 250u * 800u * 9 / 10);
}

TEST_F(FlightEndToEnd, TheForestWalkStartsAmongTrees) {
  ASSERT_EQ(Fly(std::string("--script ") + MERIDIA_FLIGHTS_DIR +
                "/forest.flight --frames 24 --stats s.csv --shot 24"),
            0)
      << ReadLines(dir_ / "out.txt").back();
  // The four tree programs are loaded and compiled at start-up.
  const auto log = ReadLines(dir_ / "meridia-flight.zolog");
  for (const char* name : {"treevp", "leafvp", "treestaticvp", "leafstaticvp"}) {
    for (const std::string line : {"Loading shader: ", "Shader compiled: "}) {
      EXPECT_EQ(std::count_if(log.begin(), log.end(),
                              [&](const std::string& entry) {
                                return entry.size() >= line.size() + std::strlen(name) &&
                                       entry.compare(entry.size() - line.size() - std::strlen(name),
                                                     std::string::npos, line + name) == 0;
                              }),
                1)
          << line << name;
    }
  }
  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 1u + 24u);
  EXPECT_GE(Column(stats, kLevel).back(), 18.0);
  // Trees stand in the levelled view: foliage green across its upper part, above the ground.
  const std::string pixels = ShotPixels(dir_ / "screens" / "frame_00024.tga");
  ASSERT_EQ(pixels.size(), 800u * 600u * 3u);
  size_t foliage = 0;
  for (size_t at = 250u * 800u * 3u; at < pixels.size(); at += 3) {
    const int blue = static_cast<uint8_t>(pixels[at]);
    const int green = static_cast<uint8_t>(pixels[at + 1]);
    const int red = static_cast<uint8_t>(pixels[at + 2]);
    foliage += green > red + 15 && green > blue + 15;
  }
  EXPECT_GT(foliage, 10000u);
}

// The statistics without the two wall-time columns, row by row.
std::vector<std::string> StatsWithoutTimes(const fs::path& path) {
  std::vector<std::string> rows;
  for (const std::string& line : ReadLines(path)) {
    std::istringstream row(line);
    std::string cell, kept;
    for (int column = 0; std::getline(row, cell, ','); ++column) {
      if (column != kRenderMs && column != kFrameMs && column < kGenerateMs) {
        kept += cell + ",";
      }
    }
    rows.push_back(kept);
  }
  return rows;
}

TEST_F(FlightEndToEnd, TheSameDecoratedFlightLooksTheSameWhateverTheClockSeed) {
  const std::string flight = std::string("--script ") + MERIDIA_FLIGHTS_DIR +
                             "/forest.flight --frames 12 --shot 6 --shot 12";
  ASSERT_EQ(Fly(flight + " --shots a --stats a.csv"), 0) << ReadLines(dir_ / "out.txt").back();
  ASSERT_EQ(Fly(flight + " --shots b --stats b.csv"), 0) << ReadLines(dir_ / "out.txt").back();
  // Start-up reseeds the shared generator twice before anything is planted.
  ASSERT_EQ(Fly(flight + " --shots c --stats c.csv --clock-seed 3141592653"), 0)
      << ReadLines(dir_ / "out.txt").back();

  // The backdrop's nine pictures are found (the build makes them) and read as TGA.
  int galaxy_pictures = 0;
  for (const std::string& line : ReadLines(dir_ / "meridia-flight.zolog")) {
    if (line.find("Textures/Galaxy/") != std::string::npos) {
      EXPECT_NE(line.find(".todo. old loader : base/Textures/Galaxy/"), std::string::npos) << line;
      ++galaxy_pictures;
    }
  }
  EXPECT_EQ(galaxy_pictures, 9);

  const auto stats = StatsWithoutTimes(dir_ / "a.csv");
  ASSERT_EQ(stats.size(), 1u + 12u);
  // Trees in view, so that the comparison is about them: several hundred thousand vertices.
  EXPECT_GT(Column(ReadLines(dir_ / "a.csv"), 3).back(), 100000.0);
  EXPECT_EQ(StatsWithoutTimes(dir_ / "b.csv"), stats);
  EXPECT_EQ(StatsWithoutTimes(dir_ / "c.csv"), stats);
  for (const char* shot : {"frame_00006.tga", "frame_00012.tga"}) {
    const std::string a = ReadBytes(dir_ / "a" / shot);
    ASSERT_EQ(a.size(), 18u + 800u * 600u * 3u) << shot;
    EXPECT_TRUE(ReadBytes(dir_ / "b" / shot) == a) << shot << " differs between two runs";
    EXPECT_TRUE(ReadBytes(dir_ / "c" / shot) == a) << shot << " depends on the clock seed";
  }
}

TEST_F(FlightEndToEnd, TheOrbitKeepsATexturedPlanetInView) {
  ASSERT_EQ(Fly(std::string("--script ") + MERIDIA_FLIGHTS_DIR +
                "/orbit.flight --stats s.csv --shot 600"),
            0)
      << ReadLines(dir_ / "out.txt").back();
  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 1u + 600u);
  EXPECT_EQ(Column(stats, kLevel).back(), 5.0) << "far out only the coarse levels";

  const std::string pixels = ShotPixels(dir_ / "screens" / "frame_00600.tga");
  ASSERT_EQ(pixels.size(), 800u * 600u * 3u);
  auto pixel = [&](size_t x, size_t y) {
    return reinterpret_cast<const uint8_t*>(&pixels[(y * 800 + x) * 3]);
  };
  // Space at the corners away from the text, the planet in the middle.
  EXPECT_EQ(pixel(799, 0)[0] + pixel(799, 0)[1] + pixel(799, 0)[2], 0);
  EXPECT_EQ(pixel(799, 599)[0] + pixel(799, 599)[1] + pixel(799, 599)[2], 0);
  size_t sea = 0, land = 0, lit = 0;
  for (size_t y = 0; y < 600; ++y) {
    for (size_t x = 0; x < 800; ++x) {
      const uint8_t* p = pixel(x, y);
      lit += p[0] + p[1] + p[2] > 0;
      sea += p[0] > p[1] && p[0] > p[2];
      land += p[1] > p[0] && p[1] > p[2];
    }
  }
  // A disc of about 180 pixels radius: its texture shows both sea and land.
  EXPECT_GT(lit, 80000u);
  EXPECT_GT(sea, 20000u);
  EXPECT_GT(land, 5000u);
}

TEST_F(FlightEndToEnd, F4SavesNumberedShotsWithTheOverlayAndEscapeEndsTheRun) {
  std::ofstream(dir_ / "keys.flight")
      << "# frames 100\n3 down F4\n4 up F4\n6 down F4\n7 up F4\n12 down ESCAPE\n";
  // A tampered cache index on the way, well formed but serving a file from outside the cache:
  // reported as damaged, replaced by an empty one, and the run goes on.
  fs::create_directory(dir_ / "cache");
  const std::string name = "base/maps/cmap_1.tga", outside = "../secret.tga";
  std::string index("\x01\0\0\0", 4);
  for (const std::string& text : {name, outside}) {
    index += std::string(1, static_cast<char>(text.size())) + std::string(3, '\0') + text;
  }
  index += std::string(12, '\0');
  std::ofstream(dir_ / "cache" / "data.cache", std::ios::binary) << index;
  ASSERT_EQ(Fly("--script keys.flight --stats s.csv"), 0) << ReadLines(dir_ / "out.txt").back();
  EXPECT_EQ(ReadBytes(dir_ / "cache" / "data.cache"), std::string(4, '\0'));
  const std::string log = ReadBytes(dir_ / "meridia-flight.zolog");
  EXPECT_NE(log.find("Cache index damaged"), std::string::npos) << log;
  // The frame drawn when Escape went down is the last one.
  EXPECT_EQ(ReadLines(dir_ / "s.csv").size(), 1u + 12u);
  const fs::path screens = dir_ / "screens";
  EXPECT_FALSE(fs::exists(screens / "screen_00003.tga"));
  for (const char* name : {"screen_00001.tga", "screen_00002.tga"}) {
    const std::string pixels = ShotPixels(screens / name);
    ASSERT_EQ(pixels.size(), 800u * 600u * 3u);
    // The first overlay line, "Tris : ...", lies in rows 10 to 24 from the top: white text.
    int white = 0;
    for (int row = 600 - 25; row < 600 - 10; ++row) {
      for (int x = 10; x < 60; ++x) {
        white += static_cast<uint8_t>(pixels[(size_t(row) * 800 + x) * 3]) > 200;
      }
    }
    EXPECT_GT(white, 10) << name;
  }
}

TEST_F(FlightEndToEnd, AMalformedScriptStopsWithAMessage) {
  std::ofstream(dir_ / "bad.flight") << "5 down W\n6 hover\n";
  EXPECT_NE(Fly("--script bad.flight"), 0);
  const auto out = ReadLines(dir_ / "out.txt");
  ASSERT_FALSE(out.empty());
  EXPECT_NE(out.front().find("line 2"), std::string::npos) << out.front();
}

// Records the start of the landing (keys, a drag that tilts the view down, then forward) and
// replays the recording: the shots must come out byte for byte the same. Real time is replayed
// through the step lines.
TEST_F(FlightEndToEnd, ARecordedFlightReplaysToTheSamePictures) {
  const std::string shots = " --shot 12 --shot 30 --shot 60";
  const std::string forest =
      std::string("--script ") + MERIDIA_FLIGHTS_DIR + "/landing.flight --frames 60" + shots;
  const std::vector<std::pair<std::string, std::string>> clocks = {{"stepped", " --step-ms 24"},
                                                                   {"live", " --step-ms 0"}};
  for (const auto& [name, clock] : clocks) {
    const std::string recording = name + ".flight";
    ASSERT_EQ(Fly(forest + clock + " --shots " + name + "-a --record " + recording), 0)
        << ReadLines(dir_ / "out.txt").back();
    ASSERT_EQ(Fly("--script " + recording + shots + " --shots " + name + "-b"), 0)
        << ReadLines(dir_ / "out.txt").back();
    const auto lines = ReadLines(dir_ / recording);
    ASSERT_GE(lines.size(), 4u) << name;
    EXPECT_EQ(lines[0], "# frames 60");
    // The script's position as the nearest floats, with the digits that keep them.
    EXPECT_EQ(lines[1], "# position 49.1292229,79.1609879,672.426025");
    EXPECT_EQ(lines[2].rfind("# clock-seed ", 0), 0u) << lines[2];
    const auto count = [&](const std::string& word) {
      return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(word) != std::string::npos;
      });
    };
    // The first 60 frames: R, the speed keys, the drag, and W.
    EXPECT_EQ(count(" down "), 4) << name;
    EXPECT_EQ(count(" up "), 3) << name;
    EXPECT_EQ(count("5 mouse_down 400 0"), 1) << name;
    EXPECT_EQ(count(" mouse_move "), 10) << name;
    EXPECT_EQ(count("16 mouse_up 400 750"), 1) << name;
    if (name == "stepped") {
      EXPECT_EQ(lines[3], "# step-ms 24");
      EXPECT_EQ(count(" step "), 0);
    } else {
      EXPECT_EQ(count(" step "), 59) << "a step before every frame from the second";
    }
    for (const char* shot : {"frame_00012.tga", "frame_00030.tga", "frame_00060.tga"}) {
      const std::string recorded = ReadBytes(dir_ / (name + "-a") / shot);
      ASSERT_EQ(recorded.size(), 18u + 800u * 600u * 3u) << name << " " << shot;
      EXPECT_TRUE(ReadBytes(dir_ / (name + "-b") / shot) == recorded)
          << name << " " << shot << " differs in the replay";
    }
  }
  // Steps of real time do not come out all equal, and they are what the replay followed: the
  // stepped recording's shots differ from the live one's.
  EXPECT_FALSE(ReadBytes(dir_ / "stepped-a" / "frame_00060.tga") ==
               ReadBytes(dir_ / "live-a" / "frame_00060.tga"));
}

// Another world: its maps made on the first visit beside the default world's, which stay as they
// were; a recording names its world and replays on it, unless the command line names another.
TEST_F(FlightEndToEnd, AnotherWorldHasItsOwnMapsAndARecordedFlightReplaysOnIt) {
  const fs::path maps = dir_ / "base" / "maps";
  const std::string erosion = ReadBytes(maps / "errosion.dat");
  for (const char* seed : {"x", "99999999999", "7.0", ""}) {
    EXPECT_EQ(Fly(std::string("--seed '") + seed + "' --frames 1"), 2) << seed;
    EXPECT_NE(ReadBytes(dir_ / "out.txt").find("usage: meridia-flight"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir_ / "meridia-flight.zolog")) << "a refused seed starts nothing";
  EXPECT_FALSE(fs::exists(maps / "world-7"));

  const std::string shot = " --frames 60 --shot 60 --shots ";
  ASSERT_EQ(Fly("--seed 7 --record r.flight" + shot + "a"), 0)
      << ReadLines(dir_ / "out.txt").back();
  auto generated = [&] {
    return ReadBytes(dir_ / "meridia-flight.zolog").find("Generating terrain maps") !=
           std::string::npos;
  };
  EXPECT_TRUE(generated());
  EXPECT_NE(ReadLines(dir_ / "meridia-flight.zolog")[2].find("> World : seed 7"),
            std::string::npos);
  for (const char* name : {"errosion.dat", "basemap.dat"}) {
    const std::string map = ReadBytes(maps / "world-7" / name);
    ASSERT_EQ(map.size(), 8u + 16777224u) << name;
    int32_t seed = 0;
    std::memcpy(&seed, map.data() + 4, 4);
    EXPECT_EQ(map.substr(0, 4), "MWLD") << name;
    EXPECT_EQ(seed, 7) << name;
  }
  EXPECT_TRUE(ReadBytes(maps / "errosion.dat") == erosion) << "the default world's map changed";
  const auto recording = ReadLines(dir_ / "r.flight");
  EXPECT_NE(std::find(recording.begin(), recording.end(), "# seed 7"), recording.end());

  // The replay finds the world's maps and flies over them; the default world is another planet,
  // also when the command line overrides the recording's seed.
  ASSERT_EQ(Fly("--script r.flight" + shot + "b"), 0) << ReadLines(dir_ / "out.txt").back();
  EXPECT_FALSE(generated()) << "the world's maps were made again";
  ASSERT_EQ(Fly("--script r.flight --seed 500" + shot + "c"), 0)
      << ReadLines(dir_ / "out.txt").back();
  const std::string seven = ShotPixels(dir_ / "a" / "frame_00060.tga");
  const std::string other = ShotPixels(dir_ / "c" / "frame_00060.tga");
  EXPECT_TRUE(ShotPixels(dir_ / "b" / "frame_00060.tga") == seven);
  ASSERT_EQ(other.size(), seven.size());
  size_t differing = 0;
  for (size_t at = 0; at + 2 < seven.size(); at += 3) {
    differing += seven.compare(at, 3, other, at, 3) != 0;
  }
  EXPECT_GT(differing, seven.size() / 3 / 2) << "seeds 7 and 500 look alike";
}

float ReadFloat(const std::string& bytes, size_t offset) {
  float value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

TEST(FlightTerrainMaps, AreGeneratedOnTheFirstRunOnlyAndReproducibly) {
  const fs::path dir = MakeRunFolder();
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(FlyIn(dir, "--frames 2"), 0);
  const fs::path maps = dir / "base" / "maps";
  const std::string erosion = ReadBytes(maps / "errosion.dat");
  const std::string base = ReadBytes(maps / "basemap.dat");
  ASSERT_EQ(erosion.size(), 16777224u);
  ASSERT_EQ(base.size(), 16777224u);
  int32_t header[2] = {0, 0};
  std::memcpy(header, erosion.data(), 8);
  EXPECT_EQ(header[0], 2048);
  EXPECT_EQ(header[1], 2048);
  float erosion_min = 2, erosion_max = -1, base_min = 2;
  for (size_t offset = 8; offset < erosion.size(); offset += 4) {
    erosion_min = std::min(erosion_min, ReadFloat(erosion, offset));
    erosion_max = std::max(erosion_max, ReadFloat(erosion, offset));
    base_min = std::min(base_min, ReadFloat(base, offset));
  }
  EXPECT_EQ(erosion_min, 0.0f);
  EXPECT_EQ(erosion_max, 1.0f);
  EXPECT_EQ(base_min, 0.0f);
  const auto generated = ReadLines(dir / "meridia-flight.zolog");
  EXPECT_NE(std::find_if(generated.begin(), generated.end(),
                         [](const std::string& line) {
                           return line.find("Generating terrain maps") != std::string::npos;
                         }),
            generated.end());

  // The second run loads what the first one wrote.
  ASSERT_EQ(FlyIn(dir, "--frames 2"), 0);
  for (const std::string& line : ReadLines(dir / "meridia-flight.zolog")) {
    EXPECT_EQ(line.find("Generating terrain maps"), std::string::npos) << line;
  }
  // Another installation generates the very same bytes.
  const fs::path shared = SharedMaps();
  EXPECT_TRUE(ReadBytes(shared / "errosion.dat") == erosion);
  EXPECT_TRUE(ReadBytes(shared / "basemap.dat") == base);
  fs::remove_all(dir);
}

} // namespace
