#include "support/DecodedVideo.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace meridia::testing {
namespace {

int SwsColourSpace(AVColorSpace space) {
  switch (space) {
  case AVCOL_SPC_BT709:
    return SWS_CS_ITU709;
  case AVCOL_SPC_BT2020_NCL:
    return SWS_CS_BT2020;
  default:
    return SWS_CS_ITU601; // what players assume of an untagged picture this small
  }
}

struct Closer {
  void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
  void operator()(AVCodecContext* decoder) const { avcodec_free_context(&decoder); }
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
  void operator()(SwsContext* sws) const { sws_freeContext(sws); }
};

} // namespace

DecodedVideo DecodeVideo(const std::string& path) {
  DecodedVideo video;
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
    video.error = "cannot open " + path;
    return video;
  }
  std::unique_ptr<AVFormatContext, Closer> input(opened);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) {
    video.error = "no stream information in " + path;
    return video;
  }
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (index < 0 || codec == nullptr) {
    video.error = "no video stream in " + path;
    return video;
  }
  const AVStream* stream = input->streams[index];
  video.codec = codec->name;
  video.width = stream->codecpar->width;
  video.height = stream->codecpar->height;
  video.rate_num = stream->avg_frame_rate.num;
  video.rate_den = stream->avg_frame_rate.den;
  const char* format_name =
      av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream->codecpar->format));
  video.pixel_format = format_name != nullptr ? format_name : "";

  std::unique_ptr<AVCodecContext, Closer> decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    video.error = "cannot open the decoder of " + path;
    return video;
  }
  std::unique_ptr<AVPacket, Closer> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, Closer> frame(av_frame_alloc());
  std::unique_ptr<SwsContext, Closer> sws;
  auto receive = [&]() {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      sws.reset(sws_getCachedContext(
          sws.release(), frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
          frame->width, frame->height, AV_PIX_FMT_BGR24,
          SWS_BICUBIC | SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
      const int* matrix = sws_getCoefficients(SwsColourSpace(frame->colorspace));
      sws_setColorspaceDetails(sws.get(), matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix, 1,
                               0, 1 << 16, 1 << 16);
      DecodedVideo::Frame out;
      out.time_ms =
          static_cast<double>(frame->best_effort_timestamp) * 1000.0 * av_q2d(stream->time_base);
      out.bgr.resize(static_cast<size_t>(frame->width) * frame->height * 3);
      uint8_t* planes[1] = {out.bgr.data()};
      const int strides[1] = {frame->width * 3};
      sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
      video.frames.push_back(std::move(out));
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(decoder.get(), packet.get()) >= 0) {
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  return video;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) {
    return 0;
  }
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double difference = static_cast<double>(a[i]) - static_cast<double>(b[i]);
    sum += difference * difference;
  }
  if (sum == 0) {
    return 99;
  }
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / sum);
}

} // namespace meridia::testing
