// Runs the real flight tool headless, from a private copy of the runnable folder, and checks
// what a run leaves behind: exit status, statistics, screenshot and log.
#include "imaging/TGAImage.h"
#include "support/DecodedVideo.h"
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

// A 24-bit bottom-up TGA shot of any size; empty pixels when it is not one.
struct Shot {
  int width = 0;
  int height = 0;
  std::string pixels; // blue, green, red, bottom row first
  // The sum of the three channels at (x, y), y counted from the top.
  int Brightness(int x, int y) const {
    const auto* p =
        reinterpret_cast<const uint8_t*>(&pixels[(size_t(height - 1 - y) * width + x) * 3]);
    return p[0] + p[1] + p[2];
  }
};

Shot ReadShot(const fs::path& path) {
  const std::string bytes = ReadBytes(path);
  Shot shot;
  if (bytes.size() < 18) {
    return shot;
  }
  std::array<uint8_t, 18> head{};
  std::memcpy(head.data(), bytes.data(), head.size());
  const auto header = meridia::TGAHeader::FromBytes(head);
  if (header.ImageType != 2 || header.PixelDepth != 24 || header.ImageDescriptor != 0 ||
      bytes.size() != 18u + size_t(header.Width) * header.Height * 3u) {
    return shot;
  }
  shot.width = header.Width;
  shot.height = header.Height;
  shot.pixels = bytes.substr(18);
  return shot;
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
  kSwapMs = 13,
  kTreesDrawn = 14,
  kTreeImpostors = 15,
  kBuildingsDrawn = 16,
  kCpuMs = 17
};

TEST_F(FlightEndToEnd, ThirtyFramesLeaveStatisticsAScreenshotALogAndAnEmptyCacheIndex) {
  fs::create_directory(dir_ / "cache");
  ASSERT_EQ(Fly("--frames 30 --shot 29 --stats s.csv"), 0) << ReadLines(dir_ / "out.txt").back();

  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 31u);
  EXPECT_EQ(stats[0], "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,vertex_count,"
                      "tiles_in_use,generations,height_km,generate_ms,upload_ms,swap_ms,"
                      "trees_drawn,tree_impostors,buildings_drawn,cpu_ms");
  for (size_t i = 1; i < stats.size(); ++i) {
    EXPECT_EQ(stats[i].rfind(std::to_string(i) + ",", 0), 0u) << stats[i];
    EXPECT_EQ(std::count(stats[i].begin(), stats[i].end(), ','), 17) << stats[i];
  }
  // The parts of a frame's time lie within it: patches are built and uploaded while drawing.
  const auto render = Column(stats, kRenderMs), frame = Column(stats, kFrameMs);
  const auto generate = Column(stats, kGenerateMs), upload = Column(stats, kUploadMs);
  const auto swap = Column(stats, kSwapMs), generations = Column(stats, kGenerations);
  const auto cpu = Column(stats, kCpuMs);
  for (size_t i = 0; i < render.size(); ++i) {
    // The main thread's own time: never more than the frame's wall time, beyond the messages
    // handled between frames, which take next to nothing here.
    EXPECT_GT(cpu[i], 0.0) << "frame " << i + 1;
    EXPECT_LE(cpu[i], frame[i] + 5.0) << "frame " << i + 1;
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
  // Trees stand in the levelled view, the near ones as geometry alone, the far ones as
  // impostors. The grass is as green as their leaves, so the counters tell, not the colours.
  const double trees = Column(stats, kTreesDrawn).back();
  const double impostors = Column(stats, kTreeImpostors).back();
  EXPECT_GT(impostors, 0.0);
  EXPECT_GT(trees, impostors);
  ShotPixels(dir_ / "screens" / "frame_00024.tga");
}

