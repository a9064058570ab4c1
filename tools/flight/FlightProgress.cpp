#include "FlightProgress.h"

#include <cmath>

namespace meridia::flight {
namespace {

constexpr double kQuietSeconds = 1.0;
constexpr double kRefreshSeconds = 0.25;

std::string Duration(double seconds) {
  const long total = std::lround(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof(text), "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof(text), "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

} // namespace

std::string ProgressLine(int frame, int total_frames, double seconds_flying) {
  std::string line = "frame " + std::to_string(frame) + " of " + std::to_string(total_frames);
  if (seconds_flying > 0 && frame > 0) {
    const double rate = frame / seconds_flying;
    char text[64];
    std::snprintf(text, sizeof(text), ", %.1f frames/s, ", rate);
    line += text + Duration((total_frames - frame) / rate) + " left";
  }
  return line;
}

void FlightProgress::FrameDone(int frame, double seconds_running, double seconds_flying) {
  if (!terminal_ || seconds_running < kQuietSeconds ||
      (shown_ && seconds_running - last_shown_ < kRefreshSeconds && frame < total_frames_)) {
    return;
  }
  // Back to the line's start, and erase what a longer line before left.
  std::fprintf(out_, "\r%s\033[K", ProgressLine(frame, total_frames_, seconds_flying).c_str());
  std::fflush(out_);
  shown_ = true;
  last_shown_ = seconds_running;
}

void FlightProgress::Finish() {
  if (shown_) {
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
  }
}

} // namespace meridia::flight
