#include "AbcForward.h"

#include "SuffixArray.h"
#include "storage/abc/Awfc.h"

#include <algorithm>
#include <bit>

namespace meridia::pack {

std::vector<uint8_t> ForwardBwt(std::span<const uint8_t> data, uint32_t& primary) {
  primary = 0;
  if (data.empty()) {
    return {0};
  }
  const std::vector<int32_t> sa = SuffixArray(data);
  std::vector<uint8_t> out(data.size() + 1);
  // Row 0 is the end symbol's suffix; what precedes it is the last byte.
  out[0] = data.back();
  for (size_t row = 1; row <= data.size(); ++row) {
    const int32_t start = sa[row - 1];
    if (start == 0) {
      primary = static_cast<uint32_t>(row);
      out[row] = out[row - 1];
    } else {
      out[row] = data[static_cast<size_t>(start) - 1];
    }
  }
  return out;
}

std::vector<uint8_t> ForwardMtf(std::span<const uint8_t> data) {
  std::vector<uint8_t> list(256);
  for (int i = 0; i < 256; ++i) {
    list[i] = static_cast<uint8_t>(i);
  }
  std::vector<uint8_t> ranks;
  ranks.reserve(data.size());
  for (const uint8_t value : data) {
    const auto place = std::find(list.begin(), list.end(), value);
    ranks.push_back(static_cast<uint8_t>(place - list.begin()));
    std::rotate(list.begin(), place, place + 1);
  }
  return ranks;
}

RunCoded ForwardRleExp(std::span<const uint8_t> data) {
  RunCoded coded;
  coded.Bytes.reserve(data.size());
  for (size_t i = 0; i < data.size();) {
    size_t j = i + 1;
    while (j < data.size() && data[j] == data[i]) {
      ++j;
    }
    const auto length = static_cast<uint32_t>(j - i);
    uint32_t copies = length;
    if (length >= 2) {
      // length = 2 + 2^e - 1 + m with m < 2^e, so 2^e <= length - 1 < 2^(e+1).
      const int exponent = length == 2 ? 0 : std::bit_width(length - 1) - 1;
      if (exponent > 0) {
        coded.Mantissas[exponent].push_back(length - 1 - (1u << exponent));
      }
      ++coded.Count[exponent];
      coded.MaxExponent = std::max(coded.MaxExponent, exponent);
      copies = 2 + static_cast<uint32_t>(exponent);
    }
    coded.Bytes.insert(coded.Bytes.end(), copies, data[i]);
    i = j;
  }
  return coded;
}

std::vector<uint32_t> ForwardSif(std::span<const uint8_t> data) {
  uint32_t counts[256] = {};
  uint32_t value_count = 0;
  for (const uint8_t value : data) {
    ++counts[value];
    value_count = std::max<uint32_t>(value_count, value + 1u);
  }
  std::vector<uint32_t> numbers = {value_count};
  numbers.insert(numbers.end(), counts, counts + value_count);
  if (data.empty()) {
    return numbers;
  }
  std::vector<int> order;
  for (uint32_t v = 0; v < value_count; ++v) {
    if (counts[v] > 0) {
      order.push_back(static_cast<int>(v));
    }
  }
  const auto present = static_cast<uint32_t>(order.size());
  const uint64_t mean = data.size() / present;
  const auto above = static_cast<uint32_t>(
      std::count_if(order.begin(), order.end(), [&](int v) { return counts[v] > 2 * mean; }));
  const bool descending = above * 100 / present < 10;
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    if (counts[a] != counts[b]) {
      return descending ? counts[a] > counts[b] : counts[a] < counts[b];
    }
    return a > b;
  });
  int place[256] = {};
  for (size_t k = 0; k < order.size(); ++k) {
    place[order[k]] = static_cast<int>(k);
  }
  const int last = static_cast<int>(order.size()) - 1;

  // seen[k]: values of order k met so far; a Fenwick tree gives the sums over k.
  std::vector<uint32_t> tree(order.size() + 1, 0);
  const auto add = [&](int k) {
    for (int i = k + 1; i < static_cast<int>(tree.size()); i += i & -i) {
      ++tree[i];
    }
  };
  const auto up_to = [&](int k) {
    uint32_t sum = 0;
    for (int i = k + 1; i > 0; i -= i & -i) {
      sum += tree[i];
    }
    return sum;
  };
  std::vector<std::vector<uint32_t>> distances(order.size());
  std::vector<uint32_t> later_at_last(order.size(), 0);
  for (size_t e = 0; e < data.size(); ++e) {
    const int k = place[data[e]];
    if (k < last) {
      const uint32_t later = static_cast<uint32_t>(e) - up_to(k);
      distances[k].push_back(later - later_at_last[k]);
      later_at_last[k] = later;
    }
    add(k);
  }
  for (int k = 0; k < last; ++k) {
    numbers.insert(numbers.end(), distances[k].begin(), distances[k].end());
  }
  return numbers;
}

