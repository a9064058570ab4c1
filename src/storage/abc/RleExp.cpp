#include "storage/abc/RleExp.h"

#include <algorithm>
#include <cstring>

namespace meridia {

bool T_ABC_RLE_EXP::Run(T_ABC_Block& block) {
  const uint8_t* in = block.In;
  const uint32_t n = block.InLength;
  T_ABC_RunMantissas& runs = block.Runs;
  block.OutLength = 0;

  // First pass: each exponent's cursor, left at the end of its list, moves back over one
  // mantissa per run of that exponent, to the start of the list when the stored count matches
  // (the runs of exponent 0, which take no mantissa, are never counted). The lists lie one after
  // the other, so a cursor may only leave the table, not its list.
  uint32_t found[kAbcMaxBits + 1] = {};
  for (uint32_t i = 0; i < n;) {
    uint32_t j = i + 1;
    while (j < n && in[j] == in[i]) {
      ++j;
    }
    const uint32_t length = j - i;
    if (length > kThreshold) {
      const uint32_t exponent = length - kThreshold;
      if (exponent > static_cast<uint32_t>(runs.MaxExponent)) {
        return block.Fail("run longer than its exponents allow");
      }
      ++found[exponent];
    }
    i = j;
  }
  for (int e = 1; e <= runs.MaxExponent; ++e) {
    const uint32_t end = runs.ListStart[e] + runs.Count[e];
    if (found[e] > end) {
      return block.Fail("more runs than run mantissas");
    }
    runs.Cursor[e] = end - found[e];
  }
  uint32_t start[kAbcMaxBits + 1];
  std::copy(std::begin(runs.Cursor), std::end(runs.Cursor), start);

  uint8_t* out = block.Out;
  uint32_t written = 0;
  for (uint32_t i = 0; i < n;) {
    uint32_t j = i + 1;
    while (j < n && in[j] == in[i]) {
      ++j;
    }
    uint32_t length = j - i;
    if (length > kThreshold) {
      const uint32_t exponent = length - kThreshold;
      const uint32_t mantissa = runs.Values[runs.Cursor[exponent]++];
      length = kThreshold + (1u << exponent) - 1 + mantissa;
    }
    if (length > block.Capacity - written) {
      return block.Fail("runs overflow the block");
    }
    std::memset(out + written, in[i], length);
    written += length;
    i = j;
  }
  std::copy(std::begin(start), std::end(start), runs.Cursor);
  block.OutLength = written;
  return true;
}

} // namespace meridia
