#include "video/VideoFormat.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace meridia::video {
namespace {

// H.264 in yuv420p plays everywhere; "veryfast" keeps encoding within the frame time of a
// software-rendered flight on two cores, at a size some 10 % above the default preset's. The
// moov atom goes first so that a shared file plays while it downloads. VP9's "good" deadline at
// speed 5 with row threads is the fastest setting whose pictures stay close to H.264's.
constexpr VideoFormat kFormats[] = {
    {".mp4", "mp4", "libx264", "H.264", "preset=veryfast", "movflags=+faststart", 23, 51},
    {".mkv", "matroska", "libx264", "H.264", "preset=veryfast", "", 23, 51},
    {".webm", "webm", "libvpx-vp9", "VP9", "deadline=good:cpu-used=5:row-mt=1", "", 32, 63},
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
