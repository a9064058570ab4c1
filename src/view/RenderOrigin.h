// Where the coordinates handed to OpenGL start. The planet's positions are floats some 680 units
// from its centre (a unit is 10 km), where one step of a float is about 0.6 m, and the modelview
// rounds a translation of that size again: a camera a metre above the ground sees the ground
// jitter by about as much, often to above the camera. Near the ground the viewer therefore draws
// from the camera: every world position goes to OpenGL less the origin, which is exact in float
// for whatever is near, and the camera's matrix keeps only its turn. The origin is the planet's
// centre otherwise, where subtracting it changes no bit of any position.
#pragma once

#include "engine/VectorTypes.h"

namespace meridia {

const Vector3f& RenderOrigin();
void SetRenderOrigin(const Vector3f& origin);

// p less the origin, as OpenGL should receive it.
Vector3f FromRenderOrigin(const Vector3f& p);

} // namespace meridia
