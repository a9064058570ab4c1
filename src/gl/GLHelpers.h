// Small reads of the current OpenGL state and the texture binding by kind, for the frustum, the
// overlay, screenshots and the planet nodes. Need a current rendering context.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>

namespace meridia {

// x, y, width, height of the current viewport.
void GetViewport(int32_t viewport[4]);
void GetModelViewMatrix(Matrix4f& matrix);
void GetProjectionMatrix(Matrix4f& matrix);

// Kind (its low 7 bits): 0 a 3-D texture, 1 a 2-D texture, 2 a 1-D texture.
void BindTexture(uint32_t kind, uint32_t texture);

} // namespace meridia
