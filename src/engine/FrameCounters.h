// Counters of the frame being drawn. Terrain, trees and buildings all add to the vertex count,
// which the statistics read after the whole frame is drawn.
#pragma once

#include <cstdint>

namespace meridia {

// Vertices submitted this frame; reset at the start of every frame.
inline int32_t TrisCount = 0;

} // namespace meridia
