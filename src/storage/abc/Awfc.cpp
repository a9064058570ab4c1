#include "storage/abc/Awfc.h"

#include <cstring>

namespace meridia {
namespace {

// The ranking with each symbol's place, and the score of the symbol at each place. Scores in
// ranking order make finding where a symbol stops a scan over one array, and moving it two
// block moves; on data whose symbols score alike (already compressed data) moves are long, and
// that is where this stage spends its time.
struct Ranking {
  uint8_t Symbol[256];
  uint8_t Place[256];
  int32_t Score[256];

  Ranking() {
    for (int i = 0; i < 256; ++i) {
      Symbol[i] = static_cast<uint8_t>(i);
      Place[i] = static_cast<uint8_t>(i);
      Score[i] = 0;
    }
  }

  // Toward the front past every symbol that now scores strictly less.
  void Gain(uint8_t symbol, int32_t weight) {
    const int from = Place[symbol];
    const int32_t score = Score[from] + weight;
    int to = from;
    while (to > 0 && Score[to - 1] < score) {
      --to;
    }
    if (to != from) {
      std::memmove(Symbol + to + 1, Symbol + to, static_cast<size_t>(from - to));
      std::memmove(Score + to + 1, Score + to, sizeof(int32_t) * static_cast<size_t>(from - to));
      Symbol[to] = symbol;
      for (int k = to; k <= from; ++k) {
        Place[Symbol[k]] = static_cast<uint8_t>(k);
      }
    }
    Score[to] = score;
  }

  // Toward the end past every symbol that now scores strictly more.
  void Lose(uint8_t symbol, int32_t weight) {
    const int from = Place[symbol];
    const int32_t score = Score[from] - weight;
    int to = from;
    while (to < 255 && Score[to + 1] > score) {
      ++to;
    }
    if (to != from) {
      std::memmove(Symbol + from, Symbol + from + 1, static_cast<size_t>(to - from));
      std::memmove(Score + from, Score + from + 1,
                   sizeof(int32_t) * static_cast<size_t>(to - from));
      Symbol[to] = symbol;
      for (int k = from; k <= to; ++k) {
        Place[Symbol[k]] = static_cast<uint8_t>(k);
      }
    }
    Score[to] = score;
  }
};

} // namespace

std::array<int32_t, T_ABC_AWFC::kBuckets + 2> T_ABC_AWFC::Weights(uint8_t p) {
  std::array<int32_t, kBuckets + 2> w{};
  w[1] = 131072;
  w[2] = 16384;
  const int32_t p2 = int32_t{p} * p;
  for (int i = 2; i <= kBuckets; ++i) {
    w[i + 1] = static_cast<int32_t>(int64_t{w[i]} * 2600 / (i * p2 + 4185));
  }
  return w;
}

void T_ABC_AWFC::Run(T_ABC_Block& block) {
  const std::array<int32_t, kBuckets + 2> w = Weights(block.Weight);
  const uint8_t* in = block.In;
  uint8_t* out = block.Out;
  const uint32_t n = block.InLength;
  // Steep weights reach 0 before the last bucket; a change of 0 moves nothing.
  int buckets = 0;
  while (buckets < kBuckets && w[buckets + 1] > 0) {
    ++buckets;
  }
  Ranking ranking;
  for (uint32_t x = 0; x < n; ++x) {
    out[x] = ranking.Symbol[in[x]];
    // Each occurrence crosses into the next bucket as x moves on: the symbol D(i+1) places back
    // leaves bucket i and the one D(i) places back enters it.
    for (int i = 0; i < buckets && x >= kDistances[i]; ++i) {
      if (x >= kDistances[i + 1]) {
        ranking.Lose(out[x - kDistances[i + 1]], w[i + 1]);
      }
      ranking.Gain(out[x - kDistances[i]], w[i + 1]);
    }
  }
  block.OutLength = n;
}

} // namespace meridia
