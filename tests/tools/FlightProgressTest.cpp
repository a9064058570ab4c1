#include "FlightProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace meridia::flight {
namespace {

TEST(FlightProgress, TheLineSaysFrameRateAndTimeLeft) {
  struct Case {
    int frame, total;
    double seconds;
    const char* line;
  };
  const Case cases[] = {
      {120, 600, 5.0, "frame 120 of 600, 24.0 frames/s, 0:20 left"},
      {1, 600, 0.0, "frame 1 of 600"},
      {600, 600, 40.0, "frame 600 of 600, 15.0 frames/s, 0:00 left"},
      {100, 6100, 20.0, "frame 100 of 6100, 5.0 frames/s, 20:00 left"},
      {10, 100000, 10.0, "frame 10 of 100000, 1.0 frames/s, 27:46:30 left"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressLine(c.frame, c.total, c.seconds), c.line);
  }
}

// What the display writes, as the terminal would receive it.
class Captured {
public:
  Captured() : file_(open_memstream(&text_, &size_)) {}
  ~Captured() {
    std::fclose(file_);
    std::free(text_);
  }
  std::FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(text_, size_);
  }

private:
  char* text_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

TEST(FlightProgress, OnlyATerminalAfterTheFirstSecondSeesItRewrittenInPlace) {
  Captured terminal, file;
  FlightProgress on_terminal(terminal.file(), true, 300);
  FlightProgress to_file(file.file(), false, 300);
  // Frame, seconds since the tool started, seconds since the first frame.
  const double steps[][3] = {{1, 0.5, 0.0},  {10, 0.9, 0.4}, {20, 1.2, 0.8},
                             {25, 1.3, 1.0}, {40, 1.5, 1.6}, {300, 1.6, 12.0}};
  for (const auto& step : steps) {
    on_terminal.FrameDone(static_cast<int>(step[0]), step[1], step[2]);
    to_file.FrameDone(static_cast<int>(step[0]), step[1], step[2]);
  }
  on_terminal.Finish();
  to_file.Finish();
  EXPECT_EQ(file.Text(), "");
  // Not before a second, then at most four times a second, and the last frame always.
  EXPECT_EQ(terminal.Text(), "\rframe 20 of 300, 25.0 frames/s, 0:11 left\033[K"
                             "\rframe 40 of 300, 25.0 frames/s, 0:10 left\033[K"
                             "\rframe 300 of 300, 25.0 frames/s, 0:00 left\033[K"
                             "\r\033[K");

  Captured quick;
  FlightProgress short_flight(quick.file(), true, 10);
  short_flight.FrameDone(10, 0.9, 0.3);
  short_flight.Finish();
  EXPECT_EQ(quick.Text(), "");
}

} // namespace
} // namespace meridia::flight
