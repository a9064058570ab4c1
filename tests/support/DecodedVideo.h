// A video file decoded through FFmpeg's libraries, independently of the writer: its stream's
// description and every frame as upright 24-bit pixels (blue, green, red), converted with the
// colour matrix and range the file declares. For tests that check what a player would show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace meridia::testing {

struct DecodedVideo {
  struct Frame {
    double time_ms = 0;
    std::vector<uint8_t> bgr; // width * height * 3, top row first
  };
  std::string error; // empty when the file decoded
  std::string codec; // "h264", "vp9"
  std::string pixel_format;
  int width = 0;
  int height = 0;
  int rate_num = 0; // the stream's average frame rate
  int rate_den = 0;
  std::vector<Frame> frames;
};

DecodedVideo DecodeVideo(const std::string& path);

// Peak signal-to-noise ratio of two pictures of the same bytes, in dB; 99 when they are equal.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

} // namespace meridia::testing
