// Runs the real flight tool headless, from a private copy of the runnable folder, and checks
// what a run leaves behind: exit status, statistics, screenshot and log.
#include "imaging/TGAImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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

class FlightEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/meridia-flight-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const fs::path run = MERIDIA_RUN_DIR;
    fs::copy_file(run / "meridia-flight", dir_ / "meridia-flight");
    fs::copy(run / "base", dir_ / "base", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Fly(const std::string& args) {
    const std::string command = "cd '" + dir_.string() +
                                "' && SDL_VIDEODRIVER=offscreen ./meridia-flight " + args +
                                " > out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
};

TEST_F(FlightEndToEnd, ThirtyFramesLeaveStatisticsAScreenshotAndALog) {
  ASSERT_EQ(Fly("--frames 30 --shot 29 --stats s.csv"), 0) << ReadLines(dir_ / "out.txt").back();

  const auto stats = ReadLines(dir_ / "s.csv");
  ASSERT_EQ(stats.size(), 31u);
  EXPECT_EQ(stats[0], "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,vertex_count,"
                      "tiles_in_use,generations,height_km");
  for (size_t i = 1; i < stats.size(); ++i) {
    EXPECT_EQ(stats[i].rfind(std::to_string(i) + ",", 0), 0u) << stats[i];
    EXPECT_EQ(std::count(stats[i].begin(), stats[i].end(), ','), 10) << stats[i];
  }

  const fs::path shot = dir_ / "screens" / "frame_00029.tga";
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_EQ(fs::file_size(shot), 18u + 800u * 600u * 3u);
  std::ifstream in(shot, std::ios::binary);
  std::array<uint8_t, 18> bytes{};
  in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  const auto header = meridia::TGAHeader::FromBytes(bytes);
  EXPECT_EQ(header.ImageType, 2);
  EXPECT_EQ(header.Width, 800);
  EXPECT_EQ(header.Height, 600);
  EXPECT_EQ(header.PixelDepth, 24);
  EXPECT_EQ(header.ImageDescriptor, 0);
  EXPECT_FALSE(fs::exists(dir_ / "screens" / "frame_00028.tga"));

  const auto log = ReadLines(dir_ / "meridia-flight.zolog");
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log.front().find("] Log Started"), std::string::npos) << log.front();
  EXPECT_NE(log.back().find(" Log Finished"), std::string::npos) << log.back();
}

TEST_F(FlightEndToEnd, EscapeInAScriptEndsTheRunEarly) {
  std::ofstream(dir_ / "quit.flight") << "# frames 100\n12 down ESCAPE\n";
  ASSERT_EQ(Fly("--script quit.flight --stats s.csv"), 0);
  // The frame drawn when Escape went down is the last one.
  EXPECT_EQ(ReadLines(dir_ / "s.csv").size(), 1u + 12u);
}

TEST_F(FlightEndToEnd, AMalformedScriptStopsWithAMessage) {
  std::ofstream(dir_ / "bad.flight") << "5 down W\n6 hover\n";
  EXPECT_NE(Fly("--script bad.flight"), 0);
  const auto out = ReadLines(dir_ / "out.txt");
  ASSERT_FALSE(out.empty());
  EXPECT_NE(out.front().find("line 2"), std::string::npos) << out.front();
}

TEST_F(FlightEndToEnd, AnEmptyCacheFolderReceivesAnEmptyIndex) {
  fs::create_directory(dir_ / "cache");
  ASSERT_EQ(Fly("--frames 5"), 0) << ReadLines(dir_ / "out.txt").back();
  EXPECT_EQ(ReadBytes(dir_ / "cache" / "data.cache"), std::string(4, '\0'));
  // Without an archive nothing is ever copied into the cache.
  EXPECT_FALSE(fs::exists(dir_ / "cache" / "archive"));
}

TEST_F(FlightEndToEnd, ADamagedCacheIndexIsReportedAndReplacedByAnEmptyOne) {
  fs::create_directory(dir_ / "cache");
  std::mt19937 random(20240601);
  std::string junk(64, '\0');
  for (char& c : junk) {
    c = static_cast<char>(random());
  }
  std::ofstream(dir_ / "cache" / "data.cache", std::ios::binary) << junk;
  ASSERT_EQ(Fly("--frames 5"), 0) << ReadLines(dir_ / "out.txt").back();

  const auto log = ReadLines(dir_ / "meridia-flight.zolog");
  ASSERT_GE(log.size(), 3u);
  EXPECT_NE(log[1].find(" Cache index damaged, starting empty : cache/data.cache"),
            std::string::npos)
      << log[1];
  EXPECT_EQ(ReadBytes(dir_ / "cache" / "data.cache"), std::string(4, '\0'));
}

} // namespace
