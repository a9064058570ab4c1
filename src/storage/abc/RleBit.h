// The two run stages of the AWFC path. Zero-run decoding splits the coded stream into ranks and
// their repeat counts: bytes 2..254 are rank + 1, byte 255 and the byte after it are rank 254
// + that byte, and a sequence of digits 0 and 1 after a rank is its repeat count in bijective
// base 2, least significant digit first (digit 0 is worth 1, digit 1 is worth 2). Run expansion
// writes each symbol once and then as many more times as its repeat count.
#pragma once

#include "storage/abc/Block.h"

namespace meridia {

class T_ABC_RLE_BIT {
public:
  // In (coded stream) to Out (ranks) and Repeats. Digits before any rank, a rank past 255 and a
  // repeat count that could not fit the block are refused.
  static bool DecodeZeroRuns(T_ABC_Block& block);
  // In (symbols) and Repeats to Out.
  static bool Run(T_ABC_Block& block);
};

} // namespace meridia
