// Block-sorting decoder throughput on 20 MB of mixed data (text, binary records, already
// compressed bytes) and on 4 MB of random bytes, one benchmark per path, and the memory one
// decoder instance takes.
// Counters: MB/s is decoded bytes per second; resident_MiB is what a fresh decoder added to the
// process's resident memory while decoding, its output excluded; work_MiB is its allocation.
// Long runs: a stream of about a kilobyte that decodes to 223 MB; peak_MiB is how far the
// process's resident memory rose above where it stood before the decode, output included.
#include "AbcEncoder.h"
#include "storage/abc/Mcp.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// English-like text: sentences of words from a vocabulary with a long tail, numbers and
// punctuation, the way logs, shaders and model files read.
void AppendText(std::vector<uint8_t>& out, size_t count, uint32_t seed) {
  static constexpr std::string_view kWords[] = {
      "the",     "of",      "and",    "a",       "to",       "in",      "planet", "is",
      "terrain", "with",    "for",    "vertex",  "as",       "on",      "patch",  "light",
      "sky",     "texture", "by",     "tree",    "from",     "height",  "at",     "city",
      "noise",   "map",     "level",  "node",    "quadtree", "erosion", "camera", "frame",
      "shadow",  "colour",  "normal", "surface", "program",  "atlas",   "leaf",   "branch"};
  std::mt19937 rng(seed);
  const size_t end = out.size() + count;
  while (out.size() < end) {
    const int words = 4 + static_cast<int>(rng() % 12);
    for (int w = 0; w < words; ++w) {
      // A skewed pick: low indices far more often.
      const size_t index =
          (rng() % std::size(kWords)) * (rng() % std::size(kWords)) / std::size(kWords);
      const std::string_view word = kWords[index];
      out.insert(out.end(), word.begin(), word.end());
      if (rng() % 9 == 0) {
        const std::string number = std::to_string(rng() % 5000);
        out.push_back(' ');
        out.insert(out.end(), number.begin(), number.end());
      }
      out.push_back(' ');
    }
    out.back() = '.';
    out.push_back(rng() % 4 == 0 ? '\n' : ' ');
  }
  out.resize(end);
}

// Binary records: float positions that drift, 32-bit indices that climb, flags and padding.
void AppendRecords(std::vector<uint8_t>& out, size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> step(-0.01f, 0.01f);
  float position[3] = {0.0f, 0.0f, 0.0f};
  uint32_t index = 0;
  const size_t end = out.size() + count;
  while (out.size() < end) {
    for (float& p : position) {
      p += step(rng);
      const auto* bytes = reinterpret_cast<const uint8_t*>(&p);
      out.insert(out.end(), bytes, bytes + 4);
    }
    index += rng() % 4;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&index);
    out.insert(out.end(), bytes, bytes + 4);
    out.push_back(static_cast<uint8_t>(rng() % 3));
    out.insert(out.end(), 3, 0);
  }
  out.resize(end);
}

const std::vector<uint8_t>& MixedInput() {
  static const std::vector<uint8_t> input = [] {
    std::vector<uint8_t> data;
    AppendText(data, 8 * kMiB, 1);
    AppendRecords(data, 6 * kMiB, 2);
    // Already compressed: more text, through the compressor itself.
    std::vector<uint8_t> text;
    AppendText(text, 20 * kMiB, 3);
    const std::vector<uint8_t> packed = pack::AbcCompress(text);
    data.insert(data.end(), packed.begin(), packed.end());
    data.resize(20 * kMiB);
    return data;
  }();
  return input;
}

const std::vector<uint8_t>& RandomInput() {
  static const std::vector<uint8_t> input = [] {
    std::mt19937 rng(4);
    std::vector<uint8_t> data(4 * kMiB);
    for (uint8_t& b : data) {
      b = static_cast<uint8_t>(rng());
    }
    return data;
  }();
  return input;
}

T_ABC_Path PathOf(pack::AbcChoice choice) {
  return choice == pack::AbcChoice::Sif    ? T_ABC_Path::Sif
         : choice == pack::AbcChoice::Awfc ? T_ABC_Path::Awfc
                                           : T_ABC_Path::Mtf;
}

// The stream of `input` on `path`. Blocks that cannot take it go on the MTF path; with
// `every_block`, such a stream is refused (empty) instead.
std::vector<uint8_t> Compressed(const std::vector<uint8_t>& input, pack::AbcChoice path,
                                bool every_block) {
  pack::AbcOptions options;
  options.Path = path;
  std::vector<T_ABC_Path> paths;
  std::vector<uint8_t> stream = pack::AbcCompress(input, options, &paths);
  for (const T_ABC_Path taken : paths) {
    if (every_block && taken != PathOf(path)) {
      return {};
    }
  }
  return stream;
}

