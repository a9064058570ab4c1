// The video writer end to end, without a window: synthetic frames in, the file decoded through
// FFmpeg's own demuxers and decoders, as a player would, and compared with what went in.
#include "video/VideoWriter.h"

#include "support/DecodedVideo.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace meridia::video {
namespace {

namespace fs = std::filesystem;
using testing::DecodedVideo;
using testing::DecodeVideo;
using testing::Psnr;
using testing::TemporaryFolder;

// An upright picture, 3 bytes a pixel (blue, green, red), drawn in coordinates relative to its
// size so that the same picture can be drawn at two sizes: gradients, a top half much redder
// than the bottom (a picture upside down shows at once), and a light square that moves with
// the frame index.
std::vector<uint8_t> Picture(int width, int height, int index) {
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double u = (x + 0.5) / width, v = (y + 0.5) / height;
      const double square_u = 0.1 + 0.05 * index;
      const bool in_square = u > square_u && u < square_u + 0.2 && v > 0.6 && v < 0.9;
      uint8_t* pixel = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      pixel[0] = static_cast<uint8_t>(in_square ? 230 : 40 + 150 * u);
      pixel[1] = static_cast<uint8_t>(in_square ? 230 : 60 + 100 * v);
      pixel[2] = static_cast<uint8_t>(in_square ? 230 : (v < 0.5 ? 200 : 50));
    }
  }
  return bgr;
}

// The picture as OpenGL reads it back: 4 bytes a pixel, rows bottom first.
VideoFrame ReadBack(const std::vector<uint8_t>& bgr, int width, int height, double time_ms) {
  VideoFrame frame;
  frame.width = width;
  frame.height = height;
  frame.time_ms = time_ms;
  frame.pixels.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* from = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      uint8_t* to = &frame.pixels[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
      std::copy(from, from + 3, to);
      to[3] = 255;
    }
  }
  return frame;
}

// The top-left width by height of a decoded picture `stride` pixels wide.
std::vector<uint8_t> Crop(const std::vector<uint8_t>& bgr, int stride, int width, int height) {
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y) {
    const auto row = bgr.begin() + static_cast<std::ptrdiff_t>(y) * stride * 3;
    out.insert(out.end(), row, row + width * 3);
  }
  return out;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(VideoFormat, IsChosenByTheExtensionWhateverItsCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.mp4", "mp4"},     {"out/Flight.MKV", "matroska"},
      {"x.y.webm", "webm"}, {"a.avi", nullptr},
      {"mp4", nullptr},     {"film.mp4/part", nullptr},
      {"a.mp4.", nullptr},  {"a.mp4.part", nullptr}};
  for (const auto& [path, container] : cases) {
    const VideoFormat* format = VideoFormatFor(path);
    if (container == nullptr) {
      EXPECT_EQ(format, nullptr) << path;
    } else {
      ASSERT_NE(format, nullptr) << path;
      EXPECT_EQ(format->container, container) << path;
    }
  }
}

TEST(VideoWriter, EachFormatHoldsEveryFrameUprightAtItsTime) {
  struct Case {
    const char* file;
    const char* codec;
    int rate_num, rate_den;
    bool exact;
    std::vector<double> times;
  };
  const Case cases[] = {
      {"exact.mp4", "h264", 25, 1, true, {0, 40, 80, 120, 160, 200, 240, 280, 320, 360}},
      // Times of a flight in real time are kept to the millisecond.
      {"timed.mkv", "h264", 60, 1, false, {0, 16, 33, 50, 66, 100, 116, 150, 166, 201}},
      {"exact.webm", "vp9", 125, 2, true, {0, 16, 32, 48, 64, 80, 96, 112, 128, 144}},
  };
  constexpr int kWidth = 192, kHeight = 128;
  for (const Case& c : cases) {
    TemporaryFolder folder;
    VideoSettings settings;
    settings.path = folder / c.file;
    settings.rate_num = c.rate_num;
    settings.rate_den = c.rate_den;
    settings.exact_rate = c.exact;
    std::string error;
    auto writer = VideoWriter::Create(settings, error);
    ASSERT_TRUE(writer) << error;
    for (size_t i = 0; i < c.times.size(); ++i) {
      VideoFrame frame = writer->TakeFrame();
      frame = ReadBack(Picture(kWidth, kHeight, static_cast<int>(i)), kWidth, kHeight, c.times[i]);
      ASSERT_TRUE(writer->Queue(std::move(frame))) << c.file << ": " << writer->Error();
    }
    ASSERT_TRUE(writer->Finish(error)) << error;
    EXPECT_EQ(writer->Timings().frames, static_cast<int>(c.times.size()));
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{c.file}) << "a temporary file is left";

    const DecodedVideo video = DecodeVideo(settings.path);
    ASSERT_EQ(video.error, "") << c.file;
    EXPECT_EQ(video.codec, c.codec) << c.file;
    EXPECT_EQ(video.pixel_format, "yuv420p") << c.file;
    EXPECT_EQ(video.width, kWidth) << c.file;
    EXPECT_EQ(video.height, kHeight) << c.file;
    if (c.exact) {
      EXPECT_EQ(video.rate_num * c.rate_den, c.rate_num * video.rate_den) << c.file;
    }
    ASSERT_EQ(video.frames.size(), c.times.size()) << c.file;
    for (size_t i = 0; i < c.times.size(); ++i) {
      EXPECT_NEAR(video.frames[i].time_ms, c.times[i], 0.5) << c.file << " frame " << i;
      EXPECT_GE(Psnr(video.frames[i].bgr, Picture(kWidth, kHeight, static_cast<int>(i))), 35.0)
          << c.file << " frame " << i;
    }
  }
}

