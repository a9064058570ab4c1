#include "AbcEncoder.h"

#include "AbcEntropy.h"
#include "AbcForward.h"
#include "storage/abc/Crc32.h"

#include <algorithm>
#include <array>

namespace meridia::pack {
namespace {

struct Transformed {
  std::vector<uint8_t> Bwt;
  uint32_t Primary = 0;
  uint32_t Crc = 0;
};

Transformed Transform(std::span<const uint8_t> data) {
  Transformed t;
  t.Bwt = ForwardBwt(data, t.Primary);
  t.Crc = T_ABC_CRC32::Compute(data.data(), data.size());
  return t;
}

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
}

bool AwfcStream(const std::vector<uint8_t>& bwt, const AbcOptions& options, uint8_t& weight,
                std::vector<uint8_t>& stream) {
  const Collapsed collapsed = CollapseRuns(bwt);
  static constexpr std::array<int, 11> kWeights = {4, 8, 12, 16, 24, 32, 48, 64, 96, 160, 255};
  std::vector<uint8_t> ranks;
  for (const int candidate : kWeights) {
    const int p = options.Weight >= 0 ? options.Weight : candidate;
    if (ForwardAwfc(collapsed.Symbols, static_cast<uint8_t>(p), ranks)) {
      weight = static_cast<uint8_t>(p);
      return EncodeZeroRuns(ranks, collapsed.Repeats, stream) && stream.size() <= kAbcMaxBlock;
    }
    if (options.Weight >= 0) {
      break;
    }
  }
  return false;
}

std::vector<uint8_t> EncodeOnPath(const Transformed& t, T_ABC_Path path, const AbcOptions& options,
                                  PayloadEnd end) {
  std::vector<uint8_t> payload;
  uint8_t flags = 0;
  uint8_t weight = 0;
  switch (path) {
  case T_ABC_Path::Mtf: {
    const RunCoded runs = ForwardRleExp(t.Bwt);
    payload = MtfPayload(runs, ForwardMtf(runs.Bytes), options.HalveShort, end);
    flags = kAbcFlagMtf | (options.HalveShort ? kAbcFlagSif : 0);
    break;
  }
  case T_ABC_Path::Sif: {
    const RunCoded runs = ForwardRleExp(t.Bwt);
    const std::vector<uint32_t> numbers = ForwardSif(runs.Bytes);
    if (numbers.size() > kAbcMaxBlock) {
      return {};
    }
    payload = SifPayload(runs, numbers, static_cast<uint32_t>(runs.Bytes.size()), end);
    flags = kAbcFlagSif;
    break;
  }
  case T_ABC_Path::Awfc: {
    std::vector<uint8_t> stream;
    if (!AwfcStream(t.Bwt, options, weight, stream)) {
      return {};
    }
    payload = AwfcPayload(stream, end);
    break;
  }
  }
  if (payload.size() > kAbcMaxBlock) {
    return {};
  }
  const bool awfc = path == T_ABC_Path::Awfc;
  std::vector<uint8_t> block;
  block.reserve(13 + payload.size());
  block.push_back(static_cast<uint8_t>(awfc ? 13 : 12));
  block.push_back(flags);
  AppendLittleEndian(block, t.Crc, 4);
  AppendLittleEndian(block, t.Primary, 3);
  if (awfc) {
    block.push_back(weight);
  }
  AppendLittleEndian(block, static_cast<uint32_t>(payload.size()), 3);
  block.insert(block.end(), payload.begin(), payload.end());
  return block;
}

// What the decoder reads past a block's payload when `next` follows it: the guard, then the
// next block's second and third bytes.
PayloadEnd EndBefore(const std::vector<uint8_t>& next) {
  return {0, next[1], next[2]};
}

// Compresses `data` into blocks, pushed onto `reversed` last block first: a block's payload is
// only finished once the bytes after it are known, and `end` is what the decoder reads there.
void CompressChunk(std::span<const uint8_t> data, const AbcOptions& options,
                   std::vector<std::vector<uint8_t>>& reversed,
                   std::vector<T_ABC_Path>& reversed_paths, PayloadEnd end) {
  const Transformed t = Transform(data);
  std::vector<T_ABC_Path> tries;
  switch (options.Path) {
  case AbcChoice::Mtf:
    tries = {T_ABC_Path::Mtf};
    break;
  case AbcChoice::Sif:
    tries = {T_ABC_Path::Sif, T_ABC_Path::Mtf};
    break;
  case AbcChoice::Awfc:
    tries = {T_ABC_Path::Awfc, T_ABC_Path::Mtf};
    break;
  case AbcChoice::Smallest:
    tries = {T_ABC_Path::Mtf, T_ABC_Path::Sif, T_ABC_Path::Awfc};
    break;
  }
  std::vector<uint8_t> best;
  T_ABC_Path best_path = T_ABC_Path::Mtf;
  for (const T_ABC_Path path : tries) {
    std::vector<uint8_t> block = EncodeOnPath(t, path, options, end);
    if (!block.empty() && (best.empty() || block.size() < best.size())) {
      best = std::move(block);
      best_path = path;
    }
    if (!best.empty() && options.Path != AbcChoice::Smallest) {
      break;
    }
  }
  if (best.empty()) {
    // Too big coded, even on the MTF path (incompressible data near the largest block).
    const size_t half = data.size() / 2;
    CompressChunk(data.subspan(half), options, reversed, reversed_paths, end);
    CompressChunk(data.first(half), options, reversed, reversed_paths, EndBefore(reversed.back()));
    return;
  }
  reversed.push_back(std::move(best));
  reversed_paths.push_back(best_path);
}

} // namespace

std::vector<uint8_t> AbcCompress(std::span<const uint8_t> data, const AbcOptions& options,
                                 std::vector<T_ABC_Path>* paths) {
  const size_t block_size = std::clamp<size_t>(options.BlockSize, 1, kAbcMaxBlock - 1);
  std::vector<std::vector<uint8_t>> reversed;
  std::vector<T_ABC_Path> reversed_paths;
  const size_t chunks = (data.size() + block_size - 1) / block_size;
  for (size_t chunk = chunks; chunk-- > 0;) {
    const size_t offset = chunk * block_size;
    CompressChunk(data.subspan(offset, std::min(block_size, data.size() - offset)), options,
                  reversed, reversed_paths,
                  reversed.empty() ? PayloadEnd{} : EndBefore(reversed.back()));
  }
  std::vector<uint8_t> out;
  for (size_t i = reversed.size(); i-- > 0;) {
    out.insert(out.end(), reversed[i].begin(), reversed[i].end());
  }
  if (paths != nullptr) {
    paths->assign(reversed_paths.rbegin(), reversed_paths.rend());
  }
  return out;
}

std::vector<uint8_t> AbcBlock(std::span<const uint8_t> data, T_ABC_Path path,
                              const AbcOptions& options) {
  return EncodeOnPath(Transform(data), path, options, {});
}

} // namespace meridia::pack
