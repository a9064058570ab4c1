#include "storage/abc/Bwt.h"

namespace meridia {

bool T_ABC_BWT::Run(T_ABC_Block& block) {
  const uint32_t n = block.InLength;
  const uint8_t* in = block.In;
  uint32_t* links = block.Links;
  block.OutLength = 0;
  if (n == 0) {
    return true;
  }
  const uint32_t primary = block.Primary;
  // Row 0 is the end symbol's own row; only a block with no data bytes has its ignored byte
  // there.
  if (primary >= n || (primary == 0 && n > 1)) {
    return block.Fail("BWT primary index outside the block");
  }
  uint32_t count[256] = {};
  for (uint32_t k = 0; k < n; ++k) {
    if (k != primary) {
      const uint8_t byte = in[k];
      links[k] = count[byte]++ << 8 | byte;
    }
  }
  // Row of the first occurrence of each byte: after the end symbol's row and all smaller bytes.
  uint32_t start[256];
  uint32_t sum = 1;
  for (int v = 0; v < 256; ++v) {
    start[v] = sum;
    sum += count[v];
  }
  uint8_t* out = block.Out;
  uint32_t row = 0;
  for (uint32_t i = n - 1; i-- > 0;) {
    // A sound block reaches the primary row only after its last byte; a damaged primary index
    // would have us read a record that was never written.
    if (row == primary) {
      return block.Fail("BWT cycle closes early");
    }
    const uint32_t link = links[row];
    const uint8_t byte = static_cast<uint8_t>(link);
    out[i] = byte;
    row = start[byte] + (link >> 8);
  }
  block.OutLength = n - 1;
  return true;
}

} // namespace meridia