Collapsed CollapseRuns(std::span<const uint8_t> data) {
  Collapsed collapsed;
  for (size_t i = 0; i < data.size();) {
    size_t j = i + 1;
    while (j < data.size() && data[j] == data[i]) {
      ++j;
    }
    collapsed.Symbols.push_back(data[i]);
    collapsed.Repeats.push_back(static_cast<uint32_t>(j - i - 1));
    i = j;
  }
  return collapsed;
}

bool ForwardAwfc(std::span<const uint8_t> symbols, uint8_t weight, std::vector<uint8_t>& ranks) {
  const auto w = T_ABC_AWFC::Weights(weight);
  const auto& distance = T_ABC_AWFC::kDistances;
  // ranking[place] is a symbol, place_of[symbol] its place.
  uint8_t ranking[256];
  int place_of[256];
  int64_t score[256] = {};
  for (int i = 0; i < 256; ++i) {
    ranking[i] = static_cast<uint8_t>(i);
    place_of[i] = i;
  }
  const auto move_to = [&](uint8_t symbol, int to) {
    const int from = place_of[symbol];
    const int step = to < from ? -1 : 1;
    for (int p = from; p != to; p += step) {
      ranking[p] = ranking[p + step];
      place_of[ranking[p]] = p;
    }
    ranking[to] = symbol;
    place_of[symbol] = to;
  };
  const auto gain = [&](uint8_t symbol, int64_t amount) {
    score[symbol] += amount;
    int to = place_of[symbol];
    while (to > 0 && score[ranking[to - 1]] < score[symbol]) {
      --to;
    }
    move_to(symbol, to);
  };
  const auto lose = [&](uint8_t symbol, int64_t amount) {
    score[symbol] -= amount;
    int to = place_of[symbol];
    while (to < 255 && score[ranking[to + 1]] > score[symbol]) {
      ++to;
    }
    move_to(symbol, to);
  };
  ranks.clear();
  ranks.reserve(symbols.size());
  for (size_t x = 0; x < symbols.size(); ++x) {
    const int rank = place_of[symbols[x]];
    if (rank == 0) {
      return false;
    }
    ranks.push_back(static_cast<uint8_t>(rank));
    for (int i = 0; i < T_ABC_AWFC::kBuckets; ++i) {
      if (x >= distance[i + 1]) {
        lose(symbols[x - distance[i + 1]], w[i + 1]);
      }
      if (x >= distance[i]) {
        gain(symbols[x - distance[i]], w[i + 1]);
      }
    }
  }
  return true;
}

bool EncodeZeroRuns(std::span<const uint8_t> ranks, std::span<const uint32_t> repeats,
                    std::vector<uint8_t>& out) {
  out.clear();
  for (size_t i = 0; i < ranks.size(); ++i) {
    const uint8_t rank = ranks[i];
    if (rank == 0) {
      return false;
    }
    if (rank <= 253) {
      out.push_back(static_cast<uint8_t>(rank + 1));
    } else {
      out.push_back(255);
      out.push_back(static_cast<uint8_t>(rank - 254));
    }
    // Bijective base 2, least significant digit first: digit 0 is worth 1, digit 1 is worth 2.
    for (uint32_t count = repeats[i]; count > 0;) {
      if ((count & 1) != 0) {
        out.push_back(0);
        count = (count - 1) / 2;
      } else {
        out.push_back(1);
        count = (count - 2) / 2;
      }
    }
  }
  return true;
}

int NumberClass(uint32_t value) {
  return value == 0 ? 0 : std::bit_width(value + 1) - 1;
}

uint32_t NumberMantissa(uint32_t value) {
  return value == 0 ? 0 : value + 1 - (1u << NumberClass(value));
}

} // namespace meridia::pack
