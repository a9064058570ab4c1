// The progress of a long flight on a terminal: one line, "frame n of N, r frames/s, m:ss left",
// rewritten in place a few times a second once the tool has run for a second. Nothing at all
// when the output is not a terminal, so that logs and captured output stay clean.
#pragma once

#include <cstdio>
#include <string>

namespace meridia::flight {

// The line's text; the rate and the time left once some time has passed.
std::string ProgressLine(int frame, int total_frames, double seconds_flying);

class FlightProgress {
public:
  FlightProgress(std::FILE* out, bool terminal, int total_frames)
      : out_(out), terminal_(terminal), total_frames_(total_frames) {}

  // After each frame: the seconds since the tool started and since the first frame began.
  void FrameDone(int frame, double seconds_running, double seconds_flying);
  // Clears the line, so that what is written next starts on a clean one.
  void Finish();

private:
  std::FILE* out_;
  bool terminal_;
  int total_frames_;
  bool shown_ = false;
  double last_shown_ = 0;
};

} // namespace meridia::flight
