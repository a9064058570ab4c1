// Run-length decoding with exponent and mantissa run lengths (J. Abel, "A fast and efficient
// post BWT-stage for the Burrows-Wheeler Compression Algorithm", DCC 2005). A run longer than
// the threshold T was cut to T + e copies; its length T + 2^e - 1 + m is completed by the next
// e-bit mantissa m of exponent e. A run of exactly T copies has exponent 0 and no mantissa.
#pragma once

#include "storage/abc/Block.h"

namespace meridia {

class T_ABC_RLE_EXP {
public:
  static constexpr uint32_t kThreshold = 2;

  // In to Out. Each exponent's mantissas are read from its cursor, which the entropy stage left
  // at the end of its list, moved back by the number of runs of that exponent in the input: a
  // stored count that differs only shifts where they start. The output must fit the span.
  static bool Run(T_ABC_Block& block);
};

} // namespace meridia
