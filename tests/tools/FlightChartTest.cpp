// tools/flights/chart.awk as run.sh runs it: the frame-time chart finds frame_ms by the name in
// the header wherever the column stands, marks the median and the 99th percentile at their
// nearest-rank values, keeps a far hitch from flattening the chart, and fails plainly on a file
// it cannot chart.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>

#include "support/TemporaryFolder.h"

namespace {

using meridia::testing::TemporaryFolder;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Charts `csv`; the exit status, with the chart in folder/out.svg and the complaints in err.txt.
int Chart(const TemporaryFolder& folder, const std::string& csv) {
  std::ofstream(folder / "in.csv", std::ios::binary) << csv;
  const std::string line = std::string("awk -v title=test -f '" MERIDIA_FLIGHTS_DIR
                                       "/hitches.awk' -f '" MERIDIA_FLIGHTS_DIR "/chart.awk' '") +
                           folder / "in.csv" + "' > '" + folder / "out.svg" + "' 2> '" +
                           folder / "err.txt" + "'";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t Count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return static_cast<size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

struct Layout {
  const char* name;
  const char* header;
  // The row of frame i (1..100), whose frame_ms is i.
  std::string (*row)(int i);
};

const Layout kLayouts[] = {
    {"the tool's columns",
     "frame,render_ms,frame_ms,tris,level,nodes_drawn,node_count,"
     "vertex_count,tiles_in_use,generations,height_km,generate_ms,"
     "upload_ms,swap_ms",
     [](int i) {
       return std::to_string(i) + ",1.5," + std::to_string(i) + ",9,3,1,1,1,1,0,100,7,8,500";
     }},
    {"frame_ms first", "frame_ms,frame,swap_ms",
     [](int i) { return std::to_string(i) + "," + std::to_string(i) + ",500"; }},
};

TEST(FlightChart, MarksTheMedianAndThe99thPercentileWhereverTheColumnStands) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    TemporaryFolder folder;
    std::string csv = std::string(layout.header) + "\n";
    // Out of order, so that the ranks come from sorting, not from the rows' order.
    for (int k = 0; k < 100; ++k) {
      csv += layout.row(1 + (k * 37) % 100) + "\n";
    }
    ASSERT_EQ(Chart(folder, csv), 0) << ReadText(folder / "err.txt");
    const std::string svg = ReadText(folder / "out.svg");
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
    EXPECT_EQ(Count(svg, ">median 50\\.00 ms<"), 1u) << svg;
    EXPECT_EQ(Count(svg, ">p99 99\\.00 ms<"), 1u) << svg;
    EXPECT_EQ(Count(svg, ">frame<"), 1u);
    EXPECT_EQ(Count(svg, ">ms<"), 1u);
    EXPECT_EQ(Count(svg, "\\(100 frames\\)"), 1u);
    // One point a frame, none of them a swap time.
    EXPECT_EQ(Count(svg, "[0-9.]+,[0-9.]+[ \"]"), 100u);
    EXPECT_EQ(Count(svg, ">500<"), 0u);
  }
}

TEST(FlightChart, AFarHitchIsMarkedOnTheTopEdgeInsteadOfFlatteningTheChart) {
  TemporaryFolder folder;
  std::string csv = "frame,frame_ms\n1,1000\n";
  for (int i = 2; i <= 100; ++i) {
    csv += std::to_string(i) + ",10\n";
  }
  ASSERT_EQ(Chart(folder, csv), 0) << ReadText(folder / "err.txt");
  const std::string svg = ReadText(folder / "out.svg");
  EXPECT_EQ(Count(svg, ">p99 10\\.00 ms<"), 1u) << svg;
  EXPECT_EQ(Count(svg, ">frame 1: 1000\\.0 ms<"), 1u) << svg;
  // The scale stops at three times the 99th percentile: its highest tick is 30.
  EXPECT_EQ(Count(svg, "text-anchor=\"end\">30<"), 1u) << svg;
  EXPECT_EQ(Count(svg, "text-anchor=\"end\">(35|40|50|1000)<"), 0u) << svg;
}

TEST(FlightChart, RingsEachFrameMoreThanTwiceItsNeighboursMedianAndFifteenMillisecondsAbove) {
  // Frame times of 10 ms, 19 ms from 140 to 160, with these exceptions; the comment says what
  // the rule makes of each.
  const std::map<int, double> spikes = {
      {5, 200},             // within the first ten frames: start-up, not counted
      {30, 40},             // a hitch
      {50, 24},             // 2.4 times the median but only 14 ms above it
      {70, 25.5},           // a hitch: 2.55 times, 15.5 ms above
      {90, 60},   {91, 60}, // two in a row: the median of the twenty neighbours is still 10
      {145, 37},            // in the slow stretch 140..160 of 19 ms: not twice the median 19
      {150, 45},            // a hitch within the stretch
      {199, 36},            // near the end: nine neighbours on the left, one on the right
  };
  TemporaryFolder folder;
  std::string csv = "frame,frame_ms\n";
  for (int i = 1; i <= 200; ++i) {
    double ms = 10;
    if (i >= 140 && i <= 160) {
      ms = 19;
    }
    if (auto spike = spikes.find(i); spike != spikes.end()) {
      ms = spike->second;
    }
    csv += std::to_string(i) + "," + std::to_string(ms) + "\n";
  }
  ASSERT_EQ(Chart(folder, csv), 0) << ReadText(folder / "err.txt");
  const std::string svg = ReadText(folder / "out.svg");
  EXPECT_EQ(Count(svg, "class=\"hitch\""), 6u) << svg;
  EXPECT_EQ(Count(svg, ">6 hitches<"), 1u) << svg;
}

TEST(FlightChart, AFileWithoutFramesOrFrameTimesIsAFailure) {
  const struct {
    const char* csv;
    const char* complaint;
  } kBad[] = {
      {"frame,render_ms\n1,2\n", "no frame_ms column"},
      {"frame,frame_ms\n", "no frames"},
      {"", "no frames"},
  };
  for (const auto& bad : kBad) {
    SCOPED_TRACE(bad.csv);
    TemporaryFolder folder;
    EXPECT_EQ(Chart(folder, bad.csv), 1);
    EXPECT_NE(ReadText(folder / "err.txt").find(bad.complaint), std::string::npos);
  }
}

} // namespace
