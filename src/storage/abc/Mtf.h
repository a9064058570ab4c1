// Inverse move-to-front: each rank names a place in a list of the 256 byte values, which starts
// in order; the value found there is output and moved to the front.
#pragma once

#include "storage/abc/Block.h"

namespace meridia {

class T_ABC_MTF {
public:
  static void Run(T_ABC_Block& block);
};

} // namespace meridia
