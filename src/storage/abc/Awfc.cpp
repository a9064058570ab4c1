#include "storage/abc/Awfc.h"

#include <algorithm>
#include <cassert>

namespace meridia {
namespace {

// A symbol that gains moves in front of every symbol that now scores less and stays behind
// those that score the same; one that loses moves behind every symbol that now scores more and
// stays in front of those that score the same. So the ranking is always sorted by score, and
// among equal scores a symbol's place follows from its last move: the later it gained, the
// further back; the later it lost, the further forward. One 64-bit key per symbol says all of
// that, and the ranking is the order of the keys:
//   bits 42-63  the score, counted down from the top so that higher scores sort first
//   bits  8-41  the tie: kTieBase + time of the last gain, or kTieBase - time of the last loss
//               (the start order, symbol values 0-255, lies between the two)
//   bits  0-7   the symbol
// A step's moves then need not be made one by one: only each touched symbol's final key
// matters, and the symbol is taken out of the order and put back once.
constexpr int kScoreShift = 42;
// Scores stay below 2^20: every occurrence in the window counted at w(1) = 131072 and the
// flattest weights (p = 0) sum to 796,720.
constexpr uint64_t kScoreTop = (uint64_t{1} << 22) - 1;
constexpr uint64_t kTieBase = uint64_t{1} << 33;
// Every move of a step has its own time: 32 per step, after the 256 start places. A block's
// times stay far below kTieBase.
constexpr uint64_t kTimesPerStep = 32;

uint64_t Key(int32_t score, uint64_t tie, uint8_t symbol) {
  return (kScoreTop - static_cast<uint64_t>(score)) << kScoreShift | tie << 8 | symbol;
}

// The keys, cut into bins at fixed keys: bin b holds the keys in [Upper[b-1], Upper[b]) in no
// order, and its unused slots hold kEmpty. Moving a symbol is taking it out of one short array
// and appending it to another, wherever in the ranking the two lie, and nothing else moves; a
// lookup counts its way through the one bin that holds the place. The loops run the same
// number of times whatever the keys, so the processor need not guess where they end. When a
// bin grows past kMaxFill the bins are cut afresh, kCut keys each.
class Ranking {
public:
  Ranking() {
    uint64_t keys[256];
    for (int s = 0; s < 256; ++s) {
      Score_[s] = 0;
      Tie_[s] = kTieBase + static_cast<uint64_t>(s);
      keys[s] = Key(0, Tie_[s], static_cast<uint8_t>(s));
    }
    Cut(keys);
  }

  int32_t& Score(uint8_t symbol) { return Score_[symbol]; }
  uint64_t& Tie(uint8_t symbol) { return Tie_[symbol]; }

  // The symbol at `place`, 0 being the front.
  uint8_t At(uint32_t place) const {
    // The quarter that holds the place, then the bin, without a branch on the ones passed.
    uint32_t end = 0;
    uint32_t before = 0;
    int quarter = 0;
    for (int q = 0; q < 3; ++q) {
      end += Quarter_Size_[q];
      const bool past = end <= place;
      quarter += past ? 1 : 0;
      before = past ? end : before;
    }
    end = before;
    int b = quarter * kQuarter;
#pragma GCC unroll 8
    for (int k = 0; k < kQuarter - 1; ++k) {
      end += Size_[quarter * kQuarter + k];
      const bool past = end <= place;
      b += past ? 1 : 0;
      before = past ? end : before;
    }
    const uint64_t* keys = Bin_[b];
    const uint32_t size = Size_[b];
    // The key with exactly `want` keys of the bin below it.
    const uint32_t want = place - before;
    uint64_t found = 0;
    // kEmpty, in the slots past the size, is below no key: a row of 8 or 16 comparisons.
    if (size <= kNarrow / 2) {
      for (uint32_t i = 0; i < size; ++i) {
        uint32_t below = 0;
#pragma GCC unroll 8
        for (uint32_t j = 0; j < kNarrow / 2; ++j) {
          below += keys[j] < keys[i] ? 1 : 0;
        }
        found = below == want ? keys[i] : found;
      }
    } else if (size <= kNarrow) {
      for (uint32_t i = 0; i < size; ++i) {
        uint32_t below = 0;
#pragma GCC unroll 16
        for (uint32_t j = 0; j < kNarrow; ++j) {
          below += keys[j] < keys[i] ? 1 : 0;
        }
        found = below == want ? keys[i] : found;
      }
    } else {
      for (uint32_t i = 0; i < size; ++i) {
        uint32_t below = 0;
        for (uint32_t j = 0; j < size; ++j) {
          below += keys[j] < keys[i] ? 1 : 0;
        }
        found = below == want ? keys[i] : found;
      }
    }
    return static_cast<uint8_t>(found);
  }

  // Puts `symbol` where its score and tie now place it.
  void Place(uint8_t symbol) {
    const uint64_t key = Key(Score_[symbol], Tie_[symbol], symbol);
    // Which quarter, then which bin of it: two short rows of comparisons, not five in a chain.
    int quarter = 0;
    for (int q = 1; q < 4; ++q) {
      quarter += key >= Upper_[q * kQuarter - 1] ? 1 : 0;
    }
    int to = quarter * kQuarter;
#pragma GCC unroll 8
    for (int k = 0; k < kQuarter - 1; ++k) {
      to += key >= Upper_[quarter * kQuarter + k] ? 1 : 0;
    }
    // Out of its bin (the bin's last key takes its slot), then onto the end of the new one,
    // which may be the same.
    const int from = Bin_Of_[symbol];
    const uint8_t slot = Slot_[symbol];
    --Quarter_Size_[from / kQuarter];
    ++Quarter_Size_[to / kQuarter];
    const uint8_t last_slot = --Size_[from];
    const uint64_t last = Bin_[from][last_slot];
    Bin_[from][slot] = last;
    Slot_[last & 0xFF] = slot;
    Bin_[from][last_slot] = kEmpty;
    const uint8_t end = Size_[to]++;
    Bin_[to][end] = key;
    Slot_[symbol] = end;
    Bin_Of_[symbol] = static_cast<uint8_t>(to);
    Overfull_ |= end >= kMaxFill;
  }