TEST(VideoWriter, OddSidesArePaddedAndFramesOfAnotherSizeScaled) {
  TemporaryFolder folder;
  VideoSettings settings;
  settings.path = folder / "odd.mp4";
  std::string error;
  auto writer = VideoWriter::Create(settings, error);
  ASSERT_TRUE(writer) << error;
  constexpr int kWidth = 161, kHeight = 97;
  ASSERT_TRUE(writer->Queue(ReadBack(Picture(kWidth, kHeight, 0), kWidth, kHeight, 0)));
  // The same picture drawn at twice the size, as after the window grew.
  ASSERT_TRUE(
      writer->Queue(ReadBack(Picture(2 * kWidth, 2 * kHeight, 0), 2 * kWidth, 2 * kHeight, 16)));
  ASSERT_TRUE(writer->Finish(error)) << error;
  EXPECT_EQ(writer->Width(), kWidth + 1);
  EXPECT_EQ(writer->Height(), kHeight + 1);

  const DecodedVideo video = DecodeVideo(settings.path);
  ASSERT_EQ(video.error, "");
  ASSERT_EQ(video.width, kWidth + 1);
  ASSERT_EQ(video.height, kHeight + 1);
  ASSERT_EQ(video.frames.size(), 2u);
  const auto& first = video.frames[0].bgr;
  EXPECT_GE(Psnr(Crop(first, kWidth + 1, kWidth, kHeight), Picture(kWidth, kHeight, 0)), 35.0);
  // Scaled to the padded size, within a pixel of the picture's own, and blurred by it.
  EXPECT_GE(
      Psnr(Crop(video.frames[1].bgr, kWidth + 1, kWidth, kHeight), Picture(kWidth, kHeight, 0)),
      25.0);
  // The padding repeats the last column and the last row.
  double column_difference = 0, row_difference = 0;
  for (int y = 0; y <= kHeight; ++y) {
    for (int c = 0; c < 3; ++c) {
      column_difference += std::abs(first[(y * (kWidth + 1) + kWidth) * 3 + c] -
                                    first[(y * (kWidth + 1) + kWidth - 1) * 3 + c]);
    }
  }
  for (int x = 0; x <= kWidth; ++x) {
    for (int c = 0; c < 3; ++c) {
      row_difference += std::abs(first[(kHeight * (kWidth + 1) + x) * 3 + c] -
                                 first[((kHeight - 1) * (kWidth + 1) + x) * 3 + c]);
    }
  }
  EXPECT_LT(column_difference / ((kHeight + 1) * 3), 6.0);
  EXPECT_LT(row_difference / ((kWidth + 1) * 3), 6.0);
}

TEST(VideoWriter, RefusalsNameTheCauseAndLeaveNothing) {
  VideoFormat no_encoder = *VideoFormatFor("a.mp4");
  no_encoder.encoder = "meridia-no-such-encoder";
  VideoFormat no_container = *VideoFormatFor("a.mp4");
  no_container.container = "meridia-no-such-container";
  struct Case {
    const char* name;
    const char* file;
    std::optional<int> quality;
    const VideoFormat* format;
    const char* says;
  };
  const Case cases[] = {
      {"unknown extension",
       "a.avi",
       {},
       nullptr,
       "not a video file name (use .mp4, .mkv or .webm)"},
      {"no extension", "video", {}, nullptr, "not a video file name"},
      {"missing folder", "missing/a.mp4", {}, nullptr, "missing/a.mp4: No such file or directory"},
      {"a folder", "folder.mp4", {}, nullptr, "folder.mp4: it is a folder"},
      {"quality above H.264's", "a.mp4", 52, nullptr, "H.264's range, 0 to 51"},
      {"quality above VP9's", "a.webm", 64, nullptr, "VP9's range, 0 to 63"},
      {"negative quality", "a.mkv", -1, nullptr, "quality -1 is outside"},
      {"missing encoder", "a.mp4", {}, &no_encoder, "no meridia-no-such-encoder encoder for H.264"},
      {"missing container", "a.mp4", {}, &no_container, "no meridia-no-such-container container"},
  };
  for (const Case& c : cases) {
    TemporaryFolder folder;
    fs::create_directory(folder.path() / "folder.mp4");
    VideoSettings settings;
    settings.path = folder / c.file;
    settings.quality = c.quality;
    settings.format = c.format;
    std::string error;
    EXPECT_FALSE(VideoWriter::Create(settings, error)) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"folder.mp4"}) << c.name;
  }
}

TEST(VideoWriter, AnUnfinishedOrEmptyVideoLeavesTheOldFileAndNothingElse) {
  TemporaryFolder folder;
  const std::string path = folder / "keep.mp4";
  std::ofstream(path) << "old";
  auto read = [&] {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  VideoSettings settings;
  settings.path = path;
  std::string error;
  {
    auto writer = VideoWriter::Create(settings, error);
    ASSERT_TRUE(writer) << error;
    EXPECT_EQ(Names(folder.path()).size(), 2u) << "the temporary file beside the old one";
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(writer->Queue(ReadBack(Picture(64, 48, i), 64, 48, i * 16.0)));
    }
  }
  EXPECT_EQ(read(), "old");
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"keep.mp4"});

  auto empty = VideoWriter::Create(settings, error);
  ASSERT_TRUE(empty) << error;
  EXPECT_FALSE(empty->Finish(error));
  EXPECT_NE(error.find("no frame to write"), std::string::npos) << error;
  empty.reset();
  EXPECT_EQ(read(), "old");
  EXPECT_EQ(Names(folder.path()), std::set<std::string>{"keep.mp4"});
}

} // namespace
} // namespace meridia::video
