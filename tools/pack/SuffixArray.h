// Suffix sorting by induced sorting (G. Nong, S. Zhang and W. H. Chan, "Two Efficient Algorithms
// for Linear Time Suffix Array Construction", IEEE Transactions on Computers 60(10), 2011).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace meridia::pack {

// The start of every suffix of `text` in sorted order, a suffix that is a prefix of another
// first (as if the text ended with a symbol smaller than every byte).
std::vector<int32_t> SuffixArray(std::span<const uint8_t> text);

} // namespace meridia::pack
