// The block-sorting decoder: reads a stream of blocks and drives each through the stages of its
// path, from the entropy stage back to the inverse BWT, keeping a block only when its checksum
// matches. The stream ends where a block has no payload: at its end, or at a header (or a few
// bytes) with nothing after it. Damaged input of any kind ends the decode with a reason and no
// output; nothing is read outside the input or written outside the work memory, which is
// allocated once per decoder (about 101 MiB) and not touched per symbol. A decode needs about
// its output and the work memory: decoded blocks wait in pieces and are copied into the output
// once, so the output is never copied while it grows. Memory that cannot be had refuses the
// stream like damage does.
//
// Block layout: header length H (1 byte, counting itself), flags (1 byte: bit 0 MTF path, bit 1
// SIF path when bit 0 is clear), then H - 2 bytes whose last fields are, in file order, the
// CRC-32 of the decoded block (4 bytes), the BWT primary index (3), the AWFC weight p (1, AWFC
// path only) and the coded length (3), all little-endian; then the payload.
#pragma once

#include "storage/MemoryStream.h"
#include "storage/abc/Block.h"
#include "storage/abc/Coder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace meridia {

class T_ABC_MCP {
public:
  // Smallest headers: length, flags, CRC, primary index, [p,] coded length.
  static constexpr uint32_t kHeaderBytes = 12;
  static constexpr uint32_t kAwfcHeaderBytes = 13;
  // More output than this is refused: the format holds no total length, and a few bytes of
  // input can describe megabytes of output.
  static constexpr size_t kDefaultOutputLimit = size_t{1} << 30;

  T_ABC_MCP();
  ~T_ABC_MCP();
  T_ABC_MCP(const T_ABC_MCP&) = delete;
  T_ABC_MCP& operator=(const T_ABC_MCP&) = delete;

  static size_t WorkBytes() { return T_ABC_Block::WorkBytes(); }

  // Takes the input stream and frees it; a new stream at position 0 in read mode with the
  // decoded bytes, or null when the input is damaged (LastError says why).
  std::unique_ptr<TzoMemoryStream> DecodeStream(std::unique_ptr<TzoMemoryStream> input);
  // The same over plain bytes: `output` receives the decoded bytes, and is emptied on failure.
  bool Decode(std::span<const uint8_t> input, std::vector<uint8_t>& output);

  // Why the last decode failed, with the offset of the block; empty after a success.
  const std::string& LastError() const { return Error_; }

  size_t OutputLimit = kDefaultOutputLimit;

private:
  enum class BlockRead { Decoded, End, Refused };

  // Decodes the block at `offset` into Block_.In; `next` is where the following one starts.
  BlockRead DecodeBlock(std::span<const uint8_t> input, size_t offset, size_t& next);
  bool Fail(size_t offset, const char* reason);
  bool Allocate();

  std::unique_ptr<uint8_t[]> Memory_;
  T_ABC_Block Block_;
  T_ABC_Coder Coder_;
  std::string Error_;
};

} // namespace meridia
