// One picture on its way into a video: pixels as OpenGL reads them back (4 bytes a pixel in blue,
// green, red, alpha order, rows bottom first, no gap between rows) and the time it is shown at.
#pragma once

#include <cstdint>
#include <vector>

namespace meridia::video {

struct VideoFrame {
  std::vector<uint8_t> pixels; // at least width * height * 4 bytes
  int width = 0;
  int height = 0;
  double time_ms = 0; // from the first frame of the video
};

} // namespace meridia::video