  // Cuts the bins afresh when one has grown too long to search quickly.
  void Balance() {
    if (!Overfull_) {
      return;
    }
    uint64_t sorted[256];
    int n = 0;
    for (int b = 0; b < kBins; ++b) {
      std::sort(Bin_[b], Bin_[b] + Size_[b]);
      std::copy(Bin_[b], Bin_[b] + Size_[b], sorted + n);
      n += Size_[b];
    }
    assert(n == 256 && "the bins hold every symbol once");
    Cut(sorted);
  }

private:
  static constexpr int kBins = 32;
  static constexpr int kQuarter = kBins / 4;
  static constexpr int kCut = 256 / kBins;
  static constexpr uint8_t kMaxFill = 24;
  // A step touches at most 13 symbols, so a bin never passes this before it is cut again.
  static constexpr int kCapacity = kMaxFill + 16;
  // Bins up to this size are searched with a fixed row of comparisons.
  static constexpr uint32_t kNarrow = 16;
  static constexpr uint64_t kEmpty = ~uint64_t{0};

  // Bins of kCut keys each from the keys in ranking order.
  void Cut(const uint64_t* sorted) {
    std::fill(std::begin(Quarter_Size_), std::end(Quarter_Size_), kQuarter * kCut);
    for (int b = 0; b < kBins; ++b) {
      Size_[b] = kCut;
      std::fill(Bin_[b], Bin_[b] + kCapacity, kEmpty);
      for (int i = 0; i < kCut; ++i) {
        const uint64_t key = sorted[b * kCut + i];
        Bin_[b][i] = key;
        Bin_Of_[key & 0xFF] = static_cast<uint8_t>(b);
        Slot_[key & 0xFF] = static_cast<uint8_t>(i);
      }
      Upper_[b] = b + 1 < kBins ? sorted[(b + 1) * kCut] : kEmpty;
    }
    Overfull_ = false;
  }

  int32_t Score_[256];
  uint64_t Tie_[256];
  uint64_t Bin_[kBins][kCapacity];
  uint8_t Size_[kBins];
  uint32_t Quarter_Size_[4];
  uint64_t Upper_[kBins];
  uint8_t Bin_Of_[256];
  uint8_t Slot_[256];
  bool Overfull_ = false;
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
  // As x moves on, each earlier occurrence crosses into the next bucket: the one D(j) places
  // back loses w(j) as it leaves bucket j - 1 (move 2(j - 1) of the step) and gains w(j + 1) as
  // it enters bucket j (move 2j + 1); the one just emitted only gains, the one D(buckets) back
  // only loses. Taken in the order of their last moves, the last tie written for a symbol is
  // that of its last move: all but the oldest in distance order, then the oldest, then the one
  // before it.
  int32_t change[kBuckets + 1];
  change[0] = w[1];
  for (int j = 1; j <= buckets; ++j) {
    change[j] = (j < buckets ? w[j + 1] : 0) - w[j];
  }
  // Per place k in that order: the distance, the change of score and the tie (a gain's later
  // than the step's start by 2j + 1, the one loss's earlier by 2(j - 1)).
  uint32_t distance[kBuckets + 1];
  int32_t step_change[kBuckets + 1];
  uint64_t tie_offset[kBuckets + 1];
  bool gains[kBuckets + 1];
  for (int k = 0; k <= buckets; ++k) {
    const int j = k < buckets - 1 ? k : (k == buckets - 1 ? buckets : buckets - 1);
    distance[k] = kDistances[j];
    step_change[k] = change[j];
    gains[k] = j < buckets;
    tie_offset[k] = gains[k] ? uint64_t(2 * j + 1) : uint64_t(2 * j - 2);
  }

  Ranking ranking;
  for (uint32_t x = 0; x < n; ++x) {
    out[x] = ranking.At(in[x]);
    const uint64_t now = 256 + kTimesPerStep * uint64_t{x};
    uint8_t touched[kBuckets + 1];
    int count = 0;
    if (x >= kDistances[buckets]) {
      for (int k = 0; k <= buckets; ++k) {
        const uint8_t symbol = out[x - distance[k]];
        touched[k] = symbol;
        ranking.Score(symbol) += step_change[k];
        ranking.Tie(symbol) =
            gains[k] ? kTieBase + now + tie_offset[k] : kTieBase - now - tie_offset[k];
      }
      count = buckets + 1;
    } else {
      // Near the start of the block the older occurrences are not there yet, and all gain.
      for (int j = 0; j <= buckets && x >= kDistances[j]; ++j) {
        const uint8_t symbol = out[x - kDistances[j]];
        touched[count++] = symbol;
        ranking.Score(symbol) += change[j];
        ranking.Tie(symbol) = kTieBase + now + uint64_t(2 * j + 1);
      }
    }
    // A symbol touched twice is simply placed twice, with the same key.
    for (int k = 0; k < count; ++k) {
      ranking.Place(touched[k]);
    }
    ranking.Balance();
  }
  block.OutLength = n;
}

} // namespace meridia
