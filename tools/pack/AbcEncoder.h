// The block-sorting compressor for tests and tools: splits data into blocks, transforms each on
// one of the three paths and frames it with its header and checksum. Never part of the
// programs, which only decode.
#pragma once

#include "storage/abc/Block.h"

#include <cstdint>
#include <span>
#include <vector>

namespace meridia::pack {

enum class AbcChoice { Mtf, Sif, Awfc, Smallest };

struct AbcOptions {
  AbcChoice Path = AbcChoice::Smallest;
  // Data bytes per block: the transformed block has one byte more, and must fit a span.
  uint32_t BlockSize = kAbcMaxBlock - 1;
  // Sets flag bit 1 on the MTF path (the context models' other mix).
  bool HalveShort = false;
  // The AWFC weight p; below 0, rising weights are tried until one lets every rank be coded.
  int Weight = -1;
};

// The compressed stream. A block that cannot take the chosen path (AWFC ranks the zero-run
// coding cannot express) goes on the MTF path; one whose coded form would not fit a block is
// split in two. `paths` receives the path of each block when given.
std::vector<uint8_t> AbcCompress(std::span<const uint8_t> data, const AbcOptions& options = {},
                                 std::vector<T_ABC_Path>* paths = nullptr);

// One framed block of `data` on `path`; empty when the block cannot take that path.
std::vector<uint8_t> AbcBlock(std::span<const uint8_t> data, T_ABC_Path path,
                              const AbcOptions& options = {});

} // namespace meridia::pack
