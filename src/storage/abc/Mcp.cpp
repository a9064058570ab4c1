#include "storage/abc/Mcp.h"

#include "storage/abc/Awfc.h"
#include "storage/abc/Bwt.h"
#include "storage/abc/Crc32.h"
#include "storage/abc/Mtf.h"
#include "storage/abc/RleBit.h"
#include "storage/abc/RleExp.h"
#include "storage/abc/Sif.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace meridia {
namespace {

// Decoded blocks wait here until the stream ends and are then copied into the output once: a
// growing output is never copied, and the copy frees each piece as soon as it is done with it,
// so a decode needs about its output and one piece besides its work memory. A new piece is as
// large as all before it, from the size of what it must take up to kLargestPiece; pieces that
// large are mapped afresh by the allocator and handed back to the system when freed.
class OutputPieces {
public:
  static constexpr size_t kLargestPiece = size_t{32} << 20;

  size_t Size() const { return Size_; }

  // False when no memory could be had for a new piece.
  bool Append(const uint8_t* bytes, size_t count) {
    while (count > 0) {
      if (Pieces_.empty() || Pieces_.back().Size == Pieces_.back().Capacity) {
        const size_t capacity = std::clamp(Size_, count, std::max(count, kLargestPiece));
        // Uninitialised: its pages cost memory only as blocks fill them.
        Piece piece{std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[capacity]), 0, capacity};
        if (piece.Bytes == nullptr) {
          return false;
        }
        Pieces_.push_back(std::move(piece));
      }
      Piece& piece = Pieces_.back();
      const size_t take = std::min(count, piece.Capacity - piece.Size);
      std::memcpy(piece.Bytes.get() + piece.Size, bytes, take);
      piece.Size += take;
      Size_ += take;
      bytes += take;
      count -= take;
    }
    return true;
  }

  // Moves every byte into `output`, which is emptied first.
  void MoveTo(std::vector<uint8_t>& output) {
    output.clear();
    output.reserve(Size_);
    for (Piece& piece : Pieces_) {
      output.insert(output.end(), piece.Bytes.get(), piece.Bytes.get() + piece.Size);
      piece.Bytes.reset();
    }
    Pieces_.clear();
    Size_ = 0;
  }

private:
  struct Piece {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Size = 0;
    size_t Capacity = 0;
  };

  std::vector<Piece> Pieces_;
  size_t Size_ = 0;
};

} // namespace

T_ABC_MCP::T_ABC_MCP() = default;

T_ABC_MCP::~T_ABC_MCP() = default;

bool T_ABC_MCP::Allocate() {
  if (Memory_ == nullptr) {
    // Left uninitialised: pages a decode never touches cost no memory. Streams refused at
    // their first header cost no allocation at all.
    Memory_.reset(new (std::nothrow) uint8_t[WorkBytes()]);
    if (Memory_ != nullptr) {
      Block_.Attach(Memory_.get());
    }
  }
  return Memory_ != nullptr;
}

std::unique_ptr<TzoMemoryStream> T_ABC_MCP::DecodeStream(std::unique_ptr<TzoMemoryStream> input) {
  std::vector<uint8_t> bytes;
  const bool sound = input != nullptr && Decode(input->Buffer, bytes);
  input.reset();
  if (!sound) {
    return nullptr;
  }
  std::unique_ptr<TzoMemoryStream> output(new (std::nothrow) TzoMemoryStream);
  if (output == nullptr) {
    Error_ = "no memory for the output";
    return nullptr;
  }
  output->Buffer = std::move(bytes);
  output->SetMode(kStreamRead);
  output->SetPosition(0);
  return output;
}

