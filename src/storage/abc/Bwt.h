// Inverse Burrows-Wheeler transform (M. Burrows and D. J. Wheeler, "A Block-sorting Lossless
// Data Compression Algorithm", SRC report 124, 1994). The transformed block holds its n - 1 data
// bytes and, at the primary index, one ignored byte standing for an end symbol that sorts
// before every byte.
#pragma once

#include "storage/abc/Block.h"

namespace meridia {

class T_ABC_BWT {
public:
  // In (n bytes, primary index Block.Primary) to Out (n - 1 bytes). False for a primary index
  // that cannot belong to the data; an empty input gives an empty output.
  static bool Run(T_ABC_Block& block);
};

} // namespace meridia
