// The wind that sways every tree: a direction and a strength from sums of slow sines of the time,
// shifted by the position so that neighbouring trees move together.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>

namespace meridia {

// Seconds; set once a frame, before anything is drawn.
extern float WindTime;

void SetWindTime(int64_t ms);
// Horizontal (y is 0); equal wherever x + z is equal.
Vector3f WindVector(float x, float z);

} // namespace meridia