bool T_ABC_MCP::Decode(std::span<const uint8_t> input, std::vector<uint8_t>& output) {
  output.clear();
  Error_.clear();
  try {
    OutputPieces pieces;
    size_t offset = 0;
    while (offset < input.size()) {
      size_t next = 0;
      const BlockRead read = DecodeBlock(input, offset, next);
      if (read == BlockRead::End) {
        break;
      }
      if (read == BlockRead::Refused) {
        return false;
      }
      if (Block_.InLength > OutputLimit - pieces.Size()) {
        return Fail(offset, "output past the limit");
      }
      if (!pieces.Append(Block_.In, Block_.InLength)) {
        return Fail(offset, "no memory for the output");
      }
      offset = next;
    }
    pieces.MoveTo(output);
  } catch (const std::bad_alloc&) {
    output.clear();
    Error_ = "no memory for the output";
    return false;
  }
  return true;
}

bool T_ABC_MCP::Fail(size_t offset, const char* reason) {
  Error_ = std::string(reason) + " (block at byte " + std::to_string(offset) + ")";
  return false;
}

T_ABC_MCP::BlockRead T_ABC_MCP::DecodeBlock(std::span<const uint8_t> input, size_t offset,
                                            size_t& next) {
  const uint8_t* header = input.data() + offset;
  const size_t left = input.size() - offset;
  // A block is read as its header length says, as far as the stream goes, and then its payload:
  // the stream ends at a block with no payload, whatever its header holds or lacks.
  const uint32_t length = header[0];
  const size_t payload = left - std::min<size_t>(left, std::max<uint32_t>(length, 1));
  if (payload == 0) {
    return BlockRead::End;
  }
  T_ABC_Block& block = Block_;
  block.Flags = header[1];
  block.Error = nullptr;
  const T_ABC_Path path = block.Path();
  if (length < (path == T_ABC_Path::Awfc ? kAwfcHeaderBytes : kHeaderBytes)) {
    Fail(offset, "block header shorter than its fields");
    return BlockRead::Refused;
  }
  // The fields are taken from the end of the header, the highest byte of each first.
  uint32_t cursor = length;
  const auto take = [&](int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      value = value << 8 | header[--cursor];
    }
    return value;
  };
  block.CodedLength = take(3);
  block.Weight = path == T_ABC_Path::Awfc ? static_cast<uint8_t>(take(1)) : 0;
  block.Primary = take(3);
  block.StoredCrc = take(4);

  block.PayloadLength = static_cast<uint32_t>(std::min<size_t>(payload, kAbcMaxBlock));
  if (block.CodedLength > block.PayloadLength) {
    Fail(offset, "coded length past the data");
    return BlockRead::Refused;
  }
  if (!Allocate()) {
    Fail(offset, "no memory for the decoder");
    return BlockRead::Refused;
  }
  uint32_t consumed = 0;
  bool sound = Coder_.Run(block, header + length, consumed);
  block.Swap();
  switch (path) {
  case T_ABC_Path::Mtf:
    if (sound) {
      T_ABC_MTF::Run(block);
      block.Swap();
      sound = T_ABC_RLE_EXP::Run(block);
      block.Swap();
    }
    break;
  case T_ABC_Path::Sif:
    if (sound) {
      sound = T_ABC_SIF::Run(block);
      block.Swap();
    }
    if (sound) {
      sound = T_ABC_RLE_EXP::Run(block);
      block.Swap();
    }
    break;
  case T_ABC_Path::Awfc:
    if (sound) {
      sound = T_ABC_RLE_BIT::DecodeZeroRuns(block);
      block.Swap();
    }
    if (sound) {
      T_ABC_AWFC::Run(block);
      block.Swap();
      sound = T_ABC_RLE_BIT::Run(block);
      block.Swap();
    }
    break;
  }
  if (sound) {
    sound = T_ABC_BWT::Run(block);
    block.Swap();
  }
  if (!sound) {
    Fail(offset, block.Error != nullptr ? block.Error : "damaged block");
    return BlockRead::Refused;
  }
  if (T_ABC_CRC32::Compute(block.In, block.InLength) != block.StoredCrc) {
    Fail(offset, "block checksum mismatch");
    return BlockRead::Refused;
  }
  next = offset + length + consumed;
  return BlockRead::Decoded;
}

} // namespace meridia
