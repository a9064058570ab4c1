// Small reads of the current OpenGL state and the texture binding by kind, for the frustum, the
// overlay, screenshots and the planet nodes. Need a current rendering context.
#pragma once

#include "engine/VectorTypes.h"

#include <cstddef>
#include <cstdint>

namespace meridia {

// x, y, width, height of the current viewport.
void GetViewport(int32_t viewport[4]);
void GetModelViewMatrix(Matrix4f& matrix);
void GetProjectionMatrix(Matrix4f& matrix);

// Kind (its low 7 bits): 0 a 3-D texture, 1 a 2-D texture, 2 a 1-D texture.
void BindTexture(uint32_t kind, uint32_t texture);

// Makes the buffer object when buffer is 0, binds it to target and gives it bytes from data,
// leaving it bound.
void FillBuffer(uint32_t target, uint32_t& buffer, const void* data, size_t bytes, uint32_t usage);

} // namespace meridia
