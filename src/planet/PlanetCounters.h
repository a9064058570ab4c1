// The planet's counters read by the projection, the flight speed and the statistics: the
// deepest level met by the last refinement and the sizes of the quadtrees.
#pragma once

#include <cstdint>

namespace meridia {

// 0 to 20; 0 until the first refinement has run.
inline int32_t CurrentLevel = 0;
inline int32_t NodesDrawn = 0;
inline int32_t NodeCount = 0;
inline int32_t VertexCount = 0;

} // namespace meridia