const std::vector<uint8_t>& Stream(pack::AbcChoice path) {
  static std::vector<uint8_t> streams[3];
  std::vector<uint8_t>& stream = streams[static_cast<int>(path)];
  if (stream.empty()) {
    stream = Compressed(MixedInput(), path, false);
  }
  return stream;
}

const std::vector<uint8_t>& RandomStream(pack::AbcChoice path) {
  static std::vector<uint8_t> streams[3];
  std::vector<uint8_t>& stream = streams[static_cast<int>(path)];
  if (stream.empty()) {
    stream = Compressed(RandomInput(), path, true);
  }
  return stream;
}

size_t ResidentBytes() {
  std::ifstream in("/proc/self/statm");
  size_t size = 0;
  size_t resident = 0;
  in >> size >> resident;
  return resident * 4096;
}

size_t PeakResidentBytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stoull(line.substr(6)) * 1024;
    }
  }
  return 0;
}

void DecodeInput(benchmark::State& state, const std::vector<uint8_t>& stream,
                 const std::vector<uint8_t>& input) {
  if (stream.empty()) {
    state.SkipWithError("a block did not take the path");
    return;
  }
  // Written once, so that the output's own pages are resident before the measurement.
  std::vector<uint8_t> out(input.size(), 1);
  double resident = 0;
  {
    // A fresh instance, as each extraction makes one: what it adds to the process.
    const size_t before = ResidentBytes();
    T_ABC_MCP fresh;
    if (!fresh.Decode(stream, out) || out != input) {
      state.SkipWithError("the stream does not decode to its input");
      return;
    }
    resident = static_cast<double>(ResidentBytes() - before) / kMiB;
  }
  T_ABC_MCP decoder;
  for (auto _ : state) {
    decoder.Decode(stream, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(input.size()) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ratio"] = static_cast<double>(stream.size()) / input.size();
  state.counters["resident_MiB"] = resident;
  state.counters["work_MiB"] = static_cast<double>(T_ABC_MCP::WorkBytes()) / kMiB;
}

void BM_Decode(benchmark::State& state, pack::AbcChoice path) {
  DecodeInput(state, Stream(path), MixedInput());
}

void BM_DecodeRandom(benchmark::State& state, pack::AbcChoice path) {
  DecodeInput(state, RandomStream(path), RandomInput());
}

// 40 largest blocks of one byte value: each codes to a few dozen bytes.
constexpr size_t kLongRunBlocks = 40;

const std::vector<uint8_t>& LongRunsStream() {
  static const std::vector<uint8_t> stream = [] {
    pack::AbcOptions options;
    options.Path = pack::AbcChoice::Mtf;
    const std::vector<uint8_t> block =
        pack::AbcCompress(std::vector<uint8_t>(kAbcMaxBlock - 1, 'z'), options);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < kLongRunBlocks; ++i) {
      joined.insert(joined.end(), block.begin(), block.end());
    }
    return joined;
  }();
  return stream;
}

void BM_DecodeLongRuns(benchmark::State& state) {
  const std::vector<uint8_t>& stream = LongRunsStream();
  const size_t expected = kLongRunBlocks * (kAbcMaxBlock - 1);
  double peak = 0;
  {
    // The archive's way: a fresh decoder, a stream in and a stream out. The kernel's peak
    // counter is reset first, so that it shows this decode alone.
    std::ofstream("/proc/self/clear_refs") << "5";
    const size_t before = ResidentBytes();
    auto input = std::make_unique<TzoMemoryStream>();
    input->Buffer = stream;
    T_ABC_MCP fresh;
    const std::unique_ptr<TzoMemoryStream> output = fresh.DecodeStream(std::move(input));
    if (output == nullptr || output->Buffer.size() != expected) {
      state.SkipWithError("the stream does not decode to its runs");
      return;
    }
    peak = static_cast<double>(PeakResidentBytes() - before) / kMiB;
  }
  T_ABC_MCP decoder;
  std::vector<uint8_t> out;
  for (auto _ : state) {
    decoder.Decode(stream, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  state.counters["output_MiB"] = static_cast<double>(expected) / kMiB;
  state.counters["peak_MiB"] = peak;
  state.counters["work_MiB"] = static_cast<double>(T_ABC_MCP::WorkBytes()) / kMiB;
}

BENCHMARK_CAPTURE(BM_Decode, mtf, pack::AbcChoice::Mtf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, sif, pack::AbcChoice::Sif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, awfc, pack::AbcChoice::Awfc)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeRandom, mtf, pack::AbcChoice::Mtf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeRandom, sif, pack::AbcChoice::Sif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeRandom, awfc, pack::AbcChoice::Awfc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLongRuns)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace meridia
