// Counters of the frame being drawn. Terrain, trees and buildings all add to the vertex count,
// which the statistics read after the whole frame is drawn.
#pragma once

#include <cstdint>

namespace meridia {

// Vertices submitted this frame; reset at the start of every frame.
inline int32_t TrisCount = 0;

// Decorations drawn this frame, reset with TrisCount. They tell whether a view shows what it is
// meant to: tree instances drawn (as geometry, as an impostor or both), those of them that drew
// their impostor, and buildings. Counting never changes what is drawn or the random sequence.
inline int32_t TreesDrawn = 0;
inline int32_t TreeImpostorsDrawn = 0;
inline int32_t BuildingsDrawn = 0;

} // namespace meridia
