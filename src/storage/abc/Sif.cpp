#include "storage/abc/Sif.h"

#include <algorithm>
#include <climits>

namespace meridia {
namespace {

// The gap of each value before the last: how many more values later in the order must pass
// before it is due. A value is due when its gap is 0; every value before the one emitted loses
// one. Sixteen groups of sixteen with a shared offset each keep both steps short.
class Gaps {
public:
  // Larger than any gap plus every decrement a block can bring.
  static constexpr int32_t kIdle = INT32_MAX / 2;

  explicit Gaps(int size) : groups_((size + 15) / 16) {
    std::fill(std::begin(value_), std::end(value_), kIdle);
    std::fill(std::begin(offset_), std::end(offset_), 0);
    std::fill(std::begin(min_), std::end(min_), kIdle);
  }

  void Set(int k, int32_t gap) {
    value_[k] = gap - offset_[k >> 4];
    Refresh(k >> 4);
  }

  // The first value that is due, or -1.
  int FirstDue() const {
    for (int g = 0; g < groups_; ++g) {
      if (min_[g] + offset_[g] == 0) {
        for (int k = g * 16;; ++k) {
          if (value_[k] + offset_[g] == 0) {
            return k;
          }
        }
      }
    }
    return -1;
  }

  void DecrementBefore(int end) {
    const int whole = end >> 4;
    for (int g = 0; g < whole; ++g) {
      --offset_[g];
    }
    if ((end & 15) != 0) {
      for (int k = whole * 16; k < end; ++k) {
        --value_[k];
      }
      Refresh(whole);
    }
  }

private:
  void Refresh(int g) { min_[g] = *std::min_element(value_ + g * 16, value_ + g * 16 + 16); }

  int groups_;
  int32_t value_[256];
  int32_t offset_[16];
  int32_t min_[16];
};

} // namespace

bool T_ABC_SIF::Run(T_ABC_Block& block) {
  T_ABC_ClassNumbers& numbers = block.Numbers;
  block.OutLength = 0;
  // The top of the group list is the 0 put there after decoding; below it, the last group.
  if (!numbers.WindBack(0) || !numbers.WindBack(numbers.LastGroup)) {
    return block.Fail("SIF group longer than its numbers");
  }
  uint32_t value_count = 0;
  if (!numbers.Read(value_count) || value_count > 256) {
    return block.Fail("SIF value count past 256");
  }
  uint32_t counts[256] = {};
  uint64_t total = 0;
  for (uint32_t v = 0; v < value_count; ++v) {
    if (!numbers.Read(counts[v])) {
      return block.Fail("SIF counts cut short");
    }
    total += counts[v];
  }
  if (total > block.Capacity) {
    return block.Fail("SIF counts past the block");
  }
  if (total == 0) {
    return true;
  }

  int order[256];
  int present = 0;
  for (uint32_t v = 0; v < value_count; ++v) {
    if (counts[v] > 0) {
      order[present++] = static_cast<int>(v);
    }
  }
  const uint64_t mean = total / static_cast<uint64_t>(present);
  int above = 0;
  for (int k = 0; k < present; ++k) {
    above += counts[order[k]] > 2 * mean ? 1 : 0;
  }
  // Mostly even counts: the most frequent first; a few dominant values: the rarest first.
  const bool descending = above * 100 / present < 10;
  std::sort(order, order + present, [&](int a, int b) {
    if (counts[a] != counts[b]) {
      return descending ? counts[a] > counts[b] : counts[a] < counts[b];
    }
    return a > b;
  });
  const int last = present - 1;

  const uint32_t distance_count = static_cast<uint32_t>(total) - counts[order[last]];
  uint32_t* distances = block.Links;
  for (uint32_t i = 0; i < distance_count; ++i) {
    if (!numbers.Read(distances[i])) {
      return block.Fail("SIF distances cut short");
    }
  }

  Gaps gaps(last);
  uint32_t remaining[256];
  uint32_t next[256];
  uint32_t start = 0;
  for (int k = 0; k < last; ++k) {
    remaining[k] = counts[order[k]];
    gaps.Set(k, static_cast<int32_t>(std::min<uint32_t>(distances[start], Gaps::kIdle)));
    next[k] = start + 1;
    start += counts[order[k]];
  }
  uint8_t* out = block.Out;
  const auto last_value = static_cast<uint8_t>(order[last]);
  for (uint32_t e = 0; e < total; ++e) {
    const int k = gaps.FirstDue();
    if (k < 0) {
      out[e] = last_value;
      gaps.DecrementBefore(last);
      continue;
    }
    out[e] = static_cast<uint8_t>(order[k]);
    gaps.DecrementBefore(k);
    if (--remaining[k] > 0) {
      gaps.Set(k, static_cast<int32_t>(std::min<uint32_t>(distances[next[k]++], Gaps::kIdle)));
    } else {
      gaps.Set(k, Gaps::kIdle);
    }
  }
  block.OutLength = static_cast<uint32_t>(total);
  return true;
}

} // namespace meridia
