// Block-sorting decoder throughput on 20 MB of mixed data (text, binary records, already
// compressed bytes), one benchmark per path, and the memory one decoder instance takes.
// Counters: MB/s is decoded bytes per second; resident_MiB is what a fresh decoder added to the
// process's resident memory while decoding, its output excluded; work_MiB is its allocation.
#include "AbcEncoder.h"
#include "storage/abc/Mcp.h"

#include <benchmark/benchmark.h>

#include <fstream>
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

const std::vector<uint8_t>& Stream(pack::AbcChoice path) {
  static std::vector<uint8_t> streams[3];
  std::vector<uint8_t>& stream = streams[static_cast<int>(path)];
  if (stream.empty()) {
    pack::AbcOptions options;
    options.Path = path;
    stream = pack::AbcCompress(MixedInput(), options);
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

void BM_Decode(benchmark::State& state, pack::AbcChoice path) {
  const std::vector<uint8_t>& stream = Stream(path);
  // Written once, so that the output's own pages are resident before the measurement.
  std::vector<uint8_t> out(MixedInput().size(), 1);
  double resident = 0;
  {
    // A fresh instance, as each extraction makes one: what it adds to the process.
    const size_t before = ResidentBytes();
    T_ABC_MCP fresh;
    if (!fresh.Decode(stream, out) || out != MixedInput()) {
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
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * MixedInput().size()));
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(MixedInput().size()) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ratio"] = static_cast<double>(stream.size()) / MixedInput().size();
  state.counters["resident_MiB"] = resident;
  state.counters["work_MiB"] = static_cast<double>(T_ABC_MCP::WorkBytes()) / kMiB;
}

BENCHMARK_CAPTURE(BM_Decode, mtf, pack::AbcChoice::Mtf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, sif, pack::AbcChoice::Sif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, awfc, pack::AbcChoice::Awfc)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
