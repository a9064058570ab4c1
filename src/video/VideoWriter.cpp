#include "video/VideoWriter.h"

#include "video/FrameConverter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace meridia::video {
namespace {

// Frames waiting for the worker; the caller waits beyond this.
constexpr size_t kQueueDepth = 3;

// FFmpeg's own log lines would surround our one-line messages; the last error it logs is kept
// instead, to say more than an error code where a call fails.
std::mutex g_log_mutex;
std::string g_logged_error;

void KeepLoggedErrors(void* context, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) {
    return;
  }
  char line[512] = {};
  int print_prefix = 0;
  av_log_format_line2(context, level, format, args, line, sizeof(line), &print_prefix);
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  std::lock_guard lock(g_log_mutex);
  g_logged_error = text;
}

std::string Describe(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof(text));
  std::string result = text;
  std::lock_guard lock(g_log_mutex);
  if (!g_logged_error.empty()) {
    result += " (" + g_logged_error + ")";
    g_logged_error.clear();
  }
  return result;
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// "key=value:key=value" into a dictionary; false when the text is malformed.
bool ParseOptions(std::string_view text, AVDictionary** options) {
  return text.empty() || av_dict_parse_string(options, std::string(text).c_str(), "=", ":", 0) >= 0;
}

} // namespace

struct VideoWriter::State {
  VideoSettings settings;
  const VideoFormat* format = nullptr;
  const AVCodec* codec = nullptr;
  int quality = 0;
  std::string temporary_path;

  // Touched by the worker while it runs, by the caller before and after.
  AVFormatContext* muxer = nullptr;
  AVCodecContext* encoder = nullptr;
  AVStream* stream = nullptr;
  AVFrame* picture = nullptr;
  AVPacket* packet = nullptr;
  FrameConverter converter;
  int64_t last_pts = -1;
  int64_t frame_step = 1; // in the encoder's time base

  std::mutex mutex;
  std::condition_variable wake_worker;
  std::condition_variable wake_caller;
  std::deque<VideoFrame> queued;
  std::vector<VideoFrame> spare;
  bool closing = false;
  bool abandon = false;
  bool failed = false;
  bool finished = false;
  std::string error;
  VideoTimings timings;
  int width = 0;
  int height = 0;
  std::thread worker;

  ~State() {
    av_packet_free(&packet);
    av_frame_free(&picture);
    avcodec_free_context(&encoder);
    if (muxer != nullptr) {
      avio_closep(&muxer->pb);
      avformat_free_context(muxer);
    }
  }

  std::string CannotWrite() const { return "cannot write " + settings.path + ": "; }

  bool OpenEncoder(int frame_width, int frame_height, std::string& why);
  bool EncodeFrame(const VideoFrame& frame, std::string& why);
  bool Send(const AVFrame* frame, std::string& why);
  bool Complete(std::string& why);
  void Discard();
};

