#include "storage/abc/Bwt.h"

namespace meridia {
namespace {

// The walk from row to row can only wait for one row after another, and on a large block
// each row is a cache miss. Tables of two and then four steps on are built first, reading rows
// in an order the processor overlaps, so the walk itself takes a quarter of the steps.
// Two-step entries: the row two steps on (23 bits, enough for any block), the byte emitted one
// step on, and a flag when the first step lands on the primary row.
constexpr uint32_t kRowBits = 23;
constexpr uint32_t kRowMask = (1u << kRowBits) - 1;
// Set where the first step lands on the primary row: the walk must not pass it.
constexpr uint32_t kPassesPrimary = 1u << 31;
static_assert(kAbcMaxBlock <= kRowMask);

} // namespace

bool T_ABC_BWT::Run(T_ABC_Block& block) {
  const uint32_t n = block.InLength;
  const uint8_t* in = block.In;
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
  // next[k]: the row reached from row k, 1 + (bytes smaller than its byte) + (its occurrences
  // before k). The primary row leads nowhere; row 0 stands in so every index stays inside.
  uint32_t count[256] = {};
  for (uint32_t k = 0; k < n; ++k) {
    count[in[k]] += k != primary ? 1 : 0;
  }
  uint32_t start[256];
  uint32_t sum = 1;
  for (int v = 0; v < 256; ++v) {
    start[v] = sum;
    sum += count[v];
  }
  uint32_t* next = block.Links;
  for (uint32_t k = 0; k < n; ++k) {
    next[k] = k != primary ? start[in[k]]++ : 0;
  }
  uint32_t* twice = block.Repeats;
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t step = next[k];
    twice[k] = next[step] | uint32_t{in[step]} << kRowBits | (step == primary ? kPassesPrimary : 0);
  }

  // Four-step entries: the row four steps on (bits 0-22), the four bytes emitted on the way
  // (bits 24-55, the first lowest) and a flag (bit 63) when the walk would pass the primary
  // row. They fill the two adjacent 32-bit side tables the earlier stages are done with.
  uint64_t* four = reinterpret_cast<uint64_t*>(block.Numbers.Mantissas);
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t first = twice[k];
    const uint32_t middle = first & kRowMask;
    const uint32_t second = twice[middle];
    const bool passes =
        (first & kPassesPrimary) != 0 || middle == primary || (second & kPassesPrimary) != 0;
    four[k] = (second & kRowMask) | uint64_t{in[k]} << 24 |
              uint64_t{(first >> kRowBits) & 0xFF} << 32 | uint64_t{in[middle]} << 40 |
              uint64_t{(second >> kRowBits) & 0xFF} << 48 | (passes ? uint64_t{1} << 63 : 0);
  }

  // From row 0 the walk emits the block from its last byte to its first and, in a sound block,
  // reaches the primary row just after the first.
  uint8_t* out = block.Out;
  uint32_t row = 0;
  uint32_t i = n - 1;
  for (; i >= 4; i -= 4) {
    const uint64_t entry = four[row];
    if (row == primary || (entry >> 63) != 0) {
      return block.Fail("BWT cycle closes early");
    }
    out[i - 1] = static_cast<uint8_t>(entry >> 24);
    out[i - 2] = static_cast<uint8_t>(entry >> 32);
    out[i - 3] = static_cast<uint8_t>(entry >> 40);
    out[i - 4] = static_cast<uint8_t>(entry >> 48);
    row = static_cast<uint32_t>(entry) & kRowMask;
  }
  for (; i >= 1; --i) {
    if (row == primary) {
      return block.Fail("BWT cycle closes early");
    }
    out[i - 1] = in[row];
    row = next[row];
  }
  block.OutLength = n - 1;
  return true;
}

} // namespace meridia
