#include "gl/GLHelpers.h"

#include "gl/GLEntryPoints.h"

#include <GL/gl.h>

#include <cassert>

namespace meridia {

void GetViewport(int32_t viewport[4]) {
  static_assert(sizeof(GLint) == sizeof(int32_t));
  glGetIntegerv(GL_VIEWPORT, reinterpret_cast<GLint*>(viewport));
}

void GetModelViewMatrix(Matrix4f& matrix) {
  glGetFloatv(GL_MODELVIEW_MATRIX, matrix.Data());
}

void GetProjectionMatrix(Matrix4f& matrix) {
  glGetFloatv(GL_PROJECTION_MATRIX, matrix.Data());
}

void BindTexture(uint32_t kind, uint32_t texture) {
  static constexpr GLenum kTargets[] = {GL_TEXTURE_3D, GL_TEXTURE_2D, GL_TEXTURE_1D};
  const uint32_t index = kind & 0x7Fu;
  assert(index < 3 && "BindTexture: kind names no texture target");
  if (index < 3) {
    glBindTexture(kTargets[index], texture);
  }
}

void FillBuffer(uint32_t target, uint32_t& buffer, const void* data, size_t bytes, uint32_t usage) {
  static_assert(sizeof(GLuint) == sizeof(uint32_t));
  if (buffer == 0) {
    glGenBuffersARB(1, &buffer);
  }
  glBindBufferARB(target, buffer);
  glBufferDataARB(target, static_cast<GLsizeiptrARB>(bytes), data, usage);
}

} // namespace meridia
