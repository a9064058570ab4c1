// Turns read-back frames into the planes of a yuv420p picture of one fixed size: upright, in
// BT.709 limited range, scaled when a frame comes at another size, and each odd side padded to
// even (4:2:0 needs whole chroma pairs) by repeating the last column or row.
// An odd-sized frame is padded before it reaches libswscale, whose chroma input reads pixels in
// pairs: past the end of an odd row, and past the end of the buffer on the last.
#pragma once

#include "video/VideoFrame.h"

#include <cstdint>
#include <vector>

struct SwsContext;

namespace meridia::video {

class FrameConverter {
public:
  FrameConverter() = default;
  ~FrameConverter();
  FrameConverter(const FrameConverter&) = delete;
  FrameConverter& operator=(const FrameConverter&) = delete;

  // The size of the picture frames are converted to, before padding.
  void SetPictureSize(int width, int height);
  int PaddedWidth() const { return width_ + (width_ & 1); }
  int PaddedHeight() const { return height_ + (height_ & 1); }

  // Writes the Y, U and V planes of PaddedWidth by PaddedHeight. False when the frame holds
  // fewer pixels than its size says, or the conversion cannot be set up.
  bool Convert(const VideoFrame& frame, uint8_t* const planes[3], const int strides[3]);

private:
  int width_ = 0;
  int height_ = 0;
  SwsContext* sws_ = nullptr;
  std::vector<uint8_t> padded_; // an odd-sized frame made even
  int source_width_ = 0;
  int source_height_ = 0;
};

} // namespace meridia::video
