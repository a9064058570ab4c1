// The kinds of video file we write, chosen by the file's extension: the container, the encoder
// that every common player can play back from it, and the encoder's constant-quality scale.
#pragma once

#include <string_view>

namespace meridia::video {

struct VideoFormat {
  std::string_view extension;       // ".mp4", in lower case
  std::string_view container;       // libavformat's muxer name
  std::string_view encoder;         // libavcodec's encoder name
  std::string_view codec_title;     // for messages: "H.264"
  std::string_view encoder_options; // "key=value:key=value", handed to the encoder
  std::string_view muxer_options;   // the same, for the container
  int default_quality = 0;          // the encoder's constant-quality value; lower is better
  int max_quality = 0;              // from 0
};

// The format for the path's extension, whatever its case; null when there is none.
const VideoFormat* VideoFormatFor(std::string_view path);

// ".mp4, .mkv or .webm", for messages.
const char* KnownVideoExtensions();

} // namespace meridia::video
