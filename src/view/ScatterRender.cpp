// The OpenGL side of the sky: the only place that draws the sphere and changes state for it.
#include "view/Scatter.h"

#include <GL/gl.h>

namespace meridia {

void TScatterSphere::Render() const {
  for (const TScatterPrimitive& primitive : Primitives) {
    glBegin(primitive.Fan ? GL_TRIANGLE_FAN : GL_TRIANGLE_STRIP);
    for (int32_t i = primitive.First; i < primitive.First + primitive.Count; ++i) {
      const TScatterVertex& v = Vertices[static_cast<size_t>(DrawIndices[static_cast<size_t>(i)])];
      glColor4ubv(&v.red);
      glVertex3fv(&v.x);
    }
    glEnd();
  }
}

void TScatter_CPU::Render() const {
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
