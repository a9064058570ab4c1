// Block-sorting streams on arbitrary bytes: the decoder refuses them with a reason and no
// output, or gives the bytes of blocks whose checksums matched, and it stays inside its buffers
// either way. One decoder serves every input, as the program's extractions would if they shared
// one, so decoding the same input again after another stream must give the same answer: no
// state may leak from one decode into the next.
#include "FuzzSupport.h"

#include "storage/abc/Mcp.h"

#include <span>
#include <vector>

using meridia::fuzz::Require;

namespace {

// Two blocks, an MTF one holding "ab" and an AWFC one holding "b", as meridia-pack writes them.
constexpr uint8_t kOtherStream[] = {
    0x0c, 0x01, 0x92, 0x5a, 0x5a, 0xdf, 0x01, 0x00, 0x00, 0x0b, 0x00, 0x00, 0x00, 0xef,
    0x00, 0x00, 0x00, 0x01, 0x4e, 0xb1, 0x11, 0x34, 0x39, 0x0d, 0x00, 0x74, 0x00, 0xbc,
    0xa3, 0x01, 0x00, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x0b, 0x3e, 0xcb, 0x51};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static meridia::T_ABC_MCP decoder;
  // A few bytes can describe megabytes; a lower limit keeps each run quick.
  decoder.OutputLimit = size_t{64} << 20;
  const std::span<const uint8_t> input(data, size);
  std::vector<uint8_t> first;
  const bool sound = decoder.Decode(input, first);
  Require(sound == decoder.LastError().empty(), "a refusal, and only a refusal, has a reason");
  Require(sound || first.empty(), "a refused stream gives no bytes");
  Require(size > 0 || (sound && first.empty()), "an empty stream is an empty file");

  std::vector<uint8_t> other;
  decoder.Decode(kOtherStream, other);
  std::vector<uint8_t> again;
  Require(decoder.Decode(input, again) == sound && again == first,
          "the same stream decodes the same way after another");
  return 0;
}
