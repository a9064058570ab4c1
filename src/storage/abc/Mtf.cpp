#include "storage/abc/Mtf.h"

#include <cstring>

namespace meridia {

void T_ABC_MTF::Run(T_ABC_Block& block) {
  uint8_t list[256];
  for (int i = 0; i < 256; ++i) {
    list[i] = static_cast<uint8_t>(i);
  }
  const uint8_t* in = block.In;
  uint8_t* out = block.Out;
  const uint32_t n = block.InLength;
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t rank = in[i];
    const uint8_t value = list[rank];
    std::memmove(list + 1, list, rank);
    list[0] = value;
    out[i] = value;
  }
  block.OutLength = n;
}

} // namespace meridia
