// Reads the current viewport out of the frame buffer: into a 24-bit bottom-up TGA record, the
// layout of the program's screenshots, or as the 32-bit rows a video encoder takes, at once or
// one frame later without waiting for the driver.
#pragma once

#include "imaging/TGAImage.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace meridia {

// Reads the buffer that is current for reading; an empty viewport gives an empty image.
TTGAImage CaptureViewport();

// Reads the buffer that is current for reading as 4-byte pixels in blue, green, red, alpha order,
// rows bottom first, into `pixels` (resized to fit, its room kept for the next frame); false for
// an empty viewport.
bool ReadViewportBGRA(std::vector<uint8_t>& pixels, int& width, int& height);

// Reads frames back without making the loop wait for the driver to draw them: each read is
// queued behind its frame's drawing into a pixel-pack buffer of its own and collected a frame
// later, by when the loop has waited for that frame anyway (a display's swap, or the frame
// pacer). Where pixel-pack buffers are missing, Queue reads at once. Needs the loaded entry
// points; the buffers go with the context.
class FrameReadBack {
public:
  // Queues the read of the current viewport, as ReadViewportBGRA would give it; false for an
  // empty viewport.
  bool Queue();
  // The frames queued and not yet collected.
  size_t Pending() const { return pending_.size(); }
  // The oldest queued frame into `pixels`, as ReadViewportBGRA; false when none is pending.
  bool Collect(std::vector<uint8_t>& pixels, int& width, int& height);

private:
  struct Read {
    unsigned buffer = 0; // 0: read at once into `pixels`
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
  };
  std::deque<Read> pending_;
  std::vector<unsigned> free_buffers_;
  std::vector<size_t> buffer_bytes_; // by buffer name
  bool buffers_checked_ = false;
  bool use_buffers_ = false;
};

} // namespace meridia
