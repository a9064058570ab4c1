// Decoding a 1024 by 1024 DDS texture on the CPU, as every DDS texture file is: S3TC blocks of
// fixed pseudo-random content (so both DXT1 colour modes and both DXT5 alpha modes occur) and a
// 32-bit bit-mask layout. The time includes sizing the 4 MiB result, as a real load does.
#include "decoders/DDSDecoder.h"
#include "decoders/DDSHeader.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace meridia {
namespace {

constexpr uint32_t kSide = 1024;

std::vector<uint8_t> MakeDDS(const DDSPixelFormat& format, size_t data_bytes) {
  DDSHeader header;
  header.Width = kSide;
  header.Height = kSide;
  header.PixelFormat = format;
  const auto head = header.ToBytes();
  std::vector<uint8_t> file(head.begin(), head.end());
  uint32_t seed = 12345;
  for (size_t i = 0; i < data_bytes; ++i) {
    seed = seed * 134775813u + 1;
    file.push_back(static_cast<uint8_t>(seed >> 24));
  }
  return file;
}

void Decode(benchmark::State& state, const std::vector<uint8_t>& file) {
  TDecodedBitmap bitmap;
  std::string error;
  for (auto _ : state) {
    if (!DecodeDDS(file, bitmap, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(bitmap.Pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

void BM_DecodeDXT1(benchmark::State& state) {
  static const auto file =
      MakeDDS({32, DDSPixelFormat::kFourCC, MakeFourCC("DXT1"), 0, 0, 0, 0, 0}, kSide * kSide / 2);
  Decode(state, file);
}
BENCHMARK(BM_DecodeDXT1)->Unit(benchmark::kMillisecond);

void BM_DecodeDXT5(benchmark::State& state) {
  static const auto file =
      MakeDDS({32, DDSPixelFormat::kFourCC, MakeFourCC("DXT5"), 0, 0, 0, 0, 0}, kSide * kSide);
  Decode(state, file);
}
BENCHMARK(BM_DecodeDXT5)->Unit(benchmark::kMillisecond);

void BM_DecodeA8R8G8B8(benchmark::State& state) {
  static const auto file = MakeDDS({32, DDSPixelFormat::kRGB | DDSPixelFormat::kAlphaPixels, 0, 32,
                                    0xff0000, 0xff00, 0xff, 0xff000000},
                                   kSide * kSide * 4);
  Decode(state, file);
}
BENCHMARK(BM_DecodeA8R8G8B8)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
