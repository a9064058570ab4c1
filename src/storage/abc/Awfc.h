// Inverse advanced weighted frequency count (J. Abel, "Post BWT stages of the Burrows-Wheeler
// compression algorithm", Software: Practice and Experience 40(9), 2010): the byte values are
// ranked by a score that sums a weight for each recent occurrence, the weight falling with
// distance in twelve buckets (distance 0, 1, 2-3, 4-7, ..., 1024-2047). The ranking stays
// sorted by score; a symbol moving past others stops at the first that scores the same, so
// equal scores stand in the order of their last moves.
#pragma once

#include "storage/abc/Block.h"

#include <array>

namespace meridia {

class T_ABC_AWFC {
public:
  static constexpr int kBuckets = 12;

  // w(1) .. w(13) for the block's weight parameter p (element 0 unused).
  static std::array<int32_t, kBuckets + 2> Weights(uint8_t p);
  // D(0) .. D(12): 0, 1, 2, 4, ..., 2048.
  static constexpr std::array<uint32_t, kBuckets + 1> kDistances = {
      0, 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048};

  // In (ranks) to Out (symbols), weights from Block.Weight.
  static void Run(T_ABC_Block& block);
};

} // namespace meridia
