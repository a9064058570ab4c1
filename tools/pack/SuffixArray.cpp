#include "SuffixArray.h"

#include <algorithm>

namespace meridia::pack {
namespace {

// `s` has n symbols below `alphabet`; its last symbol is 0 and occurs nowhere else.
template <typename Symbol>
void InducedSort(const Symbol* s, int32_t* sa, int32_t n, int32_t alphabet) {
  if (n == 1) {
    sa[0] = 0;
    return;
  }
  std::vector<uint8_t> small(static_cast<size_t>(n)); // S-type suffixes
  small[n - 1] = 1;
  for (int32_t i = n - 2; i >= 0; --i) {
    small[i] = s[i] < s[i + 1] || (s[i] == s[i + 1] && small[i + 1]) ? 1 : 0;
  }
  const auto leftmost = [&](int32_t i) { return i > 0 && small[i] && !small[i - 1]; };

  std::vector<int32_t> bucket(static_cast<size_t>(alphabet));
  std::vector<int32_t> sizes(static_cast<size_t>(alphabet), 0);
  for (int32_t i = 0; i < n; ++i) {
    ++sizes[s[i]];
  }
  const auto heads = [&] {
    int32_t sum = 0;
    for (int32_t c = 0; c < alphabet; ++c) {
      bucket[c] = sum;
      sum += sizes[c];
    }
  };
  const auto tails = [&] {
    int32_t sum = 0;
    for (int32_t c = 0; c < alphabet; ++c) {
      sum += sizes[c];
      bucket[c] = sum;
    }
  };
  const auto induce = [&] {
    heads();
    for (int32_t i = 0; i < n; ++i) {
      const int32_t j = sa[i] - 1;
      if (sa[i] > 0 && !small[j]) {
        sa[bucket[s[j]]++] = j;
      }
    }
    tails();
    for (int32_t i = n - 1; i >= 0; --i) {
      const int32_t j = sa[i] - 1;
      if (sa[i] > 0 && small[j]) {
        sa[--bucket[s[j]]] = j;
      }
    }
  };

  // Sort the leftmost-S substrings by inducing from their unsorted starts.
  std::fill(sa, sa + n, -1);
  tails();
  for (int32_t i = 1; i < n; ++i) {
    if (leftmost(i)) {
      sa[--bucket[s[i]]] = i;
    }
  }
  induce();

  int32_t m = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (leftmost(sa[i])) {
      sa[m++] = sa[i];
    }
  }
  std::fill(sa + m, sa + n, -1);
  // Name them; equal substrings share a name.
  int32_t names = 0;
  int32_t previous = -1;
  for (int32_t i = 0; i < m; ++i) {
    const int32_t position = sa[i];
    bool differs = previous < 0;
    for (int32_t d = 0; !differs; ++d) {
      if (s[position + d] != s[previous + d] || small[position + d] != small[previous + d]) {
        differs = true;
      } else if (d > 0 && (leftmost(position + d) || leftmost(previous + d))) {
        break;
      }
    }
    if (differs) {
      ++names;
      previous = position;
    }
    sa[m + position / 2] = names - 1;
  }
  for (int32_t i = n - 1, j = n - 1; i >= m; --i) {
    if (sa[i] >= 0) {
      sa[j--] = sa[i];
    }
  }

  // Sort the reduced string, recursively while names repeat.
  int32_t* reduced = sa + n - m;
  if (names < m) {
    InducedSort(reduced, sa, m, names);
  } else {
    for (int32_t i = 0; i < m; ++i) {
      sa[reduced[i]] = i;
    }
  }
  for (int32_t i = 1, j = 0; i < n; ++i) {
    if (leftmost(i)) {
      reduced[j++] = i;
    }
  }
  for (int32_t i = 0; i < m; ++i) {
    sa[i] = reduced[sa[i]];
  }
  std::fill(sa + m, sa + n, -1);
  tails();
  for (int32_t i = m - 1; i >= 0; --i) {
    const int32_t j = sa[i];
    sa[i] = -1;
    sa[--bucket[s[j]]] = j;
  }
  induce();
}

} // namespace

std::vector<int32_t> SuffixArray(std::span<const uint8_t> text) {
  const auto n = static_cast<int32_t>(text.size());
  // Bytes shifted up by one, and the end symbol 0 appended.
  std::vector<uint16_t> s(static_cast<size_t>(n) + 1);
  for (int32_t i = 0; i < n; ++i) {
    s[i] = static_cast<uint16_t>(text[i] + 1);
  }
  s[n] = 0;
  std::vector<int32_t> sa(static_cast<size_t>(n) + 1);
  InducedSort(s.data(), sa.data(), n + 1, 257);
  // The end symbol's own suffix sorts first.
  sa.erase(sa.begin());
  return sa;
}

} // namespace meridia::pack
