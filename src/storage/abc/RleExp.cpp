#include "storage/abc/RleExp.h"

#include <cstring>

namespace meridia {

bool T_ABC_RLE_EXP::Run(T_ABC_Block& block) {
  const uint8_t* in = block.In;
  const uint32_t n = block.InLength;
  T_ABC_RunMantissas& runs = block.Runs;
  block.OutLength = 0;

  // First pass: the runs of each exponent, which must match the stored counts; the cursors go
  // back to the starts of their lists.
  uint32_t found[kAbcMaxBits + 1] = {};
  for (uint32_t i = 0; i < n;) {
    uint32_t j = i + 1;
    while (j < n && in[j] == in[i]) {
      ++j;
    }
    const uint32_t length = j - i;
    if (length >= kThreshold) {
      const uint32_t exponent = length - kThreshold;
      if (exponent > static_cast<uint32_t>(runs.MaxExponent)) {
        return block.Fail("run longer than its exponents allow");
      }
      ++found[exponent];
    }
    i = j;
  }
  for (int e = 0; e <= kAbcMaxBits; ++e) {
    if (found[e] != runs.Count[e]) {
      return block.Fail("run count differs from the stored one");
    }
    runs.Cursor[e] = runs.ListStart[e];
  }

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
  for (int e = 0; e <= kAbcMaxBits; ++e) {
    runs.Cursor[e] = runs.ListStart[e];
  }
  block.OutLength = written;
  return true;
}

} // namespace meridia
