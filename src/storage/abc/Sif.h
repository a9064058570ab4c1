// Inverse sorted inversion frequencies (Z. Arnavut and S. S. Magliveras, "Block sorting and
// compression", DCC 1997; sorted by J. Abel). The present byte values are ordered by count;
// for every value but the last, each distance is the number of values later in the order met
// before its next occurrence, so the last value fills whatever the others leave free.
#pragma once

#include "storage/abc/Block.h"

namespace meridia {

class T_ABC_SIF {
public:
  // The class-coded numbers (last recorded group) to Out. Counts that disagree with the stored
  // length or overflow the block are refused; distances that point nowhere only give wrong
  // bytes, which the block checksum catches.
  static bool Run(T_ABC_Block& block);
};

} // namespace meridia
