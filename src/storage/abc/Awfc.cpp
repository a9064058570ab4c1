#include "storage/abc/Awfc.h"

namespace meridia {
namespace {

// The ranking with each symbol's place and score.
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
    const int32_t score = Score[symbol] += weight;
    int place = Place[symbol];
    while (place > 0 && Score[Symbol[place - 1]] < score) {
      Symbol[place] = Symbol[place - 1];
      Place[Symbol[place]] = static_cast<uint8_t>(place);
      --place;
    }
    Symbol[place] = symbol;
    Place[symbol] = static_cast<uint8_t>(place);
  }

  // Toward the end past every symbol that now scores strictly more.
  void Lose(uint8_t symbol, int32_t weight) {
    const int32_t score = Score[symbol] -= weight;
    int place = Place[symbol];
    while (place < 255 && Score[Symbol[place + 1]] > score) {
      Symbol[place] = Symbol[place + 1];
      Place[Symbol[place]] = static_cast<uint8_t>(place);
      ++place;
    }
    Symbol[place] = symbol;
    Place[symbol] = static_cast<uint8_t>(place);
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
