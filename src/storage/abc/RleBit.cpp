#include "storage/abc/RleBit.h"

#include <cstring>

namespace meridia {

bool T_ABC_RLE_BIT::DecodeZeroRuns(T_ABC_Block& block) {
  const uint8_t* in = block.In;
  const uint32_t n = block.InLength;
  uint8_t* ranks = block.Out;
  uint32_t* repeats = block.Repeats;
  uint32_t count = 0;
  block.OutLength = 0;
  for (uint32_t i = 0; i < n;) {
    const uint8_t byte = in[i];
    if (byte <= 1) {
      if (count == 0) {
        return block.Fail("run digits before any rank");
      }
      uint64_t total = 0;
      uint64_t weight = 1;
      for (; i < n && in[i] <= 1; ++i) {
        total += weight * (in[i] + 1u);
        weight <<= 1;
        // Each repeat is a byte of the block: a count past its capacity is damage, and
        // stopping here also keeps the sum far from overflowing.
        if (total >= block.Capacity) {
          return block.Fail("repeat count overflows the block");
        }
      }
      repeats[count - 1] = static_cast<uint32_t>(total);
      continue;
    }
    uint32_t rank = byte - 1u;
    ++i;
    if (byte == 255) {
      if (i == n || in[i] > 1) {
        return block.Fail("escaped rank past 255");
      }
      rank = 254u + in[i];
      ++i;
    }
    ranks[count] = static_cast<uint8_t>(rank);
    repeats[count] = 0;
    ++count;
  }
  block.OutLength = count;
  return true;
}

bool T_ABC_RLE_BIT::Run(T_ABC_Block& block) {
  const uint8_t* in = block.In;
  const uint32_t* repeats = block.Repeats;
  uint8_t* out = block.Out;
  uint32_t written = 0;
  block.OutLength = 0;
  for (uint32_t i = 0; i < block.InLength; ++i) {
    const uint32_t length = repeats[i] + 1;
    if (length > block.Capacity - written) {
      return block.Fail("repeats overflow the block");
    }
    std::memset(out + written, in[i], length);
    written += length;
  }
  block.OutLength = written;
  return true;
}

} // namespace meridia
