#include "video/VideoFormat.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace meridia::video {
namespace {

// H.264 in yuv420p plays everywhere. Quality 18 keeps rendered frames within 35 dB of what was
// drawn, where the usual 23 blurs the overlay's text and the terrain's detail; "veryfast"
// encodes a frame in a few milliseconds at less than half the size "superfast" gives. The moov
// atom goes first, so that a shared file plays while it downloads. VP9 in its real-time mode at
// the highest speed encodes about as fast; its "good" mode takes five times as long for a third
// less size.
constexpr VideoFormat kFormats[] = {
    {".mp4", "mp4", "libx264", "H.264", "preset=veryfast", "movflags=+faststart", 18, 51},
    {".mkv", "matroska", "libx264", "H.264", "preset=veryfast", "", 18, 51},
    {".webm", "webm", "libvpx-vp9", "VP9", "deadline=realtime:cpu-used=8:row-mt=1", "", 32, 63},
};

} // namespace

const VideoFormat* VideoFormatFor(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return nullptr;
  }
  std::string extension(path.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto found =
      std::find_if(std::begin(kFormats), std::end(kFormats),
                   [&](const VideoFormat& format) { return format.extension == extension; });
  return found != std::end(kFormats) ? found : nullptr;
}

const char* KnownVideoExtensions() {
  return ".mp4, .mkv or .webm";
}

} // namespace meridia::video
