#include "video/FrameConverter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
}

namespace meridia::video {

FrameConverter::~FrameConverter() {
  sws_freeContext(sws_);
}

void FrameConverter::SetPictureSize(int width, int height) {
  width_ = width;
  height_ = height;
  source_width_ = 0;
  source_height_ = 0;
}

bool FrameConverter::Convert(const VideoFrame& frame, uint8_t* const planes[3],
                             const int strides[3]) {
  if (frame.width <= 0 || frame.height <= 0 || width_ <= 0 || height_ <= 0 ||
      frame.pixels.size() / 4 / static_cast<size_t>(frame.width) <
          static_cast<size_t>(frame.height)) {
    return false;
  }
  // Rows bottom first, as OpenGL reads them: a padded copy repeats the last column, and the
  // bottom row at the start.
  const uint8_t* pixels = frame.pixels.data();
  const int width = frame.width + (frame.width & 1);
  const int height = frame.height + (frame.height & 1);
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  if (width != frame.width || height != frame.height) {
    padded_.resize(row_bytes * static_cast<size_t>(height));
    const size_t frame_row_bytes = static_cast<size_t>(frame.width) * 4;
    for (int y = 0; y < height; ++y) {
      const int added_rows = height - frame.height;
      const uint8_t* from =
          pixels + static_cast<size_t>(std::max(y - added_rows, 0)) * frame_row_bytes;
      uint8_t* to = padded_.data() + static_cast<size_t>(y) * row_bytes;
      std::memcpy(to, from, frame_row_bytes);
      std::memcpy(to + frame_row_bytes, from + frame_row_bytes - 4, row_bytes - frame_row_bytes);
    }
    pixels = padded_.data();
  }
  if (sws_ == nullptr || width != source_width_ || height != source_height_) {
    sws_ = sws_getCachedContext(sws_, width, height, AV_PIX_FMT_BGRA, PaddedWidth(), PaddedHeight(),
                                AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (sws_ == nullptr) {
      return false;
    }
    // RGB is full range; players expect BT.709 limited range from a picture this size, and the
    // encoder tags the stream so.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(sws_, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    source_width_ = width;
    source_height_ = height;
  }
  // Upright: start at the top row and step backwards.
  const uint8_t* const source[1] = {pixels + row_bytes * static_cast<size_t>(height - 1)};
  const int source_strides[1] = {-static_cast<int>(row_bytes)};
  return sws_scale(sws_, source, source_strides, 0, height, planes, strides) == PaddedHeight();
}

} // namespace meridia::video
