#include "storage/abc/Mcp.h"

#include "storage/abc/Awfc.h"
#include "storage/abc/Bwt.h"
#include "storage/abc/Crc32.h"
#include "storage/abc/Mtf.h"
#include "storage/abc/RleBit.h"
#include "storage/abc/RleExp.h"
#include "storage/abc/Sif.h"

#include <algorithm>
#include <new>
#include <string>

namespace meridia {

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
  auto output = std::make_unique<TzoMemoryStream>();
  output->Buffer = std::move(bytes);
  output->SetMode(kStreamRead);
  output->SetPosition(0);
  return output;
}

bool T_ABC_MCP::Decode(std::span<const uint8_t> input, std::vector<uint8_t>& output) {
  output.clear();
  Error_.clear();
  size_t offset = 0;
  while (offset < input.size()) {
    size_t next = 0;
    bool sound = DecodeBlock(input, offset, next);
    if (sound && Block_.InLength > OutputLimit - output.size()) {
      sound = Fail(offset, "output past the limit");
    }
    if (!sound) {
      output.clear();
      return false;
    }
    output.insert(output.end(), Block_.In, Block_.In + Block_.InLength);
    offset = next;
  }
  return true;
}

bool T_ABC_MCP::Fail(size_t offset, const char* reason) {
  Error_ = std::string(reason) + " (block at byte " + std::to_string(offset) + ")";
  return false;
}

bool T_ABC_MCP::DecodeBlock(std::span<const uint8_t> input, size_t offset, size_t& next) {
  const uint8_t* header = input.data() + offset;
  const size_t left = input.size() - offset;
  // The format has no end marker, so a stream may end after any whole block; a block begun
  // and not finished is damage, though, not the end.
  if (left < 2) {
    return Fail(offset, "block header cut short");
  }
  T_ABC_Block& block = Block_;
  block.Flags = header[1];
  block.Error = nullptr;
  const uint32_t length = header[0];
  const T_ABC_Path path = block.Path();
  if (length < (path == T_ABC_Path::Awfc ? kAwfcHeaderBytes : kHeaderBytes)) {
    return Fail(offset, "block header shorter than its fields");
  }
  if (left < length) {
    return Fail(offset, "block header cut short");
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

  const size_t payload = std::min<size_t>(left - length, kAbcMaxBlock);
  if (payload == 0) {
    return Fail(offset, "block without payload");
  }
  if (block.CodedLength > payload) {
    return Fail(offset, "coded length past the data");
  }
  if (!Allocate()) {
    return Fail(offset, "no memory for the decoder");
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
    return Fail(offset, block.Error != nullptr ? block.Error : "damaged block");
  }
  if (T_ABC_CRC32::Compute(block.In, block.InLength) != block.StoredCrc) {
    return Fail(offset, "block checksum mismatch");
  }
  next = offset + length + consumed;
  return true;
}

} // namespace meridia