// The statistics without the wall-time columns, row by row.
std::vector<std::string> StatsWithoutTimes(const fs::path& path) {
  std::vector<std::string> rows;
  for (const std::string& line : ReadLines(path)) {
    std::istringstream row(line);
    std::string cell, kept;
    for (int column = 0; std::getline(row, cell, ','); ++column) {
      if (column != kRenderMs && column != kFrameMs &&
          (column < kGenerateMs || (column >= kTreesDrawn && column <= kBuildingsDrawn))) {
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

// The lit extent of the planet seen from straight above its centre: across the middle row and
// down the middle column, above the overlay's machine lines.
std::pair<int, int> DiscWidthAndHeight(const Shot& shot) {
  constexpr int kLit = 30;
  int left = shot.width, right = -1, top = shot.height, bottom = -1;
  for (int x = 0; x < shot.width; ++x) {
    if (shot.Brightness(x, shot.height / 2) > kLit) {
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  for (int y = 0; y < shot.height - 65; ++y) {
    if (shot.Brightness(shot.width / 2, y) > kLit) {
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return {right - left + 1, bottom - top + 1};
}

// White overlay text in the rectangle, y counted from the top.
int TextPixels(const Shot& shot, int left, int top, int width, int height) {
  int white = 0;
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x) {
      white += shot.Brightness(x, y) > 600;
    }
  }
  return white;
}

// A wider window sees more to the sides and no more up and down: the planet from orbit is a
// disc as high as it is wide, 720/600 times the height it has in the program's own window.
TEST_F(FlightEndToEnd, AFlightAtItsOwnSizeKeepsThePlanetRoundAndTheOverlayInItsCorners) {
  const std::string orbit = "--position 0,0,2500 --frames 20 --shot 20";
  ASSERT_EQ(Fly(orbit + " --size 1280x720 --shots wide"), 0) << ReadLines(dir_ / "out.txt").back();
  ASSERT_EQ(Fly(orbit + " --shots plain"), 0) << ReadLines(dir_ / "out.txt").back();
  const Shot wide = ReadShot(dir_ / "wide" / "frame_00020.tga");
  const Shot plain = ReadShot(dir_ / "plain" / "frame_00020.tga");
  ASSERT_EQ(wide.width, 1280);
  ASSERT_EQ(wide.height, 720);
  ASSERT_EQ(plain.width, 800);
  ASSERT_EQ(plain.height, 600);
  const auto [width, height] = DiscWidthAndHeight(wide);
  EXPECT_NEAR(width, height, 2) << "the planet is drawn " << width << " by " << height;
  EXPECT_GT(height, 500);
  const auto [plain_width, plain_height] = DiscWidthAndHeight(plain);
  EXPECT_NEAR(plain_width, plain_height, 2);
  EXPECT_NEAR(height, plain_height * 1.2, 3.0) << "40 degrees up whatever the width";
  // "Tris : " at the top left, the processor line at the bottom left.
  EXPECT_GT(TextPixels(wide, 10, 10, 50, 15), 10);
  EXPECT_GT(TextPixels(wide, 10, 720 - 20, 50, 15), 10);

  // A size that cannot be drawn is refused before anything starts.
  for (const char* size : {"0x600", "1280x", "9000x720", "1280*720"}) {
    EXPECT_EQ(Fly(std::string("--size ") + size), 2) << size;
    const auto out = ReadLines(dir_ / "out.txt");
    ASSERT_GE(out.size(), 2u) << size;
    EXPECT_NE(out[0].find("--size"), std::string::npos) << out[0];
    EXPECT_EQ(out[1].rfind("usage: meridia-flight", 0), 0u) << out[1];
  }
}

// A flight that resizes its window and goes to full screen and back: the recording holds each
// size and toggle, the shots follow the sizes, and the replay draws them byte for byte again.
TEST_F(FlightEndToEnd, ResizesAndFullScreenAreRecordedAndReplayTheSame) {
  std::ofstream(dir_ / "window.flight") << "# frames 12\n# position 0,0,2500\n"
                                           "3 size 1024 576\n"
                                           "6 fullscreen\n6 size 1280 720\n"
                                           "9 fullscreen\n9 size 1024 576\n";
  const std::string shots = " --shot 2 --shot 4 --shot 7 --shot 10";
  ASSERT_EQ(Fly("--script window.flight --record recorded.flight --shots a" + shots), 0)
      << ReadLines(dir_ / "out.txt").back();
  ASSERT_EQ(Fly("--script recorded.flight --shots b" + shots), 0)
      << ReadLines(dir_ / "out.txt").back();
  const auto lines = ReadLines(dir_ / "recorded.flight");
  for (const char* line :
       {"3 size 1024 576", "6 fullscreen", "6 size 1280 720", "9 fullscreen", "9 size 1024 576"}) {
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
  }
  const struct {
    const char* name;
    int width, height;
  } expected[] = {{"frame_00002.tga", 800, 600},
                  {"frame_00004.tga", 1024, 576},
                  {"frame_00007.tga", 1280, 720},
                  {"frame_00010.tga", 1024, 576}};
  for (const auto& e : expected) {
    const Shot recorded = ReadShot(dir_ / "a" / e.name);
    EXPECT_EQ(recorded.width, e.width) << e.name;
    EXPECT_EQ(recorded.height, e.height) << e.name;
    const auto [width, height] = DiscWidthAndHeight(recorded);
    EXPECT_NEAR(width, height, 2) << e.name;
    EXPECT_TRUE(ReadBytes(dir_ / "b" / e.name) == ReadBytes(dir_ / "a" / e.name))
        << e.name << " differs in the replay";
  }
}

// A shot's pixels with the top row first, as a decoded video frame has them.
std::vector<uint8_t> UprightShot(const fs::path& shot) {
  const std::string pixels = ShotPixels(shot);
  std::vector<uint8_t> upright(pixels.size());
  const size_t row = 800 * 3;
  for (size_t y = 0; y < 600 && pixels.size() == row * 600; ++y) {
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>((599 - y) * row), row,
                upright.begin() + static_cast<std::ptrdiff_t>(y * row));
  }
  return upright;
}

// Whatever a video run leaves under a temporary name.
std::vector<std::string> PartFiles(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.path().extension() == ".part") {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

// The orbit as a video, at the stepped clock's own rate and at one set with --fps: every frame,
// at the clock's times, and the first and last as the flight's own screenshots show them, within
// the codec's loss. Nothing but the frame count on the output: no progress where it is not a
// terminal, and none of FFmpeg's own lines.
TEST_F(FlightEndToEnd, AVideoHoldsEveryFrameFlownAsTheShotsShowIt) {
  struct Case {
    const char* video;
    const char* options;
    int rate_num, rate_den;
  };
  for (const Case& c : {Case{"orbit.mp4", "", 125, 2}, Case{"orbit.mkv", " --fps 30", 30, 1}}) {
    const std::string shots = std::string(c.video) + "-shots";
    ASSERT_EQ(Fly(std::string("--script ") + MERIDIA_FLIGHTS_DIR +
                  "/orbit.flight --frames 30 --shot 1 --shot 30 --shots " + shots + " --video " +
                  c.video + c.options),
              0)
        << ReadLines(dir_ / "out.txt").back();
    EXPECT_EQ(ReadLines(dir_ / "out.txt"),
              (std::vector<std::string>{"meridia-flight: shots in " + (dir_ / shots).string(),
                                        "meridia-flight: 30 frames"}));
    EXPECT_EQ(PartFiles(dir_), std::vector<std::string>{});

    const meridia::testing::DecodedVideo video = meridia::testing::DecodeVideo(dir_ / c.video);
    ASSERT_EQ(video.error, "") << c.video;
    EXPECT_EQ(video.codec, "h264") << c.video;
    EXPECT_EQ(video.pixel_format, "yuv420p") << c.video;
    EXPECT_EQ(video.width, 800) << c.video;
    EXPECT_EQ(video.height, 600) << c.video;
    EXPECT_EQ(video.rate_num * c.rate_den, c.rate_num * video.rate_den)
        << c.video << ": " << video.rate_num << "/" << video.rate_den;
    ASSERT_EQ(video.frames.size(), 30u) << c.video;
    for (size_t i = 0; i < video.frames.size(); ++i) {
      // Times to the millisecond: a frame rate's clock rounds each to the nearest.
      EXPECT_NEAR(video.frames[i].time_ms, 1000.0 * i * c.rate_den / c.rate_num, 0.5 + 1e-9)
          << c.video << " frame " << i + 1;
    }
    EXPECT_GE(meridia::testing::Psnr(video.frames.front().bgr,
                                     UprightShot(dir_ / shots / "frame_00001.tga")),
              35.0)
        << c.video;
    EXPECT_GE(meridia::testing::Psnr(video.frames.back().bgr,
                                     UprightShot(dir_ / shots / "frame_00030.tga")),
              35.0)
        << c.video;
  }
}

// Each failure in one line that names its cause, exit status 1, and nothing left behind: no
// temporary file, and a video already under the name stays as it was.
TEST_F(FlightEndToEnd, AVideoThatCannotBeWrittenSaysWhyAndLeavesNothing) {
  struct Case {
    const char* name;
    std::string shell; // before the tool's command
    std::string options;
    const char* says;
  };
  const Case cases[] = {
      {"unknown extension", "", "--video v.avi", "cannot write v.avi: not a video file name"},
      {"missing folder", "", "--video missing/v.mp4",
       "cannot write missing/v.mp4: No such file or directory"},
      {"quality out of range", "", "--video v.mp4 --quality 52", "H.264's range, 0 to 51"},
      // A full disk, as far as this process can tell: writes beyond 24 blocks (of 512 bytes in
      // the shell that runs it) fail, some frames into the flight, which stops there.
      {"full disk", "trap '' XFSZ; ulimit -f 24; ",
       std::string("--script ") + MERIDIA_FLIGHTS_DIR + "/orbit.flight --video v.mp4",
       "cannot write v.mp4: File too large"},
  };
  for (const Case& c : cases) {
    std::ofstream(dir_ / "v.mp4") << "an earlier video";
    const std::string command = "cd '" + dir_.string() + "' && " + c.shell +
                                "SDL_VIDEODRIVER=offscreen ./meridia-flight " + c.options +
                                " > out.txt 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.name;
    EXPECT_EQ(WEXITSTATUS(status), 1) << c.name;
    const auto out = ReadLines(dir_ / "out.txt");
    ASSERT_EQ(out.size(), 1u) << c.name << ": " << ReadBytes(dir_ / "out.txt");
    EXPECT_EQ(out[0].rfind("meridia-flight: ", 0), 0u) << out[0];
    EXPECT_NE(out[0].find(c.says), std::string::npos) << c.name << ": " << out[0];
    EXPECT_EQ(ReadBytes(dir_ / "v.mp4"), "an earlier video") << c.name;
    EXPECT_FALSE(fs::exists(dir_ / "v.avi")) << c.name;
    EXPECT_EQ(PartFiles(dir_), std::vector<std::string>{}) << c.name;
  }
}

// Escape ends a video flight after its frame, SIGTERM after the frame being drawn: either way
// the frames flown make a whole video under its own name.
TEST_F(FlightEndToEnd, EscapeOrSigtermEndsAVideoWithTheFramesSoFar) {
  std::ofstream(dir_ / "escape.flight") << "# frames 100\n7 down ESCAPE\n";
  ASSERT_EQ(Fly("--script escape.flight --video escape.webm"), 0)
      << ReadLines(dir_ / "out.txt").back();
  const auto escaped = meridia::testing::DecodeVideo(dir_ / "escape.webm");
  ASSERT_EQ(escaped.error, "");
  EXPECT_EQ(escaped.codec, "vp9");
  EXPECT_EQ(escaped.frames.size(), 7u);

  // The signal comes as soon as the video's temporary file exists, before start-up is over.
  const std::string command =
      "cd '" + dir_.string() +
      "' && { SDL_VIDEODRIVER=offscreen ./meridia-flight --frames 100000 --video term.mp4 "
      "> out.txt 2>&1 & pid=$!; for i in $(seq 1000); do [ -e term.mp4.$pid.part ] && break; "
      "sleep 0.02; done; kill -TERM $pid; wait $pid; echo $? > status; }";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadLines(dir_ / "status"), std::vector<std::string>{"143"});
  const auto out = ReadLines(dir_ / "out.txt");
  ASSERT_EQ(out.size(), 2u) << ReadBytes(dir_ / "out.txt");
  const auto terminated = meridia::testing::DecodeVideo(dir_ / "term.mp4");
  ASSERT_EQ(terminated.error, "");
  ASSERT_GE(terminated.frames.size(), 1u);
  const std::string flown = std::to_string(terminated.frames.size());
  EXPECT_EQ(out[0], "meridia-flight: " + flown + " frames");
  EXPECT_EQ(out[1], "meridia-flight: stopped by SIGTERM after frame " + flown +
                        "; term.mp4 holds every frame flown");
  EXPECT_EQ(PartFiles(dir_), std::vector<std::string>{});
}

// On a terminal a flight of more than a second shows its progress in one line, rewritten in
// place and cleared at the end; the same flight into a file shows none of it.
TEST_F(FlightEndToEnd, ProgressShowsOnATerminalOnly) {
  const std::string command = "cd '" + dir_.string() +
                              "' && SDL_VIDEODRIVER=offscreen script -qec "
                              "'./meridia-flight --frames 90' terminal.txt > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string terminal = ReadBytes(dir_ / "terminal.txt");
  EXPECT_NE(terminal.find("\rframe "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find(" of 90, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("\rframe 90 of 90, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find(" frames/s, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("\r\033[Kmeridia-flight: 90 frames"), std::string::npos) << terminal;

  ASSERT_EQ(Fly("--frames 90"), 0);
  EXPECT_EQ(ReadBytes(dir_ / "out.txt"), "meridia-flight: 90 frames\n");
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
