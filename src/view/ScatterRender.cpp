// The OpenGL side of the sky: the only place that draws the sphere and changes state for it.
#include "view/Scatter.h"

#include "gl/GLEntryPoints.h"
#include "gl/GLHelpers.h"
#include "platform/GLContext.h"

#include <GL/gl.h>

#include <array>
#include <cstring>

namespace meridia {
namespace {

// A byte colour as OpenGL turns it into its current colour (i / 255 in float): handing the
// arrays the very floats that glColor4ubv would have made keeps every blended pixel as it was.
const std::array<float, 256>& ByteToColour() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      t[static_cast<size_t>(i)] = static_cast<float>(i) / 255.0f;
    }
    return t;
  }();
  return table;
}

} // namespace

TScatterSphere::~TScatterSphere() {
  // Names made in a context that is gone died with it.
  if (vertex_buffer_ != 0 && glDeleteBuffersARB != nullptr && platform::HasCurrentGLContext()) {
    const GLuint buffers[] = {vertex_buffer_, colour_buffer_, index_buffer_};
    glDeleteBuffersARB(3, buffers);
  }
}

void TScatterSphere::Render() const {
  if (Vertices.empty()) {
    return;
  }
  const bool buffers = glGenBuffersARB != nullptr;
  const bool changed =
      sent_.size() != Vertices.size() ||
      std::memcmp(sent_.data(), Vertices.data(), Vertices.size() * sizeof(TScatterVertex)) != 0;
  if (changed || !buffers) {
    const std::array<float, 256>& to_colour = ByteToColour();
    colours_.resize(Vertices.size() * 4);
    float* colour = colours_.data();
    for (const TScatterVertex& v : Vertices) {
      colour[0] = to_colour[v.red];
      colour[1] = to_colour[v.green];
      colour[2] = to_colour[v.blue];
      colour[3] = to_colour[v.alpha];
      colour += 4;
    }
  }
  if (buffers) {
    if (index_buffer_ == 0) {
      FillBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, index_buffer_, DrawIndices.data(),
                 DrawIndices.size() * sizeof(int32_t), GL_STATIC_DRAW_ARB);
    }
    if (changed) {
      FillBuffer(GL_ARRAY_BUFFER_ARB, vertex_buffer_, Vertices.data(),
                 Vertices.size() * sizeof(TScatterVertex), GL_DYNAMIC_DRAW_ARB);
      FillBuffer(GL_ARRAY_BUFFER_ARB, colour_buffer_, colours_.data(),
                 colours_.size() * sizeof(float), GL_DYNAMIC_DRAW_ARB);
      sent_ = Vertices;
    }
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertex_buffer_);
    glVertexPointer(3, GL_FLOAT, sizeof(TScatterVertex), nullptr);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, colour_buffer_);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, index_buffer_);
  } else {
    glVertexPointer(3, GL_FLOAT, sizeof(TScatterVertex), &Vertices[0].x);
    glColorPointer(4, GL_FLOAT, 0, colours_.data());
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  for (const TScatterPrimitive& primitive : Primitives) {
    // With the index buffer bound the pointer is an offset into it.
    const auto first = static_cast<size_t>(primitive.First);
    const void* indices = buffers ? reinterpret_cast<const void*>(first * sizeof(int32_t))
                                  : static_cast<const void*>(&DrawIndices[first]);
    glDrawElements(primitive.Fan ? GL_TRIANGLE_FAN : GL_TRIANGLE_STRIP, primitive.Count,
                   GL_UNSIGNED_INT, indices);
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (buffers) {
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  }
  // Vertices sent one by one would have left the last one's colour current.
  if (!DrawIndices.empty()) {
    glColor4ubv(&Vertices[static_cast<size_t>(DrawIndices.back())].red);
  }
}

void TScatter_CPU::Render() {
  FinishUpdateColors();
  // The blend function is left as it is: whatever the last drawing step set.
  glDepthMask(GL_FALSE);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  // The sphere's triangles are clockwise seen from inside, where the viewer is meant to see them.
  glFrontFace(GL_CW);
  OuterSphere.Render();
  glFrontFace(GL_CCW);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_TRUE);
}

} // namespace meridia