bool VideoWriter::State::OpenEncoder(int frame_width, int frame_height, std::string& why) {
  converter.SetPictureSize(frame_width, frame_height);
  encoder = avcodec_alloc_context3(codec);
  packet = av_packet_alloc();
  picture = av_frame_alloc();
  if (encoder == nullptr || packet == nullptr || picture == nullptr) {
    why = CannotWrite() + "out of memory";
    return false;
  }
  encoder->width = converter.PaddedWidth();
  encoder->height = converter.PaddedHeight();
  encoder->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder->framerate = {settings.rate_num, settings.rate_den};
  encoder->time_base =
      settings.exact_rate ? AVRational{settings.rate_den, settings.rate_num} : AVRational{1, 1000};
  frame_step =
      std::max<int64_t>(1, av_rescale_q(1, av_inv_q(encoder->framerate), encoder->time_base));
  // Without this the encoders' default bit rate would cap the constant quality.
  encoder->bit_rate = 0;
  // As many threads as the machine has cores; libvpx would take one by default.
  encoder->thread_count = 0;
  encoder->color_range = AVCOL_RANGE_MPEG;
  encoder->colorspace = AVCOL_SPC_BT709;
  encoder->color_primaries = AVCOL_PRI_BT709;
  encoder->color_trc = AVCOL_TRC_BT709;
  if (muxer->oformat->flags & AVFMT_GLOBALHEADER) {
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  AVDictionary* options = nullptr;
  ParseOptions(format->encoder_options, &options);
  av_dict_set_int(&options, "crf", quality, 0);
  int result = avcodec_open2(encoder, codec, &options);
  const AVDictionaryEntry* unused = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
  const std::string unused_name = unused != nullptr ? unused->key : "";
  av_dict_free(&options);
  if (result < 0) {
    why = "cannot start the " + std::string(format->codec_title) + " encoder for a " +
          std::to_string(encoder->width) + "x" + std::to_string(encoder->height) +
          " video: " + Describe(result);
    return false;
  }
  if (!unused_name.empty()) {
    why = "the " + std::string(format->encoder) + " encoder has no option " + unused_name;
    return false;
  }

  stream = avformat_new_stream(muxer, nullptr);
  if (stream == nullptr) {
    why = CannotWrite() + "out of memory";
    return false;
  }
  stream->time_base = encoder->time_base;
  if (settings.exact_rate) {
    stream->avg_frame_rate = encoder->framerate;
  }
  result = avcodec_parameters_from_context(stream->codecpar, encoder);
  AVDictionary* muxer_options = nullptr;
  ParseOptions(format->muxer_options, &muxer_options);
  if (result >= 0) {
    result = avformat_write_header(muxer, &muxer_options);
  }
  av_dict_free(&muxer_options);
  if (result < 0) {
    why = CannotWrite() + Describe(result);
    return false;
  }

  picture->format = encoder->pix_fmt;
  picture->width = encoder->width;
  picture->height = encoder->height;
  result = av_frame_get_buffer(picture, 0);
  if (result < 0) {
    why = CannotWrite() + Describe(result);
    return false;
  }
  std::lock_guard lock(mutex);
  width = encoder->width;
  height = encoder->height;
  return true;
}

bool VideoWriter::State::EncodeFrame(const VideoFrame& frame, std::string& why) {
  if (encoder == nullptr && !OpenEncoder(frame.width, frame.height, why)) {
    return false;
  }
  const auto convert_start = std::chrono::steady_clock::now();
  // The encoder may still hold the previous picture.
  const int writable = av_frame_make_writable(picture);
  if (writable < 0) {
    why = CannotWrite() + Describe(writable);
    return false;
  }
  if (!converter.Convert(frame, picture->data, picture->linesize)) {
    why = "cannot convert a frame of " + std::to_string(frame.width) + "x" +
          std::to_string(frame.height) + " for " + settings.path;
    return false;
  }
  const double convert_ms = MsSince(convert_start);

  const auto encode_start = std::chrono::steady_clock::now();
  int64_t pts = settings.exact_rate
                    ? std::llround(frame.time_ms * settings.rate_num / (1000.0 * settings.rate_den))
                    : std::llround(frame.time_ms);
  // Encoders and muxers refuse a time that does not increase.
  if (pts <= last_pts) {
    pts = last_pts + 1;
  }
  if (last_pts >= 0) {
    frame_step = pts - last_pts;
  }
  last_pts = pts;
  picture->pts = pts;
  const bool sent = Send(picture, why);

  std::lock_guard lock(mutex);
  ++timings.frames;
  timings.convert_ms += convert_ms;
  timings.encode_ms += MsSince(encode_start);
  return sent;
}

// Sends a picture (null: the end of the pictures) and writes every packet the encoder has ready.
bool VideoWriter::State::Send(const AVFrame* frame, std::string& why) {
  int result = avcodec_send_frame(encoder, frame);
  if (result < 0) {
    why = "cannot encode " + settings.path + ": " + Describe(result);
    return false;
  }
  for (;;) {
    result = avcodec_receive_packet(encoder, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
      return true;
    }
    if (result < 0) {
      why = "cannot encode " + settings.path + ": " + Describe(result);
      return false;
    }
    // Containers take a sample's length from the next one's time; the last one's is the
    // packet's own, which the encoder leaves unset: the latest frame step stands in.
    if (packet->duration == 0) {
      packet->duration = frame_step;
    }
    av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
    packet->stream_index = stream->index;
    result = av_interleaved_write_frame(muxer, packet);
    if (result < 0) {
      why = CannotWrite() + Describe(result);
      return false;
    }
  }
}

// Drains the encoder, ends the container, makes the bytes durable and gives the file its name.
bool VideoWriter::State::Complete(std::string& why) {
  if (encoder == nullptr) {
    why = CannotWrite() + "no frame to write";
    return false;
  }
  if (!Send(nullptr, why)) {
    return false;
  }
  int result = av_write_trailer(muxer);
  if (result >= 0 && muxer->pb->error < 0) {
    result = muxer->pb->error;
  }
  const int closed = avio_closep(&muxer->pb);
  if (result < 0 || closed < 0) {
    why = CannotWrite() + Describe(result < 0 ? result : closed);
    return false;
  }
  const int fd = open(temporary_path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  const int sync_error = errno;
  if (fd >= 0) {
    close(fd);
  }
  if (!synced) {
    why = CannotWrite() + std::strerror(sync_error);
    return false;
  }
  if (std::rename(temporary_path.c_str(), settings.path.c_str()) != 0) {
    why = CannotWrite() + std::strerror(errno);
    return false;
  }
  return true;
}

void VideoWriter::State::Discard() {
  if (muxer != nullptr) {
    avio_closep(&muxer->pb);
  }
  std::remove(temporary_path.c_str());
}

VideoWriter::VideoWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<VideoWriter> VideoWriter::Create(const VideoSettings& settings,
                                                 std::string& error) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_callback(&KeepLoggedErrors); });

  const VideoFormat* format =
      settings.format != nullptr ? settings.format : VideoFormatFor(settings.path);
  if (format == nullptr) {
    error = "cannot write " + settings.path + ": not a video file name (use " +
            KnownVideoExtensions() + ")";
    return nullptr;
  }
  const int quality = settings.quality.value_or(format->default_quality);
  if (quality < 0 || quality > format->max_quality) {
    error = "quality " + std::to_string(quality) + " is outside " +
            std::string(format->codec_title) + "'s range, 0 to " +
            std::to_string(format->max_quality) + " (lower is better)";
    return nullptr;
  }
  if (settings.rate_num <= 0 || settings.rate_den <= 0) {
    error = "cannot write " + settings.path + ": no frame rate";
    return nullptr;
  }
  struct stat existing {};
  if (stat(settings.path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
    error = "cannot write " + settings.path + ": it is a folder";
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->settings = settings;
  state->format = format;
  state->quality = quality;
  state->codec = avcodec_find_encoder_by_name(std::string(format->encoder).c_str());
  if (state->codec == nullptr) {
    error = "cannot write " + settings.path + ": the installed FFmpeg libraries have no " +
            std::string(format->encoder) + " encoder for " + std::string(format->codec_title);
    return nullptr;
  }
  // In the same folder, so that the rename at the end cannot cross file systems.
  state->temporary_path = settings.path + "." + std::to_string(getpid()) + ".part";
  int result =
      avformat_alloc_output_context2(&state->muxer, nullptr, std::string(format->container).c_str(),
                                     state->temporary_path.c_str());
  if (result < 0 || state->muxer == nullptr) {
    error = "cannot write " + settings.path + ": the installed FFmpeg libraries have no " +
            std::string(format->container) + " container";
    return nullptr;
  }
  result = avio_open(&state->muxer->pb, state->temporary_path.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) {
    error = state->CannotWrite() + Describe(result);
    return nullptr;
  }
  std::unique_ptr<VideoWriter> writer(new VideoWriter(std::move(state)));
  writer->state_->worker = std::thread(&VideoWriter::Work, writer.get());
  return writer;
}

VideoWriter::~VideoWriter() {
  if (state_->worker.joinable()) {
    {
      std::lock_guard lock(state_->mutex);
      state_->closing = true;
      state_->abandon = true;
    }
    state_->wake_worker.notify_all();
    state_->worker.join();
  }
  if (!state_->finished) {
    state_->Discard();
  }
}

void VideoWriter::Work() {
  State& state = *state_;
  std::unique_lock lock(state.mutex);
  for (;;) {
    state.wake_worker.wait(lock, [&] { return !state.queued.empty() || state.closing; });
    if (state.abandon || state.queued.empty()) {
      return;
    }
    VideoFrame frame = std::move(state.queued.front());
    state.queued.pop_front();
    const bool skip = state.failed;
    lock.unlock();
    std::string why;
    const bool encoded = skip || state.EncodeFrame(frame, why);
    lock.lock();
    if (!encoded) {
      state.failed = true;
      state.error = why;
    }
    state.spare.push_back(std::move(frame));
    state.wake_caller.notify_all();
  }
}

VideoFrame VideoWriter::TakeFrame() {
  std::lock_guard lock(state_->mutex);
  if (state_->spare.empty()) {
    return {};
  }
  VideoFrame frame = std::move(state_->spare.back());
  state_->spare.pop_back();
  return frame;
}

bool VideoWriter::Queue(VideoFrame frame) {
  State& state = *state_;
  std::unique_lock lock(state.mutex);
  state.wake_caller.wait(lock, [&] { return state.queued.size() < kQueueDepth || state.failed; });
  if (state.failed || state.closing) {
    return false;
  }
  state.queued.push_back(std::move(frame));
  state.wake_worker.notify_one();
  return true;
}

bool VideoWriter::Finish(std::string& error) {
  State& state = *state_;
  if (!state.worker.joinable()) {
    error = state.CannotWrite() + "already finished";
    return false;
  }
  {
    std::lock_guard lock(state.mutex);
    state.closing = true;
  }
  state.wake_worker.notify_all();
  state.worker.join();
  if (state.failed) {
    error = state.error;
    return false;
  }
  if (!state.Complete(error)) {
    std::lock_guard lock(state.mutex);
    state.failed = true;
    state.error = error;
    return false;
  }
  state.finished = true;
  return true;
}

std::string VideoWriter::Error() const {
  std::lock_guard lock(state_->mutex);
  return state_->error;
}

VideoTimings VideoWriter::Timings() const {
  std::lock_guard lock(state_->mutex);
  return state_->timings;
}

int VideoWriter::Width() const {
  std::lock_guard lock(state_->mutex);
  return state_->width;
}

int VideoWriter::Height() const {
  std::lock_guard lock(state_->mutex);
  return state_->height;
}

} // namespace meridia::video
