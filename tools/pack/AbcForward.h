// The forward stages of the block-sorting compressor, the mirror images of the decoder's
// inverse stages. They exist to make streams for tests and tools, so they aim at being plainly
// right rather than fast.
#pragma once

#include "storage/abc/Block.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace meridia::pack {

// The n - 1 data bytes become n bytes; the byte at the primary index stands for the end symbol
// and repeats its neighbour so that it costs next to nothing.
std::vector<uint8_t> ForwardBwt(std::span<const uint8_t> data, uint32_t& primary);

std::vector<uint8_t> ForwardMtf(std::span<const uint8_t> data);

// Runs cut to T + e copies, with their mantissas by exponent. Count[0] counts runs of exactly T.
struct RunCoded {
  std::vector<uint8_t> Bytes;
  std::array<std::vector<uint32_t>, kAbcMaxBits + 1> Mantissas;
  std::array<uint32_t, kAbcMaxBits + 1> Count{};
  int MaxExponent = 0;
};
RunCoded ForwardRleExp(std::span<const uint8_t> data);

// The SIF numbers: value count n, n counts, then the distances of every value but the last in
// the order the decoder rebuilds.
std::vector<uint32_t> ForwardSif(std::span<const uint8_t> data);

// Each run as one symbol and a repeat count.
struct Collapsed {
  std::vector<uint8_t> Symbols;
  std::vector<uint32_t> Repeats;
};
Collapsed CollapseRuns(std::span<const uint8_t> data);

// The AWFC ranks of the symbols; false when one of them would be rank 0, which the zero-run
// coding cannot express (then another weight, or another path, must be used).
bool ForwardAwfc(std::span<const uint8_t> symbols, uint8_t weight, std::vector<uint8_t>& ranks);

// Ranks 1..255 with their repeat counts as the zero-run coded stream; false for a rank 0.
bool EncodeZeroRuns(std::span<const uint8_t> ranks, std::span<const uint32_t> repeats,
                    std::vector<uint8_t>& out);

// The class (bit count) and mantissa of a class-coded number.
int NumberClass(uint32_t value);
uint32_t NumberMantissa(uint32_t value);

} // namespace meridia::pack
