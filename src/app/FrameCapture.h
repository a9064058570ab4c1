// Reads the current viewport out of the frame buffer into a 24-bit bottom-up TGA record, the
// layout of the program's screenshots.
#pragma once

#include "imaging/TGAImage.h"

namespace meridia {

// Reads the buffer that is current for reading; an empty viewport gives an empty image.
TTGAImage CaptureViewport();

} // namespace meridia
