// Writes frames into a video file through FFmpeg's libraries. Frames are converted and encoded
// on a worker thread behind a short queue, so that the caller waits only when the encoder falls
// behind. The file is written under a temporary name in the same folder and renamed to its own
// at Finish; a writer that fails or is dropped unfinished leaves nothing behind.
#pragma once

#include "video/VideoFormat.h"
#include "video/VideoFrame.h"

#include <memory>
#include <optional>
#include <string>

namespace meridia::video {

struct VideoSettings {
  std::string path;
  // Null: the format of the path's extension.
  const VideoFormat* format = nullptr;
  // The encoder's constant-quality value (lower is better); the format's default when empty.
  std::optional<int> quality;
  // Frames per second, rate_num / rate_den. With exact_rate every frame time is taken to be a
  // whole number of frames and the video has this constant rate; otherwise frame times are kept
  // to the millisecond and the rate only guides the encoder.
  int rate_num = 60;
  int rate_den = 1;
  bool exact_rate = false;
};

// Where the worker's time went, totals over all frames so far.
struct VideoTimings {
  int frames = 0;
  double convert_ms = 0; // colour conversion, with any scaling and padding
  double encode_ms = 0;  // encoding and writing
};

class VideoWriter {
public:
  // Checks the format, the encoder and the quality and creates the temporary file; null with a
  // one-line reason otherwise. The picture size is that of the first frame queued.
  static std::unique_ptr<VideoWriter> Create(const VideoSettings& settings, std::string& error);
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // A frame to fill, with the pixel room of an earlier one when there is one; waits while the
  // queue is full.
  VideoFrame TakeFrame();
  // Queues a filled frame; frame times must increase. A frame of another size than the first is
  // scaled to the first one's. False once writing has failed (Error says why).
  bool Queue(VideoFrame frame);
  // Encodes what is queued, completes the file and gives it its name.
  bool Finish(std::string& error);

  std::string Error() const;
  VideoTimings Timings() const;
  // The picture size, padded to even; 0 before the first frame is encoded.
  int Width() const;
  int Height() const;

private:
  struct State;
  explicit VideoWriter(std::unique_ptr<State> state);
  void Work();

  std::unique_ptr<State> state_;
};

} // namespace meridia::video
